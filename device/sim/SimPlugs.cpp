#include "device/sim/SimPlugs.h"

#include <utility>

void SimPlugs::Tell(UnitChange change)
{
    std::lock_guard lock(m_mutex);
    m_changes.push_back(std::move(change));
    m_waiting.Raise();
}

std::vector<UnitChange> SimPlugs::TakeChanges()
{
    std::lock_guard lock(m_mutex);
    m_waiting.Clear();
    return std::exchange(m_changes, {});
}
