#pragma once
#include <string>
#include <vector>

// Extenders plugged in and pulled out, told as they happen rather than found by polling. A program
// waits on the descriptor (poll, select, or a socket notifier in the windows) and, when it turns
// readable, takes the changes; nothing is enumerated and nothing is sent to a unit meanwhile.
struct UnitChange {
    enum class Kind { Added, Removed };
    Kind kind = Kind::Added;
    std::string path; // the node as the transport opens it: "/dev/hidraw3", "sim:extender"
};

class IUnitWatcher {
public:
    virtual ~IUnitWatcher() = default;
    // Readable while changes wait to be taken; -1 when no changes can be watched at all.
    virtual int Descriptor() const = 0;
    // The changes since the last call, oldest first; never blocks. Only extenders are told of.
    virtual std::vector<UnitChange> TakeChanges() = 0;
};
