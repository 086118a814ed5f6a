#include "device/linux/UdevWatcher.h"

#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "device/DeviceIds.h"

namespace {

// "0003:0000051A:0000511B": bus, vendor, product of the HID device above the node.
bool IsExtenderNode(udev_device* node)
{
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr);
    const char* id = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    unsigned bus = 0, vendor = 0, product = 0;
    return id && std::sscanf(id, "%x:%x:%x", &bus, &vendor, &product) == 3
           && IsExtender(static_cast<uint16_t>(vendor), static_cast<uint16_t>(product));
}

} // namespace

UdevWatcher::UdevWatcher()
{
    m_udev = udev_new();
    // Where udevd runs, its events come after its rules have given the user access to the node;
    // without it (a container, a bare guest) the kernel's own events are all there is.
    const char* source = access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
    errno = 0;
    m_monitor = m_udev ? udev_monitor_new_from_netlink(m_udev, source) : nullptr;
    // libudev's calls give their failure as a negative errno; its constructors leave it in errno.
    int failed = m_monitor ? 0 : -(errno ? errno : ENOSYS);
    if (!failed)
        failed = udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr);
    if (!failed)
        failed = udev_monitor_enable_receiving(m_monitor);
    if (failed < 0) {
        m_failure = "udev monitor: " + std::error_code(-failed, std::system_category()).message();
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        return;
    }
    // Armed first, then the units present now are noted.
    udev_enumerate* present = udev_enumerate_new(m_udev);
    udev_enumerate_add_match_subsystem(present, "hidraw");
    udev_enumerate_scan_devices(present);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(present))
    {
        udev_device* node = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry));
        const char* path = node ? udev_device_get_devnode(node) : nullptr;
        if (path && IsExtenderNode(node))
            m_nodes.insert(path);
        if (node)
            udev_device_unref(node);
    }
    udev_enumerate_unref(present);
}

UdevWatcher::~UdevWatcher()
{
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

WaitHandle UdevWatcher::Handle() const
{
    return m_monitor ? udev_monitor_get_fd(m_monitor) : kNoWaitHandle;
}

std::vector<UnitChange> UdevWatcher::TakeChanges()
{
    std::vector<UnitChange> changes;
    // The monitor's socket does not block: it returns nothing once the waiting events are taken.
    while (udev_device* node = m_monitor ? udev_monitor_receive_device(m_monitor) : nullptr) {
        const char* action = udev_device_get_action(node);
        const char* path = udev_device_get_devnode(node);
        // A unit already noted is told again: the enumeration may have listed it before udev's
        // rules gave the user its node, and "change" comes when they are applied again.
        const bool appeared =
            action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "change") == 0);
        if (path && appeared && IsExtenderNode(node)) {
            m_nodes.insert(path);
            changes.push_back({UnitChange::Kind::Added, path});
        } else if (path && action && std::strcmp(action, "remove") == 0 && m_nodes.erase(path)) {
            changes.push_back({UnitChange::Kind::Removed, path});
        }
        udev_device_unref(node);
    }
    return changes;
}
