// How soon the main window follows a unit plugged in (" States: Connected", after the connect
// check) and pulled out (" States: Unconnected"), through the watcher's descriptor on the event
// loop, on the simulated extender; then what the idle window costs with nothing plugged in or out:
// its CPU time, its threads and its timers.
//
//   build/dev/bench/bench_plug_follow [rounds] [idle seconds]
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <sys/resource.h>
#include <vector>

#include "app/TorvanReaderDlg.h"
#include "device/sim/SimExtender.h"
#include "ui/DialogUnits.h"

namespace {

void Report(const char* what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    std::printf("%-34s n=%zu  min %.2f ms  median %.2f ms  p95 %.2f ms  max %.2f ms\n", what,
                samples.size(), samples.front(), samples[samples.size() / 2],
                samples[static_cast<size_t>(0.95 * (samples.size() - 1))], samples.back());
}

// Runs the event loop until the state line reads state; the milliseconds it took.
double Until(const QLabel& line, const QString& state)
{
    QElapsedTimer clock;
    clock.start();
    while (line.text() != state)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Threads()
{
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    SimPlugs plugs;
    SimExtender extender;
    extender.Unplug();
    extender.ReportPlugsTo(&plugs);
    CTorvanReaderDlg mainDlg(extender, &plugs);
    mainDlg.show();
    const auto& state = *ui::FindControl<QLabel>(&mainDlg, MainControl::State);

    std::vector<double> plugged, pulled;
    for (int round = 0; round < rounds; ++round) {
        extender.Replug();
        plugged.push_back(Until(state, " States: Connected"));
        extender.Unplug();
        pulled.push_back(Until(state, " States: Unconnected"));
    }
    std::printf("Following plugs, simulated extender (target: plugged in under 250 ms)\n");
    Report("plugged in -> States: Connected", plugged);
    Report("pulled out -> States: Unconnected", pulled);

    // Idle: the only timer running is this program's own, which ends the wait.
    extender.Replug();
    Until(state, " States: Connected");
    // The window drawn anew once, before the measurement starts.
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();
    // Running ones: a window may keep a timer for what it does only at times (a unit retried).
    const QList<QTimer*> timers = mainDlg.findChildren<QTimer*>();
    const int windowTimers = static_cast<int>(std::ranges::count_if(timers, &QTimer::isActive));
    const double cpuBefore = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(idleSeconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("Idle window, %d s: CPU %.2f %% (%.1f ms), threads %d, timers of the window %d\n",
                idleSeconds, 100.0 * cpu * 1000 / static_cast<double>(wall.elapsed()), cpu * 1000,
                Threads(), windowTimers);
    return 0;
}
