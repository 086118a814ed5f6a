#pragma once
#include <functional>
#include <memory>

#include "history/Keeper.h"
#include "history/Row.h"

class CHidCmd;

// The history's row of one action on the unit open on a channel, for the core that acts: written
// when the action starts and completed when it ends, so that one that never ends (a crash, a
// killed program) stays "started". A history that cannot be kept is told once, by the keeper, and
// changes nothing else: the action goes on, unrecorded.
namespace history {

class Store;

class Recording {
public:
    Recording();
    // Writes the start row: what row says of the action, with the unit, this program and host
    // and the time. Nothing is recorded where no unit is open on the channel or no keeper is set.
    Recording(CHidCmd& channel, Row row);
    ~Recording();
    Recording(Recording&&) noexcept;
    Recording& operator=(Recording&&) noexcept;

    // Started and not yet ended.
    bool Running() const { return m_store != nullptr; }
    // Writes how it ended, once: outcome, and the cause for a stop or a failure.
    void End(const char* outcome, const QString& cause = {}, std::optional<qint64> blocks = {});

private:
    std::shared_ptr<Keeper::Shared> m_keeper;
    std::unique_ptr<Store> m_store; // while running
    Row m_row;
    QDateTime m_started;
};

// Runs an action of one step under its row: completed when action gives true, else failed with
// how the channel's last command failed. Gives what action gave.
bool Recorded(CHidCmd& channel, Row row, const std::function<bool()>& action);

} // namespace history
