#include "device/windows/DeviceWatcher.h"

// windows.h first: the others build on its types. MinGW's hidsdi.h declares C functions without
// saying so to C++.
// clang-format off
#include <windows.h>
#include <dbt.h>
extern "C" {
#include <hidsdi.h>
}
// clang-format on

#include <cstdio>
#include <future>
#include <utility>

#include "device/DeviceIds.h"
#include "device/windows/HidInterfaces.h"
#include "device/windows/WindowsError.h"

namespace {

constexpr UINT kStop = WM_APP + 1;
constexpr const wchar_t* kClassName = L"TorvanReaderDeviceWatcher";

// A unit just plugged in may not answer a query yet; its path names its USB IDs all the same.
bool IsExtenderPath(const std::string& path)
{
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", kTorvanVendorId, kTorvanProductId);
    return path.find(ids) != std::string::npos;
}

LRESULT CALLBACK WatcherWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* watcher = reinterpret_cast<DeviceWatcher*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == kStop) {
        PostQuitMessage(0);
        return 0;
    }
    if (message != WM_DEVICECHANGE || !watcher
        || (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE))
        return DefWindowProcW(window, message, wParam, lParam);
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
        const std::string path = NormalPath(device->dbcc_name);
        if (wParam == DBT_DEVICEARRIVAL)
            watcher->Arrived(path);
        else
            watcher->Left(path);
    }
    return TRUE;
}

} // namespace

DeviceWatcher::DeviceWatcher(const HidClass& hidClass) : m_class(hidClass)
{
    std::promise<std::error_code> armed;
    std::future<std::error_code> result = armed.get_future();
    m_thread = std::thread(&DeviceWatcher::Run, this, &armed);
    if (const std::error_code error = result.get()) {
        m_failure = "device notifications: " + error.message();
        m_thread.join();
        return;
    }
    // Registered first, then the extenders present now are noted, so that each is told when it
    // leaves, one that did not answer a query too.
    for (const std::string& path : m_class.Paths()) {
        if (IsExtender(path)) {
            std::lock_guard lock(m_mutex);
            m_paths.insert(path);
        }
    }
}

bool DeviceWatcher::IsExtender(const std::string& path) const
{
    HidAttributes attributes;
    return m_class.Attributes(path, attributes)
               ? IsExtenderPath(path)
               : ::IsExtender(attributes.vendorId, attributes.productId);
}

DeviceWatcher::~DeviceWatcher()
{
    if (!m_thread.joinable())
        return;
    PostMessageW(static_cast<HWND>(m_window), kStop, 0, 0);
    m_thread.join();
}

void DeviceWatcher::Run(void* armedPromise)
{
    // Touched only until it is answered: the constructor waits for the answer.
    auto& armed = *static_cast<std::promise<std::error_code>*>(armedPromise);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WatcherWindow;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return armed.set_value(LastWindowsError());
    HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  instance, nullptr);
    if (!window)
        return armed.set_value(LastWindowsError());
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    HDEVNOTIFY notification =
        RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!notification) {
        const std::error_code error = LastWindowsError();
        DestroyWindow(window);
        return armed.set_value(error);
    }
    m_window = window;
    armed.set_value({});

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    UnregisterDeviceNotification(notification);
    DestroyWindow(window);
}

void DeviceWatcher::Arrived(const std::string& path)
{
    if (!IsExtender(path))
        return;
    // Told again when it was noted already: it may have been listed before it could be opened.
    std::lock_guard lock(m_mutex);
    m_paths.insert(path);
    m_changes.push_back({UnitChange::Kind::Added, path});
    m_waiting.Raise();
}

void DeviceWatcher::Left(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    if (m_paths.erase(path)) {
        m_changes.push_back({UnitChange::Kind::Removed, path});
        m_waiting.Raise();
    }
}

WaitHandle DeviceWatcher::Handle() const
{
    return m_failure.empty() ? m_waiting.Handle() : kNoWaitHandle;
}

std::vector<UnitChange> DeviceWatcher::TakeChanges()
{
    std::lock_guard lock(m_mutex);
    m_waiting.Clear();
    return std::exchange(m_changes, {});
}
