#include "device/SystemError.h"

#include <cerrno>

std::error_code LastSystemError()
{
    return {errno, std::system_category()};
}

// The C library's file calls leave the kernel's errno as it is.
std::error_code LastFileError()
{
    return LastSystemError();
}

void ClearFileError()
{
    errno = 0;
}
