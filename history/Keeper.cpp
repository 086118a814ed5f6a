#include "history/Keeper.h"

#include <QFileInfo>
#include <QStandardPaths>

#include "history/Store.h"

namespace history {
namespace {

std::mutex& KeepersLock()
{
    static std::mutex lock;
    return lock;
}

// The keepers set, the last one in force.
std::vector<std::shared_ptr<Keeper::Shared>>& Keepers()
{
    static std::vector<std::shared_ptr<Keeper::Shared>> keepers;
    return keepers;
}

} // namespace

QString UserFile(bool demo)
{
    // The folder's name follows the platform's custom (the build gives it).
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + "/" TORVAN_DATA_FOLDER "/" + (demo ? "demo-history.sqlite" : "history.sqlite");
}

Keeper::Keeper(QString file, Tell tell, Clock clock)
    : m_shared(std::make_shared<Shared>(std::move(file), std::move(tell), std::move(clock)))
{
    const std::lock_guard lock(KeepersLock());
    Keepers().push_back(m_shared);
}

Keeper::~Keeper()
{
    const std::lock_guard lock(KeepersLock());
    std::erase(Keepers(), m_shared);
}

std::shared_ptr<Keeper::Shared> Keeper::Current()
{
    const std::lock_guard lock(KeepersLock());
    return Keepers().empty() ? nullptr : Keepers().back();
}

Keeper::Shared::Shared(QString file, Tell tell, Clock clock)
    : m_file(std::move(file)), m_tell(std::move(tell)), m_clock(std::move(clock))
{
}

Keeper::Shared::~Shared() = default;

std::unique_ptr<Store> Keeper::Shared::Take()
{
    std::unique_lock lock(m_keeping);
    if (!QFileInfo::exists(m_file))
        m_idle.clear(); // removed meanwhile: those kept would write where nobody reads
    if (!m_idle.empty()) {
        std::unique_ptr<Store> store = std::move(m_idle.back());
        m_idle.pop_back();
        return store;
    }
    const int generation = m_generation;
    lock.unlock(); // opening may wait for another program's write
    return std::make_unique<Store>(m_file, generation);
}

void Keeper::Shared::GiveBack(std::unique_ptr<Store> store)
{
    const std::lock_guard lock(m_keeping);
    if (store->Failure().isEmpty() && store->Generation() == m_generation)
        m_idle.push_back(std::move(store));
}

void Keeper::Shared::Forget()
{
    const std::lock_guard lock(m_keeping);
    ++m_generation;
    m_idle.clear();
}

void Keeper::Shared::Failed(const QString& why)
{
    const std::lock_guard lock(m_telling);
    if (!std::exchange(m_failed, true) && m_tell)
        m_tell(why);
}

void Keeper::Shared::Say(const QString& message)
{
    const std::lock_guard lock(m_telling);
    if (m_tell)
        m_tell(message);
}

} // namespace history
