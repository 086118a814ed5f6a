#pragma once
#include <QString>
#include <functional>

// One reading of the local clock, as the burn-in log and the report stamp it.
struct ClockReading {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The clock is injectable so that tests and the soak run a day in milliseconds.
using BurnInClock = std::function<ClockReading()>;

ClockReading ReadLocalClock();

// "year/month/day hour:minute:second" without leading zeros: 2014/3/7 13:5:7.
QString FormatTimeStamp(const ClockReading& time);
