#include "device/linux/HidapiBackend.h"

#include <fcntl.h>
#include <hidapi.h>
#include <linux/hidraw.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "device/DeviceIds.h"
#include "device/linux/LockHolder.h"

namespace {

std::error_code SystemError(int error)
{
    return {error, std::system_category()};
}

// hidapi gives the unit's strings as wide characters (UTF-32 here).
std::string Utf8(const wchar_t* text)
{
    std::string utf8;
    for (; text && *text; ++text) {
        const auto c = static_cast<uint32_t>(std::char_traits<wchar_t>::to_int_type(*text));
        const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        constexpr uint8_t kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
        utf8 += static_cast<char>(kLead[tail] | c >> (6 * tail));
        for (int i = tail - 1; i >= 0; --i)
            utf8 += static_cast<char>(0x80 | (c >> (6 * i) & 0x3F));
    }
    return utf8;
}

// The claimed descriptor's device is present and is an extender: the node may have gone to another
// device between the enumeration and the claim. A descriptor keeps its node's number taken until
// it is closed, so no device plugged in later can be given that node; the one it was opened on,
// once pulled out, no longer answers hidraw's query.
std::error_code ClaimedUnitCheck(int fd)
{
    hidraw_devinfo info{};
    if (ioctl(fd, HIDIOCGRAWINFO, &info) != 0)
        return SystemError(errno);
    return IsExtender(uint16_t(info.vendor), uint16_t(info.product)) ? std::error_code()
                                                                     : SystemError(ENODEV);
}

// The handle's node, as hidapi finds it from the handle's own descriptor, is the claimed one.
std::error_code SameNodeCheck(hid_device* device, int claimFd)
{
    const hid_device_info* info = hid_get_device_info(device);
    struct stat handleNode {
    }, claimNode{};
    if (!info || !info->path || stat(info->path, &handleNode) != 0
        || fstat(claimFd, &claimNode) != 0 || handleNode.st_rdev != claimNode.st_rdev)
        return SystemError(ENODEV);
    return ClaimedUnitCheck(claimFd);
}

} // namespace

HidapiBackend::HidapiBackend()
{
    hid_init();
}

HidapiBackend::~HidapiBackend()
{
    for (auto& [handle, device] : m_devices)
        hid_close(device);
    for (auto& [handle, lock] : m_locks)
        close(lock.fd);
    hid_exit();
}

std::string HidapiBackend::Name() const
{
    return std::string("hidapi ") + hid_version_str() + " over hidraw";
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
        m_attributes[info->path] = {info->vendor_id, info->product_id, Utf8(info->serial_number),
                                    Utf8(info->manufacturer_string), Utf8(info->product_string)};
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

HidClaim HidapiBackend::Claim(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {.error = SystemError(errno)};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK)
            return {.error = HidClaim::HeldByAnother(), .holder = LockHolder(path)};
        return {.error = SystemError(error)};
    }
    std::lock_guard lock(m_mutex);
    const HidHandle handle = m_nextHandle++;
    m_locks[handle] = {fd, path};
    return {.handle = handle};
}

HidOpened HidapiBackend::Open(const std::string& path, HidAccess /*access*/)
{
    // hidraw nodes open read-write; the read and the write handle are two opens of the same node.
    errno = 0;
    hid_device* device = hid_open_path(path.c_str());
    if (!device) {
        // hidapi opens the node itself and leaves open's errno; where it failed otherwise, say so.
        return {.error = SystemError(errno ? errno : EIO)};
    }
    std::lock_guard lock(m_mutex);
    // Checked after opening: the unit claimed is still there, and the handle is on its node.
    for (const auto& [claim, held] : m_locks) {
        if (held.path != path)
            continue;
        if (const std::error_code wrong = SameNodeCheck(device, held.fd)) {
            hid_close(device);
            return {.error = wrong};
        }
    }
    const HidHandle handle = m_nextHandle++;
    m_devices[handle] = device;
    return {.handle = handle};
}

hid_device_* HidapiBackend::Find(HidHandle handle)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_devices.find(handle);
    return found == m_devices.end() ? nullptr : found->second;
}

HidTransfer HidapiBackend::Write(HidHandle handle, const uint8_t* report, size_t length,
                                 int /*timeoutMs*/)
{
    // Blocks until the kernel has sent the report: up to the USB HID driver's five seconds.
    hid_device* device = Find(handle);
    if (!device)
        return {-1, SystemError(EBADF)};
    errno = 0;
    const int moved = hid_write(device, report, length);
    if (moved < 0)
        return {-1, SystemError(errno ? errno : EIO)};
    return {moved};
}

HidTransfer HidapiBackend::Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs)
{
    hid_device* device = Find(handle);
    if (!device || capacity < 2)
        return {-1, SystemError(EBADF)};
    // The extender's reports carry no report ID, so hidapi delivers them without byte 0: put the
    // report ID 0 back so that every layer above sees the 65-byte report.
    errno = 0;
    const int moved = hid_read_timeout(device, report + 1, capacity - 1, timeoutMs);
    // hidapi tells a node that hung up (the unit pulled out) only in its own error text, without
    // an errno: the system's word for it is "No such device".
    if (moved < 0)
        return {-1, SystemError(errno ? errno : ENODEV)};
    if (moved == 0)
        return {0};
    report[0] = 0x00;
    return {moved + 1};
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
        if (const auto claim = m_locks.find(handle); claim != m_locks.end()) {
            close(claim->second.fd); // lets go of the unit
            m_locks.erase(claim);
            return;
        }
        const auto found = m_devices.find(handle);
        if (found == m_devices.end())
            return;
        device = found->second;
        m_devices.erase(found);
    }
    hid_close(device);
}
