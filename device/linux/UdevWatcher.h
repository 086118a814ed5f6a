#pragma once
#include <set>
#include <string>

#include "device/UnitWatcher.h"

struct udev;
struct udev_monitor;

// The watcher on Linux: a libudev monitor on the hidraw subsystem, a unit told apart from other HID
// devices by its parent "hid" device's HID_ID. Create it before the first enumeration of the
// units: the monitor is armed in the constructor, so a unit plugged in between is not missed.
class UdevWatcher : public IUnitWatcher {
public:
    UdevWatcher();
    ~UdevWatcher() override;
    UdevWatcher(const UdevWatcher&) = delete;
    UdevWatcher& operator=(const UdevWatcher&) = delete;

    WaitHandle Handle() const override;
    std::vector<UnitChange> TakeChanges() override;
    // Why there is no descriptor ("udev monitor: Permission denied"); empty while it watches.
    const std::string& Failure() const { return m_failure; }

private:
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    // The extenders' nodes, so that a removal is told only of an extender: by then the node's
    // parent, which tells what it was, is gone.
    std::set<std::string> m_nodes;
    std::string m_failure;
};
