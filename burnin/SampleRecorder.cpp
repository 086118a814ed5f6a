#include "burnin/SampleRecorder.h"

#include <algorithm>

namespace {

constexpr int kLastSlot = kHistoryLength - 1;
constexpr uint8_t kCounterCeiling = 255;

int Index(Trace trace)
{
    return static_cast<int>(trace);
}

} // namespace

void SampleRecorder::Begin()
{
    {
        std::lock_guard lock(m_mutex);
        m_index = 0;
        m_windowFull = false;
    }
    for (auto& counter : m_counters)
        counter.store(0);
}

void SampleRecorder::Record(const SampleResult& sample)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_index == kLastSlot && m_windowFull) {
            for (auto& history : m_histories)
                std::shift_left(history.begin(), history.end(), 1);
        }
        for (int trace = 0; trace < kTraceCount; ++trace)
            m_histories[trace][m_index] = sample[trace] ? 1 : 0;
        if (m_index < kLastSlot)
            ++m_index;
        else
            m_windowFull = true;
    }

    for (Trace trace : {Trace::Link, Trace::Video}) {
        if (!sample[Index(trace)])
            CountFailure(trace);
    }
    for (Trace trace : {Trace::FiveVolt, Trace::Hpd}) {
        if (sample[Index(trace)])
            m_counters[Index(trace)].store(0);
        else
            CountFailure(trace);
    }
}

void SampleRecorder::CountFailure(Trace trace)
{
    // Stops at 255 instead of wrapping to 0, so a logger that cannot write for minutes does not
    // make a long failure vanish.
    std::atomic<uint8_t>& counter = m_counters[Index(trace)];
    uint8_t current = counter.load();
    while (current < kCounterCeiling && !counter.compare_exchange_weak(current, current + 1)) {
    }
}

ChartData SampleRecorder::Chart() const
{
    std::lock_guard lock(m_mutex);
    ChartData data;
    data.histories = m_histories;
    data.count = m_windowFull ? kHistoryLength : m_index;
    return data;
}

uint8_t SampleRecorder::Counter(Trace trace) const
{
    return m_counters[Index(trace)].load();
}

void SampleRecorder::Consume(Trace trace, uint8_t logged)
{
    std::atomic<uint8_t>& counter = m_counters[Index(trace)];
    uint8_t current = counter.load();
    while (current >= logged
           && !counter.compare_exchange_weak(current, static_cast<uint8_t>(current - logged))) {
    }
}
