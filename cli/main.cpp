// torvanreader-cli: every job of the tool as a command (torvanreader-cli --help, the README).
#include <QCoreApplication>

#include "cli/Cli.h"
#include "cli/Console.h"
#include "cli/DemoChips.h"
#include "device/SystemDevices.h"
#include "device/sim/DemoScenario.h"
#include "device/sim/SimUnits.h"
#include "history/Keeper.h"

namespace {

std::atomic<cli::Stop> stop{cli::Stop::None};

} // namespace

int main(int argc, char* argv[])
{
    cli::TakeStopRequests(stop);
    QCoreApplication app(argc, argv);
    const std::unique_ptr<QIODevice> outFile = cli::StandardOutput(cli::Stream::Out, stop),
                                     errFile = cli::StandardOutput(cli::Stream::Err, stop);
    QTextStream out(outFile.get());
    QTextStream err(errFile.get());
    std::unique_ptr<IHidBackend> backend;
    // The demo: the living extender of the demo scenario, and a second, steady one beside it.
    SimPlugs demoPlugs; // told of the demo's units plugged and pulled; outlives them
    demo::Extender living;
    demo::SteadyExtender steady;
    living.ReportPlugsTo(&demoPlugs);
    steady.ReportPlugsTo(&demoPlugs);
    SimExtender* const demoUnits[]{&living, &steady};
    // The demo's chips, kept between commands; made with the demo's back end.
    std::optional<cli::DemoChips> demoChips;
    std::unique_ptr<IUnitWatcher> system; // made only for --wait and list --watch
    using namespace std::chrono;
    cli::Context context{
        .backend = [&](bool demo) -> IHidBackend& {
            if (demo) {
                demoChips.emplace(demoUnits);
                backend = std::make_unique<SimUnits>(std::vector<SimExtender*>{&living, &steady});
            } else {
                backend = MakeSystemBackend();
            }
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
        .now = [] { return duration_cast<microseconds>(steady_clock::now().time_since_epoch()); },
        .sleep = PreciseSleep,
        .await = AwaitReady,
        .history = history::UserFile,
        .holdSessionEnd = cli::HoldSessionEnd,
    };
    return cli::Run(app.arguments(), context);
}
