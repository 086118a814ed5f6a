#include "device/SystemError.h"

#include <cerrno>
#include <cstdlib>

#include "device/windows/WindowsError.h"

std::error_code LastSystemError()
{
    return LastWindowsError();
}

// _doserrno is the Windows error the C library met; its errno is only a rough translation of it.
std::error_code LastFileError()
{
    if (_doserrno)
        return WindowsError(_doserrno);
    return {errno, std::generic_category()};
}

void ClearFileError()
{
    errno = 0;
    _doserrno = 0;
}
