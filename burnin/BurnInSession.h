#pragma once
#include <QString>
#include <array>
#include <chrono>
#include <optional>

#include "burnin/BurnInLog.h"
#include "burnin/ClockReading.h"
#include "burnin/SampleRecorder.h"

class IRegisterReader;

namespace burnin {

// The sampling periods, as the page's period box lists them: 1 second, 10 second, 1 minute,
// 10 minute.
inline constexpr std::array<std::chrono::milliseconds, 4> kSamplePeriods{
    std::chrono::seconds(1), std::chrono::seconds(10), std::chrono::minutes(1),
    std::chrono::minutes(10)};
// The clock-and-log cycle (and the chart refresh): once a second, whatever the sampling period.
inline constexpr std::chrono::milliseconds kCyclePeriod{1000};

// The traces by name, in the order of the histories and counters.
inline constexpr std::array<const char*, kTraceCount> kTraceNames{"Link", "Video Signal", "5V",
                                                                  "HPD"};
// "Link good", "5V bad": one trace's sample in words.
QString TraceStateText(int trace, bool good);

} // namespace burnin

// What the clock-and-log cycle did: the clock reading to show, and the reason an entry could not
// be written (its counter is then kept, so the entry is tried again next cycle).
struct CycleReport {
    ClockReading time;
    std::optional<QString> writeError;
    int written = 0; // entries
};

// The burn-in run without its window: samples on the UI thread, the clock-and-log cycle from
// wherever it runs, and the chart's copy of the histories.
class BurnInSession {
public:
    explicit BurnInSession(BurnInClock clock, QString logPath = burnin::kLogFileName);

    // Start: counters and histories begin again and the log is emptied.
    FileWrite Begin();

    // One sample, recorded; nothing, with nothing recorded, when the device no longer answers.
    std::optional<SampleResult> Sample(IRegisterReader& host);

    // The entry that closes a run whose device went away.
    FileWrite LogDisconnect();

    // Reads the clock and logs every counter above 5, in the order HPD, link, video, 5 V, all
    // with that reading's time stamp.
    CycleReport ClockLogCycle();

    ChartData Chart() const { return m_recorder.Chart(); }
    const SampleRecorder& Recorder() const { return m_recorder; }
    ClockReading Now() const { return m_clock(); }
    // Only while no run is in progress.
    void SetClock(BurnInClock clock) { m_clock = std::move(clock); }

private:
    BurnInClock m_clock;
    BurnInLogFile m_log;
    SampleRecorder m_recorder;
};
