#pragma once
#include <QDateTime>
#include <QString>
#include <functional>

// One reading of the local clock, as the burn-in log and the report stamp it, with its offset from
// UTC so that programs can place it.
struct ClockReading {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int utcOffset = 0; // seconds ahead of UTC
};

// The clock is injectable so that tests and the soak run a day in milliseconds.
using BurnInClock = std::function<ClockReading()>;

ClockReading ReadLocalClock();
// What a clock showing time reads, in the zone or offset time is in.
ClockReading ClockReadingOf(const QDateTime& time);

// "year/month/day hour:minute:second" without leading zeros: 2014/3/7 13:5:7.
QString FormatTimeStamp(const ClockReading& time);
// ISO 8601 with the offset, as programs read it: 2014-03-07T13:05:07+01:00 ("Z" at offset 0).
QString IsoTimeStamp(const ClockReading& time);
