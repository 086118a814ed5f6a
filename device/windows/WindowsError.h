#pragma once
#include <system_error>

// Windows errors (GetLastError) as std::error_code, with the system's own text in UTF-8 and the
// usual portable meanings, so that the layers above test a cause the same way on every platform
// (errc::permission_denied, errc::no_such_device) and show the user Windows' words for it. MinGW's
// system_category gives the text in the ANSI code page and leaves a pulled-out device
// (ERROR_DEVICE_NOT_CONNECTED) without a portable meaning.
const std::error_category& WindowsCategory();

// The calling thread's last error.
std::error_code LastWindowsError();
std::error_code WindowsError(unsigned long code);
