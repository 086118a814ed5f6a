// burnin_soak: a simulated 24-hour burn-in at the 1-second period on the simulated extender
// running the demo scenario, in moments. The page is driven as the running tool drives it, one
// sample and one clock-and-log cycle per simulated second, and the chart is painted every
// second. It reports the UI stall per sample, the cycle and paint times and the resident memory,
// and checks BIT.txt against the entries the demo's timeline must produce. Exit code 1 when the
// log differs or memory grows by more than 1 MiB.
//
//   build/release/bench/bench_burnin_soak [hours]
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "burnin/BurnInLog.h"
#include "burnin/BurnInPage.h"
#include "device/sim/DemoScenario.h"
#include "device/sim/SimExtender.h"
#include "ui/DialogUnits.h"

using namespace std::chrono_literals;

namespace {

constexpr int kWarmUp = 60;

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// What the demo's minute does to a burn-in at the 1-second period: the link is down for seconds
// 40 to 45 and takes the local HPD line with it, so the sixth bad sample of both comes at second
// 45; the shorter 5 V and HPD drops never reach six in a row, and the video source stays good.
QByteArray ExpectedLog(const QDateTime& start, int seconds)
{
    QByteArray log;
    for (int second = 1; second <= seconds; ++second) {
        if (second % 60 != 45)
            continue;
        const ClockReading at = ClockReadingOf(start.addSecs(second));
        log += burnin::FormatLogEntry(at, burnin::kNoHpd);
        log += burnin::FormatLogEntry(at, burnin::kLinkFail);
    }
    return log;
}

struct Spread {
    // Written through before the first memory reading, so that the figures' own pages are
    // resident from the start and do not show as growth.
    explicit Spread(int count) : micros(count, 0.0) {}
    std::vector<double> micros;
    size_t taken = 0;

    void Add(qint64 nanos) { micros[taken++] = nanos / 1000.0; }
    void Print(const char* what)
    {
        std::sort(micros.begin(), micros.end());
        double sum = 0;
        for (double m : micros)
            sum += m;
        std::printf("%-22s mean %7.1f us  p99 %7.1f us  max %8.1f us  (%zu)\n", what,
                    sum / micros.size(), micros[micros.size() * 99 / 100], micros.back(),
                    micros.size());
    }
};

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ui::UseDialogFont(app);
    const int hours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 24;
    const int seconds = hours * 3600;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    SimExtender extender;
    demo::Apply(extender, 0ms);
    CTorvanReaderDlg mainDlg(extender);
    PerformanceTool tool(&mainDlg);
    auto* page = static_cast<CBIT*>(tool.Page(PerformanceTool::BurnInTab));
    QWidget* chart = ui::FindControl<QWidget>(page, BurnInControl::Chart);

    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0, 0));
    int now = 0;
    BurnInTiming timing;
    timing.clock = [&] { return ClockReadingOf(start.addSecs(now)); };
    timing.periods = {24h, 24h, 24h, 24h}; // the soak takes every sample itself
    timing.manualCycle = true;
    page->SetTiming(timing);

    Spread samples(seconds), cycles(seconds), paints(seconds);
    const long startKiB = ResidentKiB();
    long warmKiB = 0;
    QElapsedTimer wall;
    wall.start();
    page->OnBnClickedStartStop();
    for (now = 1; now <= seconds; ++now) {
        demo::Apply(extender, std::chrono::seconds(now));
        QElapsedTimer timer;
        timer.start();
        page->OnTimer();
        samples.Add(timer.nsecsElapsed());

        timer.restart();
        page->ClockLogCycle();
        cycles.Add(timer.nsecsElapsed());

        timer.restart();
        chart->grab();
        paints.Add(timer.nsecsElapsed());
        QCoreApplication::processEvents();
        // Caches for fonts, pixmaps and the first log writes fill during the first minute.
        if (now == kWarmUp)
            warmKiB = ResidentKiB();
    }
    const double wallSeconds = wall.elapsed() / 1000.0;
    const bool stillRunning = page->IsRunning();
    page->OnBnClickedStartStop();
    const long endKiB = ResidentKiB();

    QFile logFile(burnin::kLogFileName);
    logFile.open(QIODevice::ReadOnly);
    const QByteArray log = logFile.readAll();
    const QByteArray expected = ExpectedLog(start, seconds);
    const bool logMatches = log == expected;

    std::printf("simulated %d h at the 1-second period: %d samples in %.1f s of wall time\n", hours,
                seconds, wallSeconds);
    samples.Print("UI stall per sample");
    cycles.Print("clock-and-log cycle");
    paints.Print("chart paint");
    std::printf("log: %lld entries expected, %lld written, %s\n",
                static_cast<long long>(expected.count('\n')),
                static_cast<long long>(log.count('\n')), logMatches ? "identical" : "DIFFERENT");
    std::printf("resident memory: before the run %ld KiB, after the first minute %ld KiB, "
                "end %ld KiB; growth after the first minute %ld KiB\n",
                startKiB, warmKiB, endKiB, endKiB - warmKiB);
    const bool memoryOk = endKiB - warmKiB <= 1024;
    if (!stillRunning)
        std::printf("the run ended early\n");
    return logMatches && memoryOk && stillRunning ? 0 : 1;
}
