#include "device/windows/DeviceWaits.h"

#include <windows.h>

#include <mutex>

namespace {

std::mutex causeMutex;
std::error_code endCause;

} // namespace

void* DeviceWaitsEnded()
{
    // Made once and kept for the life of the program; a manual-reset event stays signalled.
    static const HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return ended;
}

void EndDeviceWaits(std::error_code cause)
{
    {
        std::lock_guard lock(causeMutex);
        endCause = cause;
    }
    SetEvent(DeviceWaitsEnded());
}

std::error_code DeviceWaitsEndCause()
{
    std::lock_guard lock(causeMutex);
    return endCause;
}
