// torvanreader-cli: every job of the tool as a command (torvanreader-cli --help, the README).
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#include "cli/Cli.h"
#include "cli/Console.h"
#include "device/SystemDevices.h"
#include "device/sim/DemoScenario.h"
#include "device/sim/SimUnits.h"

namespace {

std::atomic<cli::Stop> stop{cli::Stop::None};

} // namespace

int main(int argc, char* argv[])
{
    cli::TakeStopRequests(stop);
    QCoreApplication app(argc, argv);
    // Unbuffered on the descriptors: output that cannot be written is dropped, never kept.
    QFile outFile, errFile;
    outFile.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered);
    errFile.open(fileno(stderr), QIODevice::WriteOnly | QIODevice::Unbuffered);
    QTextStream out(&outFile);
    QTextStream err(&errFile);
    std::unique_ptr<IHidBackend> backend;
    // The demo: the living extender of the demo scenario, and a second, steady one beside it.
    SimPlugs demoPlugs; // told of the demo's units plugged and pulled; outlives them
    demo::Extender living;
    demo::SteadyExtender steady;
    living.ReportPlugsTo(&demoPlugs);
    steady.ReportPlugsTo(&demoPlugs);
    std::unique_ptr<IUnitWatcher> system; // made only for --wait and list --watch
    using namespace std::chrono;
    cli::Context context{
        .backend = [&](bool demo) -> IHidBackend& {
            if (demo)
                backend = std::make_unique<SimUnits>(std::vector<SimExtender*>{&living, &steady});
            else
                backend = MakeSystemBackend();
            return *backend;
        },
        .watcher = [&](bool demo, std::string& failure) -> IUnitWatcher& {
            if (demo)
                return demoPlugs;
            system = MakeSystemWatcher(failure);
            return *system;
        },
        .out = out,
        .err = err,
        .terminal = cli::OnTerminal(),
        .readLine = cli::ReadLine,
        .stop = stop,
        .clock = ReadLocalClock,
        .now = [] { return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()); },
        .sleep = cli::PreciseSleep,
        .await = AwaitReady,
    };
    return cli::Run(app.arguments(), context);
}
