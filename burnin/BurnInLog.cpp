#include "burnin/BurnInLog.h"

#include <QFile>

namespace burnin {

QByteArray FormatLogEntry(const ClockReading& time, const char* message)
{
    return FormatTimeStamp(time).toLatin1() + '\t' + message;
}

QString LogFailureNotice(const QString& path, const QString& reason)
{
    return QString("%1 cannot be written (%2); failures are kept and logged when it can.")
        .arg(path, reason);
}

} // namespace burnin

namespace {

FileWrite Failed(const QFile& file)
{
    return {false, file.errorString()};
}

} // namespace

BurnInLogFile::BurnInLogFile(QString path) : m_path(std::move(path)) {}

FileWrite BurnInLogFile::Empty()
{
    std::lock_guard lock(m_mutex);
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Failed(file);
    return {};
}

FileWrite BurnInLogFile::Append(const QByteArray& entry)
{
    std::lock_guard lock(m_mutex);
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return Failed(file);
    // An entry goes in whole or not at all: what a failed write left of it is cut off again, so
    // that the next cycle's try does not follow a torn line.
    const qint64 before = file.size();
    if (file.write(entry) == entry.size())
        return {};
    FileWrite failed = Failed(file);
    file.resize(before);
    return failed;
}
