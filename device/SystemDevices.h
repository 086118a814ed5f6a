#pragma once
#include <memory>
#include <string>

#include "device/HidBackend.h"
#include "device/UnitWatcher.h"

// The extenders on this PC as the programs reach them, through the platform's own HID stack.

// The platform's HID back end, its writes bounded by the write wait.
std::unique_ptr<IHidBackend> MakeSystemBackend();

// The watcher of extenders plugged in and pulled out. Make it before the first enumeration, so that
// no unit plugged in between is missed. One that cannot watch has no handle, and failure says why.
std::unique_ptr<IUnitWatcher> MakeSystemWatcher(std::string& failure);

// What the user can do when the system refuses this program the unit (a missing permission), in
// the platform's own terms.
std::string NoAccessAdvice();
