#include "cli/Console.h"

#include <QByteArray>
#include <condition_variable>
#include <io.h>
#include <mutex>
#include <thread>
#include <windows.h>

#include "device/windows/DeviceWaits.h"
#include "device/windows/WideText.h"
#include "device/windows/WindowsError.h"

namespace cli {
namespace {

std::atomic<Stop>* requests = nullptr;

// Windows ends the program once the console's handler returns from the console closed, logoff or
// shutdown, or once a window has answered the session's end, and after five seconds at the latest
// in any case. The command is given time to stop at its next step; then every wait for the unit is
// ended, so that a late answer does not keep it from saying where it stopped.
constexpr DWORD kStepGraceMs = 2500;
constexpr DWORD kLastWordsMs = 2000;

// The program ends on its own meanwhile once the command has stopped.
void StopInTime(DWORD cause)
{
    *requests = Stop::Terminate;
    Sleep(kStepGraceMs);
    EndDeviceWaits(WindowsError(cause));
    Sleep(kLastWordsMs);
}

// Called by Windows on a thread of its own.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event == CTRL_C_EVENT) {
        auto none = Stop::None;
        requests->compare_exchange_strong(none, Stop::Interrupt);
        return TRUE;
    }
    if (event == CTRL_CLOSE_EVENT)
        StopInTime(ERROR_CANCELLED);
    else if (event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        StopInTime(ERROR_SHUTDOWN_IN_PROGRESS);
    else
        *requests = Stop::Terminate;
    return TRUE;
}

// Logoff and shutdown reach a program that loads user32, as Qt's event loop does, only as
// messages to a top-level window, never as console events: a hidden one, on a thread of its own,
// hears them. While a firmware stream runs it holds the session's end with the stream's reason.
constexpr UINT kHold = WM_APP + 1; // the reason changed
std::atomic<HWND> sessionWindow = nullptr;
std::mutex reasonMutex;
std::wstring heldReason; // empty: nothing holds the session's end

bool Holding()
{
    std::lock_guard lock(reasonMutex);
    return !heldReason.empty();
}

// Only the window's own thread may set its reason.
void ShowReason(HWND window)
{
    std::lock_guard lock(reasonMutex);
    if (heldReason.empty())
        ShutdownBlockReasonDestroy(window);
    else
        ShutdownBlockReasonCreate(window, heldReason.c_str());
}

LRESULT CALLBACK OnSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kHold: ShowReason(window); return 0;
    case WM_QUERYENDSESSION: return Holding() ? FALSE : TRUE;
    case WM_ENDSESSION:
        if (wParam)
            StopInTime(ERROR_SHUTDOWN_IN_PROGRESS);
        return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

void HearSessionEnd()
{
    std::thread([] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = OnSessionMessage;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TorvanReaderSessionEnd";
        RegisterClassW(&windowClass);
        const HWND window =
            CreateWindowExW(0, windowClass.lpszClassName, L"torvanreader-cli", WS_OVERLAPPED, 0, 0,
                            0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
        if (!window)
            return; // the console's events still stop the command
        sessionWindow = window;
        ShowReason(window); // a hold taken before the window was there
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
    }).detach();
}

bool IsConsole(DWORD which)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode);
}

// Console input is read by a thread of its own, as it has no wait with a time-out for a line.
class Keyboard {
public:
    std::optional<QString> Line(std::chrono::milliseconds wait)
    {
        std::unique_lock lock(m_mutex);
        if (!m_reader.joinable())
            m_reader = std::thread([this] { Read(); });
        if (!m_typed.wait_for(lock, wait, [this] { return m_bytes.contains('\n') || m_ended; }))
            return std::nullopt;
        const qsizetype end = m_bytes.indexOf('\n');
        QByteArray line = end >= 0 ? m_bytes.left(end) : std::exchange(m_bytes, {});
        m_bytes.remove(0, end >= 0 ? end + 1 : 0);
        if (line.endsWith('\r'))
            line.chop(1);
        return QString::fromLocal8Bit(line);
    }

private:
    void Read()
    {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        const bool console = IsConsole(STD_INPUT_HANDLE);
        for (;;) {
            char buffer[256];
            DWORD got = 0;
            const bool read = ReadFile(input, buffer, sizeof buffer, &got, nullptr);
            // A Ctrl-C ends a console read with nothing: the keyboard is still there.
            if (console && got == 0 && (read || GetLastError() == ERROR_OPERATION_ABORTED))
                continue;
            std::lock_guard lock(m_mutex);
            if (!read || got == 0) { // the end of the input: nothing more will be typed
                m_ended = true;
                m_typed.notify_all();
                return;
            }
            m_bytes.append(buffer, got);
            m_typed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_typed;
    QByteArray m_bytes;
    bool m_ended = false;
    std::thread m_reader;
};

// How long a write that waits for room is given once a stop was asked for: time enough for a
// reader that reads, as the stop's own message must still reach the user.
constexpr std::chrono::milliseconds kGiveWay{100};

// A console is given text as UTF-16, which it shows in any script; bytes it would read in its own
// code page, which holds few. Pipes and files get the UTF-8 that readers of a program's output
// expect. QTextStream hands over whole characters, so no character is split between two calls.
void WriteAll(int descriptor, const std::string& utf8)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring text = Wide(utf8);
        for (size_t done = 0; done < text.size();) {
            DWORD written = 0;
            if (!WriteConsoleW(handle, text.data() + done, DWORD(text.size() - done), &written,
                               nullptr)
                || written == 0)
                break;
            done += written;
        }
        return;
    }
    for (size_t done = 0; done < utf8.size();) {
        const int written = _write(descriptor, utf8.data() + done, unsigned(utf8.size() - done));
        if (written <= 0)
            break;
        done += size_t(written);
    }
}

// Writes to a pipe have no wait with a time-out, so they go out on a thread of their own. A write
// still waiting for room gives way to a stop, and what comes while it waits is dropped; what
// cannot be written at all (a closed pipe) is dropped too. The C runtime's descriptor writes
// lines as every Windows program does.
class Output : public QIODevice {
public:
    Output(int descriptor, const std::atomic<Stop>& stop)
        : m_shared(std::make_shared<Shared>()), m_stop(stop)
    {
        std::thread([shared = m_shared, descriptor] { Write(*shared, descriptor); }).detach();
        open(WriteOnly | Unbuffered);
    }
    ~Output() override
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->closed = true; // the writer may still wait for room: it ends with the program
        m_shared->changed.notify_all();
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        std::unique_lock lock(m_shared->mutex);
        if (!Written(lock))
            return size; // an earlier write still waits: dropped
        m_shared->bytes.assign(data, size_t(size));
        m_shared->changed.notify_all();
        Written(lock);
        return size;
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::string bytes; // handed to the writer, empty once written
        bool closed = false;
    };

    // Whether what was handed to the writer has gone out, waiting for it until a stop.
    bool Written(std::unique_lock<std::mutex>& lock)
    {
        const auto empty = [this] { return m_shared->bytes.empty(); };
        while (!empty() && m_stop == Stop::None)
            m_shared->changed.wait_for(lock, kGiveWay);
        return empty() || m_shared->changed.wait_for(lock, kGiveWay, empty);
    }

    static void Write(Shared& shared, int descriptor)
    {
        std::unique_lock lock(shared.mutex);
        for (;;) {
            shared.changed.wait(lock, [&] { return !shared.bytes.empty() || shared.closed; });
            if (shared.closed)
                return;
            const std::string bytes = shared.bytes;
            lock.unlock();
            WriteAll(descriptor, bytes);
            lock.lock();
            shared.bytes.clear();
            shared.changed.notify_all();
        }
    }

    const std::shared_ptr<Shared> m_shared;
    const std::atomic<Stop>& m_stop;
};

} // namespace

void TakeStopRequests(std::atomic<Stop>& stop)
{
    requests = &stop;
    // A program started in a new process group (CREATE_NEW_PROCESS_GROUP, as by a service or a
    // script) ignores Ctrl-C until it asks for it again.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    HearSessionEnd();
}

void HoldSessionEnd(const QString& reason)
{
    {
        std::lock_guard lock(reasonMutex);
        heldReason = reason.toStdWString();
    }
    // Posted: the window's thread may be stopping the command for the session's end right now.
    if (const HWND window = sessionWindow)
        PostMessageW(window, kHold, 0, 0);
}

bool OnTerminal()
{
    if (!IsConsole(STD_ERROR_HANDLE) || !IsConsole(STD_INPUT_HANDLE))
        return false;
    // The progress bars of several units are redrawn together with the terminal's cursor moves,
    // which the console takes once asked to.
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(error, &mode))
        SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return true;
}

std::optional<QString> ReadLine(std::chrono::milliseconds wait)
{
    // Never destroyed: its reader may be blocked in a read of the console until the program ends.
    static Keyboard& keyboard = *new Keyboard;
    return keyboard.Line(wait);
}

std::unique_ptr<QIODevice> StandardOutput(Stream stream, const std::atomic<Stop>& stop)
{
    return std::make_unique<Output>(stream == Stream::Out ? 1 : 2, stop);
}

} // namespace cli
