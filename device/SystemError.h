#pragma once
#include <system_error>

// A failure's cause as the system gives it, in its own words: errno on Linux, GetLastError() on
// Windows. A caller tests it portably (errc::no_such_file_or_directory) and shows the user the
// text the system has for it. One implementation per platform.

// The calling thread's last error from a call of the system's own (open, CreateFileW).
std::error_code LastSystemError();

// The system's cause of the C library's last failed file call (fopen, fread, fseek): on Windows
// that library keeps it beside an errno of its own making, whose text is not Windows'. Empty where
// the call failed without one, if ClearFileError() came before the call.
std::error_code LastFileError();
void ClearFileError();
