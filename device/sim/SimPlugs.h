#pragma once
#include <mutex>

#include "device/UnitWatcher.h"

// The watcher of simulated units: a unit plugged in or pulled out (SimExtender::Replug and Unplug)
// tells it, and its descriptor (an eventfd) turns readable until the changes are taken, so the
// windows follow simulated units through the same code as real ones.
class SimPlugs : public IUnitWatcher {
public:
    SimPlugs();
    ~SimPlugs() override;
    SimPlugs(const SimPlugs&) = delete;
    SimPlugs& operator=(const SimPlugs&) = delete;

    void Tell(UnitChange change);

    int Descriptor() const override { return m_event; }
    std::vector<UnitChange> TakeChanges() override;

private:
    const int m_event;
    std::mutex m_mutex;
    std::vector<UnitChange> m_changes;
};
