#include "burnin/BurnInLog.h"

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

BurnInLogFile::BurnInLogFile(QString path) : m_path(std::move(path)) {}

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
