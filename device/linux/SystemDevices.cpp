#include "device/SystemDevices.h"

#include "device/BoundedWriteBackend.h"
#include "device/linux/HidapiBackend.h"
#include "device/linux/UdevWatcher.h"

std::unique_ptr<IHidBackend> MakeSystemBackend()
{
    return std::make_unique<BoundedWriteBackend>(std::make_shared<HidapiBackend>());
}

std::unique_ptr<IUnitWatcher> MakeSystemWatcher(std::string& failure)
{
    auto watcher = std::make_unique<UdevWatcher>();
    failure = watcher->Failure();
    return watcher;
}

std::string NoAccessAdvice()
{
    return "the package's udev rule gives the logged-in user access; plug the unit in again, or "
           "log in at the PC";
}
