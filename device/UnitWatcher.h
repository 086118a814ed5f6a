#pragma once
#include <string>
#include <vector>

#include "device/Waitable.h"

// Extenders plugged in and pulled out, told as they happen rather than found by polling. A program
// waits on the watcher's handle (AwaitReady, or the windows' event loop) and, when it turns ready,
// takes the changes; nothing is enumerated and nothing is sent to a unit meanwhile.
struct UnitChange {
    // Added is told again for a unit present whose node changed (the user given access to it):
    // one that could not be opened is worth trying again.
    enum class Kind { Added, Removed };
    Kind kind = Kind::Added;
    std::string path; // the node as the transport opens it: "/dev/hidraw3", "sim:extender"
};

class IUnitWatcher {
public:
    virtual ~IUnitWatcher() = default;
    // Ready while changes wait to be taken; kNoWaitHandle when no changes can be watched at all.
    virtual WaitHandle Handle() const = 0;
    // The changes since the last call, oldest first; never blocks. Only extenders are told of.
    virtual std::vector<UnitChange> TakeChanges() = 0;
};
