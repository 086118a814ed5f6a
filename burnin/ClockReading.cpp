#include "burnin/ClockReading.h"

ClockReading ReadLocalClock()
{
    return ClockReadingOf(QDateTime::currentDateTime());
}

ClockReading ClockReadingOf(const QDateTime& time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    return {.year = date.year(),
            .month = date.month(),
            .day = date.day(),
            .hour = clock.hour(),
            .minute = clock.minute(),
            .second = clock.second(),
            .utcOffset = time.offsetFromUtc()};
}

QString FormatTimeStamp(const ClockReading& time)
{
    return QString::asprintf("%d/%d/%d %d:%d:%d", time.year, time.month, time.day, time.hour,
                             time.minute, time.second);
}

QString IsoTimeStamp(const ClockReading& time)
{
    return QDateTime(QDate(time.year, time.month, time.day),
                     QTime(time.hour, time.minute, time.second), Qt::OffsetFromUTC, time.utcOffset)
        .toString(Qt::ISODate);
}
