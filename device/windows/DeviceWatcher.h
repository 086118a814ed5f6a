#pragma once
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "device/UnitWatcher.h"
#include "device/windows/HidInterfaces.h"

// The watcher on Windows: the system's device notifications for the HID interface class
// (RegisterDeviceNotification), received by a message-only window on a thread of its own; an
// extender told apart from other HID devices by its attributes, or by the IDs its path names
// where it does not answer yet, when it arrives or is found present at the start, and by its
// path, noted then, when it leaves. An extender already noted that arrives is told as Added all
// the same: it may have been listed before it could be opened. Create it before the first
// enumeration of the units: it is registered in the constructor, so a unit plugged in between is
// not missed.
class DeviceWatcher : public IUnitWatcher {
public:
    explicit DeviceWatcher(const HidClass& hidClass = SystemHidClass());
    ~DeviceWatcher() override;
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    WaitHandle Handle() const override;
    std::vector<UnitChange> TakeChanges() override;
    // Why there is no handle ("device notifications: Access is denied."); empty while it watches.
    const std::string& Failure() const { return m_failure; }

    // The window's side: a HID interface arrived or left.
    void Arrived(const std::string& path);
    void Left(const std::string& path);

private:
    void Run(void* armed);
    bool IsExtender(const std::string& path) const;

    const HidClass& m_class;
    WakeSignal m_waiting;
    std::mutex m_mutex; // guards the changes and the extenders' paths
    std::vector<UnitChange> m_changes;
    std::set<std::string> m_paths;
    std::thread m_thread;
    void* m_window = nullptr;
    std::string m_failure;
};
