#include "device/SystemDevices.h"

#include "device/windows/DeviceWatcher.h"
#include "device/windows/WinHidBackend.h"

std::unique_ptr<IHidBackend> MakeSystemBackend()
{
    // Its overlapped writes wait at most the write wait by themselves.
    return std::make_unique<WinHidBackend>();
}

std::unique_ptr<IUnitWatcher> MakeSystemWatcher(std::string& failure)
{
    auto watcher = std::make_unique<DeviceWatcher>();
    failure = watcher->Failure();
    return watcher;
}

std::string NoAccessAdvice()
{
    // A HID device refuses a second opening only to a program that asked for it alone.
    return "another program may have opened the unit for itself: close it, or plug the unit in "
           "again";
}
