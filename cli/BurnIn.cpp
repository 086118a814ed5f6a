// burn-in: the Burn-In Test page's run from the command line: the same samples, counting and log,
// a line per sample and a summary at the end.
#include <QJsonObject>
#include <QRegularExpression>

#include "burnin/BurnInLog.h"
#include "burnin/BurnInSession.h"
#include "cli/Session.h"

namespace cli {
namespace {

using namespace std::chrono_literals;

// The page's sampling periods.
const std::map<QString, std::chrono::milliseconds> kPeriods{
    {"1s", 1s}, {"10s", 10s}, {"1m", 1min}, {"10m", 10min}};
const char* const kTraces[kTraceCount]{"link", "video", "5v", "hpd"};
const char* const kCaptions[kTraceCount]{"Link", "Video Signal", "5V", "HPD"};

// "90s", "30m", "12h", "2d" or plain seconds; nothing when it is none of those.
std::optional<std::chrono::milliseconds> Duration(const QString& text)
{
    const QRegularExpressionMatch match = QRegularExpression("^(\\d+)([smhd]?)$").match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int unit = QString("smhd").indexOf(match.captured(2).isEmpty() ? "s" : match.captured(2));
    const long long seconds[] = {1, 60, 3600, 86400};
    return std::chrono::seconds(match.captured(1).toLongLong() * seconds[unit]);
}

} // namespace

int BurnIn(Session& session)
{
    const QCommandLineParser& options = session.Options();
    const auto period =
        kPeriods.find(options.value("period").isEmpty() ? "1s" : options.value("period"));
    const auto duration =
        options.isSet("duration") ? Duration(options.value("duration")) : std::nullopt;
    if (period == kPeriods.end() || (options.isSet("duration") && !duration))
        return session.Fail(
            kUsage,
            "--period takes 1s, 10s, 1m or 10m and --duration a time such as 90s, 30m or 12h");
    if (const int opened = session.Open())
        return opened;
    Context& context = session.Ctx();
    const QString log = options.isSet("log") ? options.value("log") : burnin::kLogFileName;
    BurnInSession run(context.clock, log);
    bool told = false;
    const auto tell = [&](const FileWrite& write) { // once per run, as the page does
        if (!write.ok && !std::exchange(told, true))
            session.Say(burnin::LogFailureNotice(log, write.error));
    };
    tell(run.Begin());

    const auto start = context.now();
    int samples = 0;
    int entries = 0;
    std::array<int, kTraceCount> bad{};
    QString ended = "Ctrl-C";
    int code = kDone;
    for (auto nextSample = start + period->second, nextCycle = start;;) {
        const auto next = std::min(nextSample, nextCycle);
        if (duration && next > start + *duration) {
            ended = "duration";
            break;
        }
        if (!session.WaitUntil(next))
            break;
        if (context.now() >= nextCycle) { // the clock-and-log cycle: the page's once a second
            const CycleReport report = run.ClockLogCycle();
            entries += report.written;
            tell(report.writeError ? FileWrite{false, *report.writeError} : FileWrite{});
            nextCycle += 1s;
        }
        if (context.now() < nextSample)
            continue;
        nextSample += period->second;
        const std::optional<SampleResult> sample = run.Sample(session.Host());
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
            line << QString(kCaptions[trace]) + ((*sample)[trace] ? " good" : " bad");
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
        counts << QString("%1 %2").arg(kCaptions[trace]).arg(bad[trace]);
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
    return code;
}

} // namespace cli
