#include "device/windows/HidInterfaces.h"

// windows.h first: the others build on its types. MinGW's hidsdi.h declares C functions without
// saying so to C++.
// clang-format off
#include <windows.h>
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <cwctype>
#include <memory>

#include "device/DeviceIds.h"
#include "device/windows/WideText.h"
#include "device/windows/WindowsError.h"

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

// A string the unit gives (HidD_Get*String): at most 126 characters, as USB string descriptors.
using StringQuery = BOOLEAN(__stdcall*)(HANDLE, PVOID, ULONG);
std::string UnitString(HANDLE device, StringQuery query)
{
    wchar_t text[127] = {};
    if (!query(device, text, sizeof text - sizeof text[0]))
        return {};
    return Utf8(std::wstring(text));
}

} // namespace

std::string NormalPath(const wchar_t* path)
{
    std::wstring lower(path);
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(c));
    return Utf8(lower);
}

std::vector<std::string> HidInterfacePaths()
{
    GUID hidClass;
    HidD_GetHidGuid(&hidClass);
    const HDEVINFO set =
        SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    std::vector<std::string> paths;
    if (set == INVALID_HANDLE_VALUE)
        return paths;
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, index, &entry);
         ++index) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &entry, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        // The detail's path runs past the end of the declared structure: a buffer of its size.
        auto buffer = std::make_unique<DWORD[]>(size / sizeof(DWORD) + 1);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.get());
        detail->cbSize = sizeof *detail;
        if (SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, size, nullptr, nullptr))
            paths.push_back(NormalPath(detail->DevicePath));
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

std::error_code QueryAttributes(const std::string& path, HidAttributes& out)
{
    // No access rights: a query handle opens even a device that another program holds.
    HANDLE opened = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return LastWindowsError();
    const FileHandle device(opened);
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!HidD_GetAttributes(device.get(), &attributes))
        return LastWindowsError();
    out = {attributes.VendorID, attributes.ProductID};
    // Only an extender is asked for its strings: other devices need not answer them quickly.
    if (IsExtender(out.vendorId, out.productId)) {
        out.serial = UnitString(device.get(), HidD_GetSerialNumberString);
        out.manufacturer = UnitString(device.get(), HidD_GetManufacturerString);
        out.product = UnitString(device.get(), HidD_GetProductString);
    }
    return {};
}

std::string DeviceInstanceId(const std::string& path)
{
    std::string id = NormalPath(Wide(path).c_str());
    if (id.starts_with("\\\\?\\"))
        id.erase(0, 4);
    // The interface class's GUID that ends the path names no device.
    if (const size_t guid = id.rfind("#{"); guid != std::string::npos && id.ends_with('}'))
        id.erase(guid);
    std::ranges::replace(id, '#', '\\');
    return id;
}

std::error_code HidClass::Describe(void* device, HidDescription& out) const
{
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetAttributes(device, &attributes) || !HidD_GetPreparsedData(device, &preparsed))
        return LastWindowsError();
    HIDP_CAPS caps{};
    const NTSTATUS status = HidP_GetCaps(preparsed, &caps);
    HidD_FreePreparsedData(preparsed);
    if (status != HIDP_STATUS_SUCCESS)
        return WindowsError(ERROR_INVALID_DATA);
    out = {attributes.VendorID, attributes.ProductID, caps.InputReportByteLength,
           caps.OutputReportByteLength};
    return {};
}

const HidClass& SystemHidClass()
{
    static const HidClass system;
    return system;
}
