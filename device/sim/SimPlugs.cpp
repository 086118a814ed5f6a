#include "device/sim/SimPlugs.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

SimPlugs::SimPlugs() : m_event(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SimPlugs::~SimPlugs()
{
    if (m_event >= 0)
        close(m_event);
}

void SimPlugs::Tell(UnitChange change)
{
    std::lock_guard lock(m_mutex);
    m_changes.push_back(std::move(change));
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_event, &one, sizeof one);
}

std::vector<UnitChange> SimPlugs::TakeChanges()
{
    std::lock_guard lock(m_mutex);
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_event, &count, sizeof count);
    return std::exchange(m_changes, {});
}
