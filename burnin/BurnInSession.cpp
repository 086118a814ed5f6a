#include "burnin/BurnInSession.h"

#include <QStringList>
#include <array>

#include "burnin/BurnInSample.h"

namespace {

// A counter is logged once it passes this many failures.
constexpr uint8_t kLogLimit = 5;

struct LoggedCounter {
    Trace trace;
    const char* message;
};

constexpr std::array<LoggedCounter, kTraceCount> kLogOrder{{
    {Trace::Hpd, burnin::kNoHpd},
    {Trace::Link, burnin::kLinkFail},
    {Trace::Video, burnin::kNoVideo},
    {Trace::FiveVolt, burnin::kNo5V},
}};

} // namespace

QStringList burnin::SamplePeriodWords()
{
    QStringList words;
    for (const SamplePeriod& period : kSamplePeriods)
        words << period.word;
    return words;
}

QString burnin::TraceStateText(int trace, bool good)
{
    return QString(kTraceNames[trace]) + (good ? " good" : " bad");
}

BurnInSession::BurnInSession(BurnInClock clock, QString logPath)
    : m_clock(std::move(clock)), m_log(std::move(logPath))
{
}

std::optional<LogError> BurnInSession::Begin()
{
    m_recorder.Begin();
    return m_log.Empty();
}

std::optional<SampleResult> BurnInSession::Sample(IRegisterReader& host)
{
    const std::optional<SampleResult> sample = burnin::ReadSample(host);
    if (sample)
        m_recorder.Record(*sample);
    return sample;
}

std::optional<LogError> BurnInSession::End(bool deviceGone)
{
    std::optional<LogError> error;
    if (deviceGone)
        error = m_log.Append(burnin::FormatLogEntry(m_clock(), burnin::kDeviceDisconnected));
    m_log.Release();
    return error;
}

CycleReport BurnInSession::ClockLogCycle()
{
    CycleReport report{m_clock(), std::nullopt};
    for (const LoggedCounter& counter : kLogOrder) {
        const uint8_t failures = m_recorder.Counter(counter.trace);
        if (failures <= kLogLimit)
            continue;
        std::optional<LogError> error =
            m_log.Append(burnin::FormatLogEntry(report.time, counter.message));
        if (!error) {
            m_recorder.Consume(counter.trace, failures);
            ++report.written;
        } else if (!report.writeError)
            report.writeError = std::move(error);
    }
    return report;
}
