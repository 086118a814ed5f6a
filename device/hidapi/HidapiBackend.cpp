#include "device/hidapi/HidapiBackend.h"

#include <hidapi.h>

#include "device/DeviceIds.h"

HidapiBackend::HidapiBackend()
{
    hid_init();
}

HidapiBackend::~HidapiBackend()
{
    for (auto& [handle, device] : m_devices)
        hid_close(device);
    hid_exit();
}

std::vector<std::string> HidapiBackend::EnumeratePaths()
{
    std::lock_guard lock(m_mutex);
    m_attributes.clear();
    std::vector<std::string> paths;
    hid_device_info* list = hid_enumerate(kTorvanVendorId, kTorvanProductId);
    for (const hid_device_info* info = list; info; info = info->next) {
        if (!info->path)
            continue;
        paths.emplace_back(info->path);
        m_attributes[info->path] = {info->vendor_id, info->product_id};
    }
    hid_free_enumeration(list);
    return paths;
}

bool HidapiBackend::ReadAttributes(const std::string& path, HidAttributes& out)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_attributes.find(path);
    if (found == m_attributes.end())
        return false;
    out = found->second;
    return true;
}

HidHandle HidapiBackend::Open(const std::string& path, HidAccess /*access*/)
{
    // hidraw nodes open read-write; the read and the write handle are two opens of the same node.
    hid_device* device = hid_open_path(path.c_str());
    if (!device)
        return kInvalidHidHandle;
    std::lock_guard lock(m_mutex);
    const HidHandle handle = m_nextHandle++;
    m_devices[handle] = device;
    return handle;
}

hid_device_* HidapiBackend::Find(HidHandle handle)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_devices.find(handle);
    return found == m_devices.end() ? nullptr : found->second;
}

int HidapiBackend::Write(HidHandle handle, const uint8_t* report, size_t length, int /*timeoutMs*/)
{
    // Blocks until the kernel has sent the report: up to the USB HID driver's five seconds.
    hid_device* device = Find(handle);
    if (!device)
        return -1;
    return hid_write(device, report, length);
}

int HidapiBackend::Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs)
{
    hid_device* device = Find(handle);
    if (!device || capacity < 2)
        return -1;
    // The extender's reports carry no report ID, so hidapi delivers them without byte 0: put the
    // report ID 0 back so that every layer above sees the 65-byte report.
    const int moved = hid_read_timeout(device, report + 1, capacity - 1, timeoutMs);
    if (moved <= 0)
        return moved;
    report[0] = 0x00;
    return moved + 1;
}

void HidapiBackend::Cancel(HidHandle /*handle*/)
{
    // hidapi's calls are synchronous and bounded: nothing is left under way to cancel.
}

void HidapiBackend::Close(HidHandle handle)
{
    hid_device* device = nullptr;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_devices.find(handle);
        if (found == m_devices.end())
            return;
        device = found->second;
        m_devices.erase(found);
    }
    hid_close(device);
}
