#include "burnin/ClockReading.h"

#include <QDateTime>

ClockReading ReadLocalClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

QString FormatTimeStamp(const ClockReading& time)
{
    return QString::asprintf("%d/%d/%d %d:%d:%d", time.year, time.month, time.day, time.hour,
                             time.minute, time.second);
}
