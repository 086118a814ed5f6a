// torvanreader-cli: every job of the tool as a command (torvanreader-cli --help, the README).
#include <QCoreApplication>
#include <QIODevice>
#include <cerrno>
#include <climits>
#include <csignal>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "cli/Cli.h"
#include "cli/DemoChips.h"
#include "device/SystemDevices.h"
#include "device/sim/DemoScenario.h"
#include "device/sim/SimUnits.h"

namespace {

std::atomic<cli::Stop> stop{cli::Stop::None};

// Ctrl-C, SIGTERM and SIGHUP are taken by a thread of their own, so that no wait for the
// extender is cut short by them: the command in hand acts on them where it can stop safely. The
// commands that run long (flash, burn-in, status --watch) look between steps; the others end
// within seconds anyway. A closed stdout or stderr (--json flash | head -1) must not end a flash
// half-way, so SIGPIPE is ignored and what cannot be written is dropped.
void TakeSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t taken;
    sigemptyset(&taken);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&taken, signal);
    pthread_sigmask(SIG_BLOCK, &taken, nullptr);
    std::thread([taken] {
        for (int signal = 0; sigwait(&taken, &signal) == 0;) {
            auto none = cli::Stop::None;
            if (signal != SIGINT)
                stop = cli::Stop::Terminate;
            else
                stop.compare_exchange_strong(none, cli::Stop::Interrupt);
        }
    }).detach();
}

// stdout or stderr, unbuffered. A write waits while there is no room (a pipe whose reader
// stopped reading), but not past a stop: what cannot be written then is dropped, as is what a
// closed pipe refuses, so that neither holds the command up.
class Output : public QIODevice {
public:
    explicit Output(int descriptor) : m_descriptor(descriptor) { open(WriteOnly | Unbuffered); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        for (qint64 done = 0; done < size;) {
            pollfd room{m_descriptor, POLLOUT, 0};
            const int ready = poll(&room, 1, stop == cli::Stop::None ? 100 : 0);
            if ((ready == 0 && stop != cli::Stop::None) || (ready < 0 && errno != EINTR))
                break;
            if (ready <= 0)
                continue;
            // A pipe with room takes PIPE_BUF bytes at once without waiting.
            const auto piece = size_t(std::min<qint64>(size - done, PIPE_BUF));
            const ssize_t written = ::write(m_descriptor, data + done, piece);
            if (written < 0 && errno != EINTR && errno != EAGAIN)
                break;
            done += std::max<ssize_t>(written, 0);
        }
        return size;
    }

private:
    const int m_descriptor;
};

// A line from stdin once one is typed within wait; stdin is read here alone, unbuffered, so that
// a question can wait for its answer and for Ctrl-C at once.
std::optional<QString> ReadLine(std::chrono::milliseconds wait)
{
    static QByteArray typed;
    for (;;) {
        if (const qsizetype end = typed.indexOf('\n'); end >= 0) {
            const QByteArray line = typed.left(end);
            typed.remove(0, end + 1);
            return QString::fromLocal8Bit(line);
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, int(wait.count())) <= 0)
            return std::nullopt;
        char buffer[256];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) // the end of the input: nothing more will be typed
            return QString::fromLocal8Bit(std::exchange(typed, {}));
        typed.append(buffer, got);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    TakeSignals();
    QCoreApplication app(argc, argv);
    Output outFile(STDOUT_FILENO), errFile(STDERR_FILENO);
    QTextStream out(&outFile);
    QTextStream err(&errFile);
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
        .terminal = isatty(STDERR_FILENO) && isatty(STDIN_FILENO),
        .readLine = ReadLine,
        .stop = stop,
        .clock = ReadLocalClock,
        .now = [] { return duration_cast<microseconds>(steady_clock::now().time_since_epoch()); },
        .sleep = [](microseconds us) { std::this_thread::sleep_for(us); },
        .await = AwaitReady,
    };
    return cli::Run(app.arguments(), context);
}
