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
#include <array>
#include <cstring>
#include <thread>

#include "device/DeviceIds.h"
#include "device/windows/HidInterfaces.h"
#include "device/windows/UnitLock.h"
#include "device/windows/WideText.h"
#include "device/windows/WindowsError.h"

namespace {

// The longest wait for a cancelled transfer to end; the HID class driver ends one at once.
constexpr DWORD kCancelWaitMs = 1000;

DWORD WaitMs(int timeoutMs)
{
    return static_cast<DWORD>(std::max(timeoutMs, 0));
}

// The handle is on an extender, and on the unit claimed as identity when there is one: between
// finding a unit and opening it, its path may have come to name another device, or none.
bool OnTheUnitClaimed(HANDLE file, const std::string* identity, const std::string& path)
{
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!HidD_GetAttributes(file, &attributes)
        || !IsExtender(attributes.VendorID, attributes.ProductID))
        return false;
    if (!identity || *identity == path)
        return true;
    wchar_t serial[127] = {};
    return HidD_GetSerialNumberString(file, serial, sizeof serial - sizeof serial[0])
           && Utf8(std::wstring(serial)) == *identity;
}

} // namespace

// An open handle with its own event and buffer. A transfer under way (pending) keeps both until
// it has ended; the next transfer on the handle looks at it first.
struct WinHidBackend::Port {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    OVERLAPPED overlapped{};
    std::array<uint8_t, 65> buffer{};
    bool pending = false;
    std::shared_ptr<UnitLock> hold; // the unit's claim, when it was claimed before opening

    ~Port()
    {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (event)
            CloseHandle(event);
    }

    // Starts a transfer of length bytes from or into the buffer; false with the cause when it could
    // not be started.
    bool Start(bool writing, size_t length, std::error_code& error)
    {
        ResetEvent(event);
        overlapped = {};
        overlapped.hEvent = event;
        const DWORD bytes = static_cast<DWORD>(length);
        const BOOL done = writing ? WriteFile(file, buffer.data(), bytes, nullptr, &overlapped)
                                  : ReadFile(file, buffer.data(), bytes, nullptr, &overlapped);
        if (!done && GetLastError() != ERROR_IO_PENDING) {
            error = LastWindowsError();
            return false;
        }
        pending = true;
        return true;
    }

    // Waits up to waitMs for the transfer under way: the bytes moved once it has ended, 0 while
    // it goes on, -1 with the cause when it failed.
    HidTransfer Finish(DWORD waitMs)
    {
        const DWORD waited = WaitForSingleObject(event, waitMs);
        if (waited == WAIT_TIMEOUT)
            return {0};
        if (waited != WAIT_OBJECT_0)
            return {-1, LastWindowsError()};
        DWORD moved = 0;
        const BOOL ok = GetOverlappedResult(file, &overlapped, &moved, FALSE);
        pending = false;
        if (!ok)
            return {-1, LastWindowsError()};
        return {static_cast<int>(moved)};
    }
};

WinHidBackend::WinHidBackend() = default;

WinHidBackend::~WinHidBackend()
{
    while (!m_ports.empty())
        Close(m_ports.begin()->first);
}

std::vector<std::string> WinHidBackend::EnumeratePaths()
{
    return HidInterfacePaths();
}

bool WinHidBackend::ReadAttributes(const std::string& path, HidAttributes& out)
{
    return !QueryAttributes(path, out);
}

HidClaim WinHidBackend::Claim(const std::string& path)
{
    // The same identity as CHidIO::Unit's: the serial number, or the path where there is none.
    HidAttributes attributes;
    if (const std::error_code error = QueryAttributes(path, attributes))
        return {.error = error};
    const std::string identity = attributes.serial.empty() ? path : attributes.serial;
    auto lock = std::make_shared<UnitLock>(identity);
    if (!lock->Held())
        return {.error = lock->Error(), .holder = lock->Holder()};
    std::lock_guard guard(m_mutex);
    const HidHandle handle = m_nextHandle++;
    m_locks[handle] = {path, identity, std::move(lock)};
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
    std::lock_guard guard(m_mutex);
    const auto claimed =
        std::ranges::find_if(m_locks, [&](auto& held) { return held.second.path == path; });
    const bool isClaimed = claimed != m_locks.end();
    if (!OnTheUnitClaimed(port->file, isClaimed ? &claimed->second.identity : nullptr, path))
        return {.error = WindowsError(ERROR_DEVICE_NOT_CONNECTED)};
    if (isClaimed)
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
    // An earlier write that outlived its wait goes out first; the unit is slow, not gone.
    if (port->pending) {
        if (const HidTransfer earlier = port->Finish(0); earlier.moved == 0)
            return {0};
    }
    std::memcpy(port->buffer.data(), report, length);
    std::error_code error;
    if (!port->Start(true, length, error))
        return {-1, error};
    return port->Finish(WaitMs(timeoutMs));
}

HidTransfer WinHidBackend::Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs)
{
    Port* port = Find(handle);
    if (!port)
        return {-1, WindowsError(ERROR_INVALID_HANDLE)};
    // A read that outlived its wait and could not be cancelled may still bring a report.
    if (!port->pending) {
        std::error_code error;
        if (!port->Start(false, port->buffer.size(), error))
            return {-1, error};
    }
    const HidTransfer read = port->Finish(WaitMs(timeoutMs));
    if (read.moved <= 0)
        return read;
    const size_t moved = std::min(static_cast<size_t>(read.moved), capacity);
    std::memcpy(report, port->buffer.data(), moved);
    return {static_cast<int>(moved)};
}

void WinHidBackend::Cancel(HidHandle handle)
{
    Port* port = Find(handle);
    if (!port || !port->pending)
        return;
    CancelIoEx(port->file, &port->overlapped);
    // Its end is waited for, so that nothing is left under way; a driver that does not end it in
    // time leaves it pending, and the handle's next transfer looks at it first.
    port->Finish(kCancelWaitMs);
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
    // A transfer the driver has not ended keeps its buffer and the unit's hold until it ends.
    if (port && port->pending) {
        std::thread([stuck = std::move(port)] {
            WaitForSingleObject(stuck->event, INFINITE);
        }).detach();
    }
}
