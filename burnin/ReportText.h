#pragma once
#include <QByteArray>
#include <QString>

#include "burnin/BurnInLog.h"
#include "burnin/ClockReading.h"

// Why a report was not written; ok when it was.
struct FileWrite {
    bool ok = true;
    QString error;
};

// The burn-in report: the user's description under a prepared header, then the log.
namespace report {

// Sixty asterisks, the time, "Series:QX710", "Description:" and the asterisks again, each line
// ending in CR LF.
QString Header(const ClockReading& opened);

// Logs written through a newline-translating stream carry CR CR LF; the report has CR LF.
QByteArray RepairLineEnds(QByteArray log);

// The log as it goes into a report, read without asking to write it, in whole lines. A missing
// log, or one that cannot be read, gives an empty log part.
QByteArray ReadLog(const QString& path = burnin::kLogFileName);

// The description with CR LF line breaks, CR LF, the log, one tab.
QByteArray Body(const QString& description, const QByteArray& log);

// ".txt" is always appended, whatever was typed or chosen.
QString FileName(const QString& chosen);

// Writes the whole file or nothing: an existing file is only replaced once the new one is
// complete.
FileWrite Write(const QString& path, const QByteArray& body);

} // namespace report
