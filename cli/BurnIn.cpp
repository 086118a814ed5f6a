// burn-in: the Burn-In Test page's run from the command line: the same samples, counting and log,
// a line per sample and a summary at the end.
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

#include "burnin/BurnInLog.h"
#include "burnin/BurnInSession.h"
#include "cli/Session.h"

namespace cli {
namespace {

using namespace std::chrono_literals;

// The traces as the JSON keys name them.
const char* const kTraces[kTraceCount]{"link", "video", "5v", "hpd"};

constexpr std::chrono::seconds kLongestRun = std::chrono::days(366);

std::optional<std::chrono::milliseconds> Period(const QString& word)
{
    for (const burnin::SamplePeriod& period : burnin::kSamplePeriods) {
        if (word == period.word)
            return period.length;
    }
    return std::nullopt;
}

// "90s", "30m", "12h", "2d" or plain seconds; nothing when it is none of those. A number too
// large to count reads as longer than any run.
std::optional<std::chrono::seconds> Duration(const QString& text)
{
    const QRegularExpressionMatch match = QRegularExpression("^(\\d+)([smhd]?)$").match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int unit = QString("smhd").indexOf(match.captured(2).isEmpty() ? "s" : match.captured(2));
    const qulonglong seconds[] = {1, 60, 3600, 86400};
    bool counted = false;
    const qulonglong count = match.captured(1).toULongLong(&counted);
    if (!counted || count > qulonglong(kLongestRun.count()) / seconds[unit])
        return kLongestRun + 1s;
    return std::chrono::seconds(count * seconds[unit]);
}

// What is wrong with --period and --duration, if anything.
QString UsageError(const QCommandLineParser& options, const QString& period,
                   std::optional<std::chrono::seconds> duration)
{
    if (!Period(period))
        return "--period takes " + burnin::PeriodWords(", ", " or ") + ", not '" + period + "'";
    if (!options.isSet("duration"))
        return {};
    if (!duration)
        return "--duration takes a time such as 90s, 30m, 12h or 2d, not '"
               + options.value("duration") + "'";
    if (*duration > kLongestRun)
        return "--duration is at most 366 days (366d)";
    if (*duration < *Period(period))
        return "--duration " + options.value("duration") + " is shorter than one period (" + period
               + "): no sample would be taken";
    return {};
}

} // namespace

int BurnIn(Session& session)
{
    const QCommandLineParser& options = session.Options();
    const QString periodText = options.isSet("period") ? options.value("period") : "1s";
    const auto duration =
        options.isSet("duration") ? Duration(options.value("duration")) : std::nullopt;
    if (const QString wrong = UsageError(options, periodText, duration); !wrong.isEmpty())
        return session.Fail(kUsage, wrong);
    const std::chrono::milliseconds period = *Period(periodText);
    Context& context = session.Ctx();
    const QString log = options.isSet("log") ? options.value("log") : burnin::kLogFileName;
    // The page's BIT.txt is emptied by Start; a log named here may be another run's: kept unless
    // the user says otherwise.
    if (options.isSet("log") && QFileInfo(log).isFile() && QFileInfo(log).size() > 0
        && !options.isSet("yes")) {
        if (!session.Ask(log + " already holds a log. Empty it and start the run?"))
            return session.Fail(kRefused, "not started: " + log + " was kept"
                                              + (context.terminal ? "" : " (--yes empties it)"));
    }
    if (const int opened = session.Open())
        return opened;
    BurnInSession run(context.clock, log);
    bool told = false;
    const auto tell = [&](const std::optional<LogError>& error) { // once per run, as the page does
        if (error && !std::exchange(told, true))
            session.Warn(burnin::LogFailureNotice(*error));
    };
    tell(run.Begin());

    const auto start = context.now();
    int samples = 0;
    int entries = 0;
    std::array<int, kTraceCount> bad{};
    QString ended = "Ctrl-C";
    int code = kDone;
    // Each sample and each cycle a full period after the one before: a late one is not made up.
    for (auto nextSample = start + period, nextCycle = start;;) {
        const auto next = std::min(nextSample, nextCycle);
        if (duration && next > start + *duration) {
            ended = "duration";
            break;
        }
        if (!session.WaitUntil(next)) {
            ended = session.Stopping() == Stop::Terminate ? "signal" : "Ctrl-C";
            break;
        }
        const auto began = context.now();
        if (began >= nextCycle) { // the clock-and-log cycle: the page's once a second
            const CycleReport report = run.ClockLogCycle();
            entries += report.written;
            tell(report.writeError);
            nextCycle = began + burnin::kCyclePeriod;
        }
        if (began < nextSample)
            continue;
        nextSample = began + period;
        const std::optional<SampleResult> sample = run.Sample(session.Reader());
        if (!sample) {
            tell(run.LogDisconnect());
            ended = "device gone";
            code = session.Fail(kDevice, "the extender stopped answering the connect check: "
                                             + session.HowLastFailed());
            break;
        }
        ++samples;
        const QString time = FormatTimeStamp(context.clock());
        QJsonObject object{{"event", "sample"}, {"time", time}};
        QStringList line{time};
        for (int trace = 0; trace < kTraceCount; ++trace) {
            bad[trace] += !(*sample)[trace];
            object[kTraces[trace]] = (*sample)[trace];
            line << burnin::TraceStateText(trace, (*sample)[trace]);
        }
        session.Json() ? session.Data(object) : session.Data(line.join("   "));
    }
    QJsonObject summary{{"event", "summary"},
                        {"samples", samples},
                        {"entries", entries},
                        {"log", log},
                        {"ended", ended}};
    QStringList counts;
    for (int trace = 0; trace < kTraceCount; ++trace) {
        summary[QString("bad_") + kTraces[trace]] = bad[trace];
        counts << QString("%1 %2").arg(burnin::kTraceNames[trace]).arg(bad[trace]);
    }
    if (session.Json())
        session.Data(summary);
    else
        session.Data(QString("Burn-in ended (%1): %2 samples; bad: %3; %4 entries logged in %5")
                         .arg(ended)
                         .arg(samples)
                         .arg(counts.join(", "))
                         .arg(entries)
                         .arg(log));
    return told && code == kDone ? kDevice : code; // the log failed: not a clean run
}

} // namespace cli
