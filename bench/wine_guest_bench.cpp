// The Windows build under Wine beside the Linux build, on one virtual extender on the kernel's
// hidraw path, inside the guest that bench/wine-guest.sh boots: an 8 KiB image's programming
// time (256 blocks, first block to last as the unit received them) and the connect check's round
// trip (bench_connect_check, median of 200) for each.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cstdio>

#include "device/CommandFrames.h"
#include "e2e/GuestPrograms.h"
#include "linux/UhidExtender.h"

namespace {

constexpr int kRuns = 3;

// The program's output; a failure ends the benchmark.
QString Run(const QString& program, const QStringList& arguments)
{
    const Ran ran = RunInGuest(program, arguments, 300000);
    if (ran.exit != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), qPrintable(ran.err));
        std::exit(1);
    }
    return ran.out.trimmed();
}

// First to last block as the unit received them, in milliseconds.
double BlockSpan(const std::vector<UhidExtender::Sent>& wire)
{
    const auto isBlock = [](const UhidExtender::Sent& sent) {
        return sent.frame.size() > 1 && uint8_t(sent.frame[1]) == frames::DataChunk{}.size();
    };
    const auto first = std::find_if(wire.begin(), wire.end(), isBlock);
    const auto last = std::find_if(wire.rbegin(), wire.rend(), isBlock);
    if (first == wire.end() || std::count_if(wire.begin(), wire.end(), isBlock) != 256) {
        std::fprintf(stderr, "the unit did not receive 256 blocks\n");
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(last->at - first->at).count();
}

// cli: "linux", or the Windows command line's .exe under Wine.
double MedianProgramming(UhidExtender& unit, const QString& cli)
{
    const QString image =
        qEnvironmentVariable("TORVAN_SOURCE_DIR") + "/samples/firmware/demo-local-tx-3072.2.hex";
    std::vector<double> spans;
    const bool underWine = cli != "linux";
    for (int i = 0; i < kRuns; ++i) {
        unit.TakeWire();
        Run(cli, {"flash", "--to", "local", underWine ? "Z:" + image : image});
        spans.push_back(BlockSpan(unit.TakeWire()));
    }
    std::sort(spans.begin(), spans.end());
    return spans[spans.size() / 2];
}

} // namespace

int main(int, char* argv[])
{
    UhidExtender unit;
    if (!unit.Plug("BENCH001")) {
        std::perror("/dev/uhid");
        return 1;
    }
    QThread::msleep(500); // hidraw's node appears
    const QString windows = qEnvironmentVariable("TORVAN_WINDOWS");
    const QString windowsCli = windows + "/cli/torvanreader-cli.exe";
    QElapsedTimer clock;
    clock.start();
    Run(windowsCli, {"--version"}); // Wine's services start with the first program
    std::printf("Wine's first program: %lld ms\n", clock.elapsed());
    const double onLinux = MedianProgramming(unit, "linux");
    const double underWine = MedianProgramming(unit, windowsCli);
    std::printf("8 KiB image, 256 blocks, median of %d: Linux %.0f ms, Wine %.0f ms (%+.1f %%)\n",
                kRuns, onLinux, underWine, (underWine / onLinux - 1) * 100);
    const QString bench = QFileInfo(argv[0]).dir().filePath("bench_connect_check");
    std::printf("Linux: %s\n", qPrintable(Run(bench, {"200"})));
    std::printf("Wine:  %s\n",
                qPrintable(Run(windows + "/bench/bench_connect_check.exe", {"200"})));
    return 0;
}
