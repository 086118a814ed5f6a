#include "cli/Console.h"

#include <QByteArray>
#include <csignal>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace cli {

void TakeStopRequests(std::atomic<Stop>& stop)
{
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t taken;
    sigemptyset(&taken);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&taken, signal);
    pthread_sigmask(SIG_BLOCK, &taken, nullptr);
    std::thread([taken, &stop] {
        for (int signal = 0; sigwait(&taken, &signal) == 0;) {
            auto none = Stop::None;
            if (signal != SIGINT)
                stop = Stop::Terminate;
            else
                stop.compare_exchange_strong(none, Stop::Interrupt);
        }
    }).detach();
}

bool OnTerminal()
{
    return isatty(STDERR_FILENO) && isatty(STDIN_FILENO);
}

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

void PreciseSleep(std::chrono::milliseconds ms)
{
    std::this_thread::sleep_for(ms);
}

} // namespace cli
