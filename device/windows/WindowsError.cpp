#include "device/windows/WindowsError.h"

#include <windows.h>

#include <string>

#include "device/windows/WideText.h"

namespace {

// What a portable caller asks of the errors the HID back end, the unit lock and the watcher meet.
std::errc Portable(DWORD code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return std::errc::permission_denied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return std::errc::no_such_file_or_directory;
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
    case ERROR_GEN_FAILURE: return std::errc::no_such_device;
    case ERROR_INVALID_HANDLE: return std::errc::bad_file_descriptor;
    case ERROR_OPERATION_ABORTED: return std::errc::operation_canceled;
    case ERROR_SEM_TIMEOUT:
    case WAIT_TIMEOUT: return std::errc::timed_out;
    case ERROR_BUSY:
    case ERROR_DEVICE_IN_USE: return std::errc::device_or_resource_busy;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return std::errc::not_enough_memory;
    case ERROR_INVALID_PARAMETER: return std::errc::invalid_argument;
    case ERROR_IO_DEVICE: return std::errc::io_error;
    default: return {};
    }
}

class Category : public std::error_category {
public:
    const char* name() const noexcept override { return "windows"; }

    std::string message(int code) const override
    {
        wchar_t* text = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::string message = length ? Utf8(text, length) : std::string();
        LocalFree(text);
        // The system ends its texts with a line break.
        while (!message.empty()
               && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
            message.pop_back();
        return message.empty() ? "Windows error " + std::to_string(code) : message;
    }

    std::error_condition default_error_condition(int code) const noexcept override
    {
        const std::errc portable = Portable(static_cast<DWORD>(code));
        return portable == std::errc{} ? std::error_condition(code, *this)
                                       : std::make_error_condition(portable);
    }
};

} // namespace

const std::error_category& WindowsCategory()
{
    static const Category category;
    return category;
}

std::error_code LastWindowsError()
{
    return WindowsError(GetLastError());
}

std::error_code WindowsError(unsigned long code)
{
    return {static_cast<int>(code), WindowsCategory()};
}
