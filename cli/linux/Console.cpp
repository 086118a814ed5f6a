#include "cli/Console.h"

#include <QByteArray>
#include <cerrno>
#include <climits>
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

void HoldSessionEnd(const QString&) {}

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

namespace {

class Output : public QIODevice {
public:
    Output(int descriptor, const std::atomic<Stop>& stop) : m_descriptor(descriptor), m_stop(stop)
    {
        open(WriteOnly | Unbuffered);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        for (qint64 done = 0; done < size;) {
            pollfd room{m_descriptor, POLLOUT, 0};
            const bool stopping = m_stop != Stop::None;
            const int ready = poll(&room, 1, stopping ? 0 : 100);
            if ((ready == 0 && stopping) || (ready < 0 && errno != EINTR))
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
    const std::atomic<Stop>& m_stop;
};

} // namespace

std::unique_ptr<QIODevice> StandardOutput(Stream stream, const std::atomic<Stop>& stop)
{
    return std::make_unique<Output>(stream == Stream::Out ? STDOUT_FILENO : STDERR_FILENO, stop);
}

} // namespace cli
