#include "history/Recording.h"

#include <QCoreApplication>
#include <QSysInfo>

#include "device/DeviceIds.h"
#include "device/HidCmd.h"
#include "history/Store.h"

namespace history {
namespace {

QString CannotKeep(const QString& failure)
{
    return "the update history cannot be kept in " + failure + ": the work goes on unrecorded";
}

} // namespace

Recording::Recording() = default;
Recording::~Recording() = default;
Recording::Recording(Recording&&) noexcept = default;
Recording& Recording::operator=(Recording&&) noexcept = default;

Recording::Recording(CHidCmd& channel, Row row) : m_keeper(Keeper::Current()), m_row(std::move(row))
{
    const CHidIO::Unit* unit = channel.Transport().Opened();
    if (!m_keeper || !unit)
        return;
    m_started = m_keeper->Now();
    m_row.time = m_started.toUTC().toString(Qt::ISODateWithMs);
    m_row.program = QCoreApplication::applicationName();
    m_row.version = kTorvanVersion;
    m_row.host = QSysInfo::machineHostName();
    m_row.serial = QString::fromStdString(unit->attributes.serial);
    m_row.path = QString::fromStdString(unit->path);
    m_store = m_keeper->Take();
    const std::optional<qint64> id = m_store->Add(m_row);
    if (const QString aside = m_store->TakeMovedAside(); !aside.isEmpty()) {
        m_keeper->Forget();
        m_keeper->Say("the update history was damaged: it was kept as " + aside
                      + ", and a new one was started");
    }
    if (id) {
        m_row.id = *id;
        return;
    }
    m_keeper->Failed(CannotKeep(m_store->Failure()));
    m_store.reset();
}

void Recording::End(const char* outcome, const QString& cause, std::optional<qint64> blocks)
{
    if (!m_store)
        return;
    m_row.outcome = outcome;
    m_row.cause = cause;
    m_row.blocks = blocks;
    m_row.durationMs = m_started.msecsTo(m_keeper->Now());
    if (!m_store->End(m_row))
        m_keeper->Failed(CannotKeep(m_store->Failure()));
    m_keeper->GiveBack(std::move(m_store));
}

bool Recorded(CHidCmd& channel, Row row, const std::function<bool()>& action)
{
    Recording recording(channel, std::move(row));
    const bool done = action();
    recording.End(done ? kCompleted : kFailed,
                  done ? QString() : QString::fromStdString(channel.HowLastFailed()));
    return done;
}

} // namespace history
