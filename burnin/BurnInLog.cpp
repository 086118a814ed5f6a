#include "burnin/BurnInLog.h"

#include <QDir>
#include <QFileInfo>

#include "burnin/LogWriter.h"

namespace burnin {

QByteArray FormatLogEntry(const ClockReading& time, const char* message)
{
    return FormatTimeStamp(time).toLatin1() + '\t' + message;
}

QString LogFailureNotice(const LogError& error)
{
    return QString("%1 cannot be written (%2); failures are kept and logged when it can.")
        .arg(error.file, QString::fromStdString(error.cause.message()));
}

} // namespace burnin

namespace {

// "torvanreader-cli (process 1234)", as the hold records its program.
QString Holder(const QLockFile& hold)
{
    qint64 pid = 0;
    QString host, program;
    if (!hold.getLockInfo(&pid, &host, &program))
        return "another program";
    const QString process = QString("process %1").arg(pid);
    return program.isEmpty() ? process : QString("%1 (%2)").arg(program, process);
}

} // namespace

BurnInLogFile::BurnInLogFile(QString path) : m_path(std::move(path)), m_hold(m_path + ".lock")
{
    // A run lasts up to a year: only a holder that has ended leaves a stale hold, also on a file
    // system where the hold's file cannot be locked itself and its age would count.
    m_hold.setStaleLockTime(0);
}

std::optional<LogRefusal> BurnInLogFile::Hold()
{
    if (m_hold.isLocked() || m_hold.tryLock())
        return std::nullopt;
    if (m_hold.error() == QLockFile::LockFailedError)
        return LogRefusal{QString("%1 is in use by %2").arg(m_path, Holder(m_hold)), true};
    // The lock file tells no cause; making the file as it would tells the system's.
    const QString hold = QDir::toNativeSeparators(QFileInfo(m_path + ".lock").absoluteFilePath());
    const std::error_code cause = burnin::CreationCause(hold);
    return LogRefusal{QString("%1 cannot be kept for this run: %2 cannot be made (%3)")
                          .arg(m_path, hold,
                               cause ? QString::fromStdString(cause.message())
                                     : QString("its lock could not be taken"))};
}

void BurnInLogFile::Release()
{
    m_hold.unlock();
}

std::optional<LogError> BurnInLogFile::Empty()
{
    std::lock_guard lock(m_mutex);
    if (const std::error_code error = burnin::EmptyFile(m_path))
        return LogError{m_path, error};
    return std::nullopt;
}

std::optional<LogError> BurnInLogFile::Append(const QByteArray& entry)
{
    std::lock_guard lock(m_mutex);
    if (const std::error_code error = burnin::AppendWhole(m_path, entry))
        return LogError{m_path, error};
    return std::nullopt;
}
