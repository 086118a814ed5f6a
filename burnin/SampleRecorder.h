#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

// The four things a burn-in sample looks at, in the order of the histories and counters.
enum class Trace { Link = 0, Video = 1, FiveVolt = 2, Hpd = 3 };
inline constexpr int kTraceCount = 4;
inline constexpr int kHistoryLength = 30;

// One sample: true where the signal was good.
using SampleResult = std::array<bool, kTraceCount>;

// A copy of the histories for the chart: entry 0 of each is the oldest of `count` samples held.
struct ChartData {
    std::array<std::array<uint8_t, kHistoryLength>, kTraceCount> histories{};
    int count = 0;
};

// The last 30 samples of each trace and the failure counters. Samples are recorded on the UI
// thread while the chart and the logger read from elsewhere, so the histories sit behind a short
// lock and the counters are atomic: a counter the logger clears never loses a failure counted
// while its entry was being written.
class SampleRecorder {
public:
    // A new run: no samples held, counters at 0. Older entries stay in the arrays but are never
    // shown, since the count starts again from 0.
    void Begin();

    // Link and video count every bad sample until their next log entry; 5 V and HPD count bad
    // samples in a row, a good one starts them again.
    void Record(const SampleResult& sample);

    ChartData Chart() const;
    uint8_t Counter(Trace trace) const;

    // The logger wrote an entry for `logged` failures: take them off the counter. Failures counted
    // meanwhile stay; a counter that a good sample reset meanwhile keeps its new run.
    void Consume(Trace trace, uint8_t logged);

private:
    void CountFailure(Trace trace);

    mutable std::mutex m_mutex;
    std::array<std::array<uint8_t, kHistoryLength>, kTraceCount> m_histories{};
    int m_index = 0;           // slot of the next sample while filling; stays at 29 once full
    bool m_windowFull = false; // all 30 slots hold samples; each new one scrolls
    std::array<std::atomic<uint8_t>, kTraceCount> m_counters{};
};
