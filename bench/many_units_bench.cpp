// torvanreader-cli's flash on several units at once: an 8 KiB image (256 blocks) on 1, 2, 4 and 8
// simulated units that answer each command after 1 ms, each unit on a thread of its own. For each
// count: the run's time from start to end against one unit's (goal: eight units within 1.15 times
// the time of one), each unit's closest two blocks (none closer than 4.95 ms: a block is never
// sooner than 5 ms after the one before; the recorder's stamps may differ by microseconds), and
// the processor time per unit. The one-unit command's time is shown beside them. Exits 1 when a
// unit's update or pace fails, or the goal is missed.
//   bench_many_units
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>

#include "InProcessCli.h"
#include "device/RecordingBackend.h"
#include "device/sim/SimUnits.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The processor time of this program so far, all threads.
double CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Measured {
    double runMs = 0;
    double closestMs = 1e9; // of any unit's two blocks in a row
    double cpuMsPerUnit = 0;
    bool complete = true; // every unit ended 0 with all its blocks sent
};

// flash --to local --yes of the image on count units, each answering after 1 ms, in real time;
// several with --all.
Measured Flash(int count, const QString& image, bool all)
{
    std::vector<std::unique_ptr<SimExtender>> units;
    std::vector<SimExtender*> plugged;
    for (int unit = 0; unit < count; ++unit) {
        const std::string number = std::to_string(unit + 1);
        units.push_back(std::make_unique<SimExtender>("sim:unit" + number, "B" + number));
        units.back()->SetFaults({.latencyMs = 1});
        plugged.push_back(units.back().get());
    }
    SimUnits pc(plugged);
    RecordingBackend wire(pc);
    QStringList arguments{"flash", "--to", "local", "--yes", image};
    if (all)
        arguments.prepend("--all");
    QString text;
    Measured measured;
    const double cpuBefore = CpuMs();
    const auto start = Clock::now();
    measured.complete = RunInProcess(wire, arguments, text) == 0;
    measured.runMs = Ms(Clock::now() - start);
    measured.cpuMsPerUnit = (CpuMs() - cpuBefore) / count;
    for (int unit = 0; unit < count; ++unit) {
        std::vector<Clock::time_point> sent;
        for (const RecordingBackend::Record& record : wire.Records()) {
            if (record.path == "sim:unit" + std::to_string(unit + 1)
                && record.direction == RecordingBackend::Direction::Out
                && record.Payload().size() == 33)
                sent.push_back(record.time);
        }
        measured.complete = measured.complete && sent.size() == 256;
        for (size_t block = 1; block < sent.size(); ++block)
            measured.closestMs = std::min(measured.closestMs, Ms(sent[block] - sent[block - 1]));
    }
    if (!measured.complete)
        std::printf("FAILED on %d units: %s\n", count, qPrintable(text));
    return measured;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path()); // not the user's
    const QString image = dir.filePath("image.bin");
    std::string bytes(8192, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 13);
    std::ofstream(image.toStdString(), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    constexpr double kClosestMs = 4.95, kGoal = 1.15;
    const Measured single = Flash(1, image, false);
    std::printf("one unit, without --all: %.0f ms, closest two blocks %.2f ms apart, processor "
                "%.0f ms\n",
                single.runMs, single.closestMs, single.cpuMsPerUnit);
    bool ok = single.complete && single.closestMs >= kClosestMs;
    double one = 0;
    for (const int count : {1, 2, 4, 8}) {
        const Measured run = Flash(count, image, true);
        one = count == 1 ? run.runMs : one;
        const double ratio = run.runMs / one;
        std::printf("%d unit%s at once: %.0f ms, %.2f times one unit's; closest two blocks of a "
                    "unit %.2f ms apart %s; processor %.0f ms per unit\n",
                    count, count == 1 ? "" : "s", run.runMs, ratio, run.closestMs,
                    run.closestMs >= kClosestMs ? "OK" : "TOO CLOSE", run.cpuMsPerUnit);
        ok = ok && run.complete && run.closestMs >= kClosestMs;
        if (count == 8) {
            std::printf("goal: eight units within %.2f times one unit's time: %s\n", kGoal,
                        ratio <= kGoal ? "MET" : "MISSED");
            ok = ok && ratio <= kGoal;
        }
    }
    return ok ? 0 : 1;
}
