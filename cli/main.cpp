// torvanreader-cli: every job of the tool as a command (torvanreader-cli --help, the README).
#include <QCoreApplication>
#include <csignal>
#include <thread>
#include <unistd.h>

#include "cli/Cli.h"
#include "device/BoundedWriteBackend.h"
#include "device/hidapi/HidapiBackend.h"
#include "device/sim/DemoScenario.h"
#include "device/sim/SimUnits.h"

namespace {

std::atomic<bool> interrupted{false};

// Ctrl-C is taken by a thread of its own, so that no wait for the extender is cut short by it:
// the command in hand acts on it where it can stop safely. The commands that run long (flash,
// burn-in, status --watch) look for it between steps; the others end within seconds anyway.
void TakeInterrupts()
{
    sigset_t interrupts;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupts, nullptr);
    std::thread([interrupts] {
        for (int signal = 0; sigwait(&interrupts, &signal) == 0;)
            interrupted = true;
    }).detach();
}

} // namespace

int main(int argc, char* argv[])
{
    TakeInterrupts();
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);
    std::unique_ptr<IHidBackend> backend;
    // The demo: the living extender of the demo scenario, and a second, steady one beside it.
    demo::Extender living;
    SimExtender steady("sim:extender-2", "SIM0002");
    demo::Apply(steady, std::chrono::seconds(30));
    using namespace std::chrono;
    cli::Context context{
        .backend = [&](bool demo) -> IHidBackend& {
            if (demo)
                backend = std::make_unique<SimUnits>(std::vector<SimExtender*>{&living, &steady});
            else
                backend = std::make_unique<BoundedWriteBackend>(std::make_shared<HidapiBackend>());
            return *backend;
        },
        .out = out,
        .err = err,
        .terminal = isatty(STDERR_FILENO) && isatty(STDIN_FILENO),
        .readLine = [&] { return in.readLine(); },
        .interrupted = interrupted,
        .resume = [] { interrupted = false; },
        .clock = ReadLocalClock,
        .now = [] { return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()); },
        .sleep = [](milliseconds ms) { std::this_thread::sleep_for(ms); },
    };
    return cli::Run(app.arguments(), context);
}
