#include "device/windows/WinHidBackend.h"

// windows.h first: the others build on its types. MinGW's hidsdi.h declares C functions without
// saying so to C++.
// clang-format off
#include <windows.h>
extern "C" {
#include <hidsdi.h>
}
// clang-format on

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "device/DeviceIds.h"
#include "device/HidIO.h"
#include "device/windows/DeviceWaits.h"
#include "device/windows/HidInterfaces.h"
#include "device/windows/UnitLock.h"
#include "device/windows/WideText.h"
#include "device/windows/WindowsError.h"

namespace {

// The share of a transfer's wait kept for its cancel, at most: the HID class driver ends a
// cancelled transfer at once.
constexpr DWORD kCancelShareMs = 100;

DWORD WaitMs(int timeoutMs)
{
    return static_cast<DWORD>(std::max(timeoutMs, 0));
}

// A unit whose reports are not the extender's length; the code is the length it has.
class ReportLengthCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "report length"; }
    std::string message(int length) const override
    {
        return "its reports are " + std::to_string(length) + " bytes long, not the "
               + std::to_string(CHidIO::kReportSize) + " of the extenders this tool knows";
    }
};

std::error_code ReportLengthError(size_t length)
{
    static const ReportLengthCategory category;
    return {static_cast<int>(length), category};
}

// Whether path names something that can be opened: its cause when not.
std::error_code Reachable(const std::string& path)
{
    const HANDLE query = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    if (query == INVALID_HANDLE_VALUE)
        return LastWindowsError();
    CloseHandle(query);
    return {};
}

} // namespace

// An open handle with its own event and buffer. A transfer under way (pending) keeps both until
// it has ended; the next transfer on the handle looks at it first.
struct WinHidBackend::Port {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    OVERLAPPED overlapped{};
    std::vector<uint8_t> buffer; // one report of the unit's length in this direction
    bool pending = false;
    bool cancelled = false; // the transfer under way was cancelled: its end is a wait run out
    std::shared_ptr<UnitLock> hold; // the unit's claim, when it was claimed before opening

    ~Port()
    {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (event)
            CloseHandle(event);
    }

    // Starts a transfer of the buffer; false with the cause when it could not be started.
    bool Start(bool writing, std::error_code& error)
    {
        ResetEvent(event);
        overlapped = {};
        overlapped.hEvent = event;
        const DWORD bytes = static_cast<DWORD>(buffer.size());
        const BOOL done = writing ? WriteFile(file, buffer.data(), bytes, nullptr, &overlapped)
                                  : ReadFile(file, buffer.data(), bytes, nullptr, &overlapped);
        if (!done && GetLastError() != ERROR_IO_PENDING) {
            error = LastWindowsError();
            return false;
        }
        pending = true;
        cancelled = false;
        return true;
    }

    // Waits up to waitMs for the transfer under way: the bytes moved once it has ended, 0 while
    // it goes on or when our cancel ended it, -1 with the cause when it failed or when the
    // program's time is up (EndDeviceWaits).
    HidTransfer Finish(DWORD waitMs)
    {
        const HANDLE ends[] = {event, DeviceWaitsEnded()};
        const DWORD waited = WaitForMultipleObjects(2, ends, FALSE, waitMs);
        if (waited == WAIT_TIMEOUT)
            return {0};
        if (waited == WAIT_OBJECT_0 + 1)
            return {-1, DeviceWaitsEndCause()};
        if (waited != WAIT_OBJECT_0)
            return {-1, LastWindowsError()};
        DWORD moved = 0;
        const BOOL ok = GetOverlappedResult(file, &overlapped, &moved, FALSE);
        const DWORD code = ok ? ERROR_SUCCESS : GetLastError();
        pending = false;
        if (ok)
            return {static_cast<int>(moved)};
        if (cancelled && code == ERROR_OPERATION_ABORTED)
            return {0};
        return {-1, WindowsError(code)};
    }

    // Posts the handle's next read at once, so that the unit's next report finds it waiting.
    // Wine's HID class loses a report that arrives while a read is being posted, and an answer
    // can come that fast. A read that cannot be posted is tried again, and told, by the next Read.
    void PostRead()
    {
        std::error_code untold;
        Start(false, untold);
    }

    // Asks the driver to end the transfer under way, once.
    void RequestCancel()
    {
        if (!pending || cancelled)
            return;
        CancelIoEx(file, &overlapped);
        cancelled = true;
    }

    // Waits for the transfer under way as Finish does, and cancels it within the same wait when
    // it has not ended by then: a driver that does not end it in time leaves it pending, and the
    // handle's next transfer looks at it first.
    HidTransfer Await(DWORD waitMs)
    {
        const DWORD share = std::min(waitMs / 10, kCancelShareMs);
        const HidTransfer ended = Finish(waitMs - share);
        if (!pending)
            return ended;
        RequestCancel();
        if (ended.moved < 0) // the wait itself failed, or the program's time is up
            return ended;
        return Finish(share); // the bytes of a transfer that ended just before the cancel
    }
};

WinHidBackend::WinHidBackend(const HidClass& hidClass) : m_class(hidClass) {}

WinHidBackend::WinHidBackend() : WinHidBackend(SystemHidClass()) {}

WinHidBackend::~WinHidBackend()
{
    while (!m_ports.empty())
        Close(m_ports.begin()->first);
}

std::vector<std::string> WinHidBackend::EnumeratePaths()
{
    return m_class.Paths();
}

bool WinHidBackend::ReadAttributes(const std::string& path, HidAttributes& out)
{
    return !m_class.Attributes(path, out);
}

HidClaim WinHidBackend::Claim(const std::string& path)
{
    // A path that names nothing keeps the system's cause.
    if (const std::error_code error = Reachable(path))
        return {.error = error};
    auto lock = std::make_shared<UnitLock>(DeviceInstanceId(path));
    if (!lock->Held())
        return {.error = lock->Error(), .holder = lock->Holder()};
    std::lock_guard guard(m_mutex);
    const HidHandle handle = m_nextHandle++;
    m_locks[handle] = {path, std::move(lock)};
    return {.handle = handle};
}

HidOpened WinHidBackend::Open(const std::string& path, HidAccess access)
{
    auto port = std::make_unique<Port>();
    port->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!port->event)
        return {.error = LastWindowsError()};
    // Shared, so that a query of the unit (another program's list) still opens it.
    port->file = CreateFileW(
        Wide(path).c_str(), access == HidAccess::Read ? GENERIC_READ : GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port->file == INVALID_HANDLE_VALUE)
        return {.error = LastWindowsError()};
    // Between finding a unit and opening it, its path may have come to name another device.
    HidDescription device;
    if (m_class.Describe(port->file, device) || !IsExtender(device.vendorId, device.productId))
        return {.error = WindowsError(ERROR_DEVICE_NOT_CONNECTED)};
    const size_t length = access == HidAccess::Read ? device.inputLength : device.outputLength;
    if (length != CHidIO::kReportSize)
        return {.error = ReportLengthError(length)};
    port->buffer.assign(length, 0);
    if (access == HidAccess::Read)
        port->PostRead();
    std::lock_guard guard(m_mutex);
    const auto claimed =
        std::ranges::find_if(m_locks, [&](auto& held) { return held.second.path == path; });
    if (claimed != m_locks.end())
        port->hold = claimed->second.lock;
    const HidHandle handle = m_nextHandle++;
    m_ports[handle] = std::move(port);
    return {.handle = handle};
}

WinHidBackend::Port* WinHidBackend::Find(HidHandle handle)
{
    std::lock_guard guard(m_mutex);
    const auto found = m_ports.find(handle);
    return found == m_ports.end() ? nullptr : found->second.get();
}

HidTransfer WinHidBackend::Write(HidHandle handle, const uint8_t* report, size_t length,
                                 int timeoutMs)
{
    Port* port = Find(handle);
    if (!port)
        return {-1, WindowsError(ERROR_INVALID_HANDLE)};
    if (length > port->buffer.size())
        return {-1, WindowsError(ERROR_INVALID_PARAMETER)};
    // An earlier write whose cancel the driver has not ended yet goes first; the unit is slow,
    // not gone.
    if (port->pending && (port->Finish(0), port->pending))
        return {0};
    std::fill(std::copy_n(report, length, port->buffer.begin()), port->buffer.end(), 0);
    std::error_code error;
    if (!port->Start(true, error))
        return {-1, error};
    return port->Await(WaitMs(timeoutMs));
}

HidTransfer WinHidBackend::Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs)
{
    Port* port = Find(handle);
    if (!port)
        return {-1, WindowsError(ERROR_INVALID_HANDLE)};
    // The read posted earlier is this one's; so is a report that a read cancelled after its wait
    // brought before the cancel took. One that ended cancelled makes way for a new read.
    HidTransfer read{0};
    if (port->pending)
        read = port->Finish(WaitMs(timeoutMs));
    if (!port->pending && read.moved == 0) {
        std::error_code error;
        if (!port->Start(false, error))
            return {-1, error};
        read = port->Await(WaitMs(timeoutMs));
    }
    if (read.moved <= 0)
        return read;
    const size_t moved = std::min(static_cast<size_t>(read.moved), capacity);
    std::memcpy(report, port->buffer.data(), moved);
    port->PostRead();
    return {static_cast<int>(moved)};
}

void WinHidBackend::Cancel(HidHandle handle)
{
    // Never waited for here: a transfer's own wait has cancelled it already where it ran out, and
    // what is still under way is looked at by the handle's next transfer, or kept by Close.
    if (Port* port = Find(handle))
        port->RequestCancel();
}

void WinHidBackend::Close(HidHandle handle)
{
    Cancel(handle);
    std::unique_ptr<Port> port;
    std::shared_ptr<UnitLock> lock; // let go of here unless a port still holds it
    {
        std::lock_guard guard(m_mutex);
        if (const auto found = m_ports.find(handle); found != m_ports.end()) {
            port = std::move(found->second);
            m_ports.erase(found);
        } else if (const auto claim = m_locks.find(handle); claim != m_locks.end()) {
            lock = std::move(claim->second.lock);
            m_locks.erase(claim);
        }
    }
    // A transfer the driver has not ended keeps its buffer and the unit's hold until it ends. The
    // read kept posted on every read handle is cancelled here: the driver ends it at once.
    if (port && port->pending)
        port->Finish(kCancelShareMs);
    if (port && port->pending) {
        std::thread([stuck = std::move(port)] {
            WaitForSingleObject(stuck->event, INFINITE);
        }).detach();
    }
}
