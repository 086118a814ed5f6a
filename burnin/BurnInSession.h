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

// A sampling period: its length, the page's item for it and the word --period takes for it.
struct SamplePeriod {
    std::chrono::milliseconds length;
    const char* item;
    const char* word;
};
// In the order of the page's period box.
inline constexpr std::array<SamplePeriod, 4> kSamplePeriods{{
    {std::chrono::seconds(1), "1 second", "1s"},
    {std::chrono::seconds(10), "10 second", "10s"},
    {std::chrono::minutes(1), "1 minute", "1m"},
    {std::chrono::minutes(10), "10 minute", "10m"},
}};
using PeriodLengths = std::array<std::chrono::milliseconds, kSamplePeriods.size()>;
constexpr PeriodLengths SamplePeriodLengths()
{
    PeriodLengths lengths{};
    for (size_t i = 0; i < lengths.size(); ++i)
        lengths[i] = kSamplePeriods[i].length;
    return lengths;
}
// The words --period takes: "1s|10s|1m|10m" with "|" between, "1s, 10s, 1m or 10m" with ", " and
// " or " before the last.
QString PeriodWords(const QString& between, const QString& beforeLast);
// The clock-and-log cycle (and the chart refresh): once a second, whatever the sampling period.
inline constexpr std::chrono::milliseconds kCyclePeriod{1000};

// The traces by name, in the order of the histories and counters.
inline constexpr std::array<const char*, kTraceCount> kTraceNames{"Link", "Video Signal", "5V",
                                                                  "HPD"};
// "Link good", "5V bad": one trace's sample in words.
QString TraceStateText(int trace, bool good);

} // namespace burnin

// What the clock-and-log cycle did: the clock reading to show, and why an entry could not be
// written (its counter is then kept, so the entry is tried again next cycle).
struct CycleReport {
    ClockReading time;
    std::optional<LogError> writeError;
    int written = 0; // entries
};

// The burn-in run without its window: samples on the UI thread, the clock-and-log cycle from
// wherever it runs, and the chart's copy of the histories.
class BurnInSession {
public:
    explicit BurnInSession(BurnInClock clock, QString logPath = burnin::kLogFileName);

    // Takes the log for this run before Begin empties it: nothing, or why not (see
    // BurnInLogFile::Hold).
    std::optional<LogRefusal> HoldLog() { return m_log.Hold(); }
    // Start: counters and histories begin again and the log is emptied.
    std::optional<LogError> Begin();

    // One sample, recorded; nothing, with nothing recorded, when the device no longer answers.
    std::optional<SampleResult> Sample(IRegisterReader& host);

    // The run has ended: the entry that closes a run whose device went away, then the log is let
    // go.
    std::optional<LogError> End(bool deviceGone);

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
