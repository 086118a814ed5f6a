#pragma once
#include <mutex>

#include "device/UnitWatcher.h"

// The watcher of simulated units: a unit plugged in or pulled out (SimExtender::Replug and Unplug)
// tells it, and its handle turns ready until the changes are taken, so the windows follow
// simulated units through the same code as real ones.
class SimPlugs : public IUnitWatcher {
public:
    void Tell(UnitChange change);

    WaitHandle Handle() const override { return m_waiting.Handle(); }
    std::vector<UnitChange> TakeChanges() override;

private:
    WakeSignal m_waiting;
    std::mutex m_mutex;
    std::vector<UnitChange> m_changes;
};
