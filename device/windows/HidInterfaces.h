#pragma once
#include <cstddef>
#include <string>
#include <system_error>
#include <vector>

#include "device/HidBackend.h"

// The HID class as Windows' device setup lists it. Paths are kept in lower case: Windows compares
// them without case, and gives them in lower case from the device-setup walk but in capitals in
// its device notifications, so the lower-case form is the one the watcher and the back end agree
// on.

// The device paths of the HID interfaces present now, in enumeration order
// ("\\?\hid#vid_051a&...").
std::vector<std::string> HidInterfacePaths();

// Opens path for queries only, reads its vendor and product ID (HidD_GetAttributes) and, for an
// extender, its serial number, manufacturer and product strings.
std::error_code QueryAttributes(const std::string& path, HidAttributes& out);

// A device path as the back end and the watcher keep it.
std::string NormalPath(const wchar_t* path);

// The device instance ID that an interface's path names, in lower case: for
// "\\?\hid#vid_051a&pid_511b#7&1a2b3c&0&0000#{4d1e55b2-…}" it is
// "hid\vid_051a&pid_511b\7&1a2b3c&0&0000".
// Windows knows the device itself by it, whatever the unit reports of itself. A path of another
// form is its own ID.
std::string DeviceInstanceId(const std::string& path);

// What an open handle's device is: its IDs, and the length of its reports with the report ID byte
// (HidP_GetCaps), which Windows requires of every read and write.
struct HidDescription {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    size_t inputLength = 0;
    size_t outputLength = 0;
};

// What the back end and the watcher ask of the HID class; tests answer in its place, with files
// and pipes for devices.
class HidClass {
public:
    virtual ~HidClass() = default;
    virtual std::vector<std::string> Paths() const { return HidInterfacePaths(); }
    virtual std::error_code Attributes(const std::string& path, HidAttributes& out) const
    {
        return QueryAttributes(path, out);
    }
    virtual std::error_code Describe(void* device, HidDescription& out) const;
};

// The system's HID class.
const HidClass& SystemHidClass();
