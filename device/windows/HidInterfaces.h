#pragma once
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
