// burn-in: the Burn-In Test page's run from the command line: the same samples, counting and log,
// a line per sample and a summary at the end.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <variant>

#include "burnin/BurnInLog.h"
#include "burnin/BurnInSession.h"
#include "cli/Session.h"
#include "cli/UnitRun.h"

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
        return "--period takes " + Listed(burnin::SamplePeriodWords()) + ", not '" + period + "'";
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

// What the options ask for.
struct Plan {
    std::chrono::milliseconds period;
    // The duration over the period, counted rather than timed, so that answers that take their
    // time never cost a sample; until stopped when no duration is given.
    std::optional<qint64> samples;
    QString log;
};

// The options as a plan, or why they make none.
std::variant<Plan, QString> ReadPlan(const QCommandLineParser& options)
{
    const QString period = options.isSet("period") ? options.value("period") : "1s";
    const auto duration =
        options.isSet("duration") ? Duration(options.value("duration")) : std::nullopt;
    if (QString wrong = UsageError(options, period, duration); !wrong.isEmpty())
        return wrong;
    const std::chrono::milliseconds length = *Period(period);
    const QString log = options.isSet("log") ? options.value("log") : burnin::kLogFileName;
    return Plan{length, duration ? std::optional(*duration / length) : std::nullopt,
                options.isSet("log-dir") ? QDir(options.value("log-dir")).filePath(log) : log};
}

// A unit's name in a file name: its serial number, with the end of its path where another unit
// tells the same one or where it tells none, and nothing a file name may not hold. No regular
// expression: this runs on the unit's thread, and what Qt keeps per thread for one (the matcher's
// stack) holds up the program's end on Windows.
QString FileNameOf(const CHidIO::Unit& unit)
{
    QStringList parts;
    if (!unit.attributes.serial.empty())
        parts << QString::fromStdString(unit.attributes.serial);
    if (unit.serialShared || parts.isEmpty()) {
        const QString path = QString::fromStdString(unit.path);
        parts << path.mid(std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1);
    }
    QString name = parts.join('-');
    for (QChar& character : name) {
        if (character.unicode() < 0x20 || QString(R"(/\:*?"<>|)").contains(character))
            character = '_';
    }
    return name;
}

// The log of one unit of several: BIT-SIM0001.txt where BIT.txt would be.
QString UnitLog(const QString& log, const CHidIO::Unit& unit)
{
    const QFileInfo file(log);
    const QString suffix = file.suffix().isEmpty() ? QString() : "." + file.suffix();
    return log.chopped(file.fileName().size()) + file.completeBaseName() + "-" + FileNameOf(unit)
           + suffix;
}

// What ended a run.
enum class Ending { Interrupt, Duration, Signal, DeviceGone };

// Each ending as the summary line says it and as the JSON summary names it, in Ending's order.
struct EndingNames {
    const char* word;
    const char* id;
};
constexpr EndingNames kEndingNames[]{{.word = "Ctrl-C", .id = "interrupt"},
                                     {.word = "duration", .id = "duration"},
                                     {.word = "signal", .id = "signal"},
                                     {.word = "device gone", .id = "device_gone"}};

QString EndingWord(Ending ending)
{
    return kEndingNames[size_t(ending)].word;
}

QString EndingId(Ending ending)
{
    return kEndingNames[size_t(ending)].id;
}

// What a run found, for its summary.
struct Tally {
    int samples = 0;
    int entries = 0;
    std::array<int, kTraceCount> bad{};
    Ending ended = Ending::Interrupt;
    int code = kDone;
};

// One run: the page's samples and clock-and-log cycle on the command's clock, a line per sample
// and the summary.
class BurnInRun {
public:
    BurnInRun(Session& session, Plan plan)
        : m_session(session), m_plan(std::move(plan)), m_run(session.Ctx().clock, m_plan.log)
    {
    }

    // Holds the log for this run, and asks before emptying one that holds entries. kDone, or why
    // the run does not start.
    int TakeLog();
    void SampleUntilEnd();
    int Summary();

private:
    bool AskToEmpty();
    void Loop();
    bool SampleOnce();
    void Print(const SampleResult& sample);
    void Tell(const std::optional<LogError>& error);

    Session& m_session;
    const Plan m_plan;
    BurnInSession m_run;
    Tally m_tally;
    bool m_told = false; // the log's failure, once per run as the page does
};

int BurnInRun::TakeLog()
{
    if (const std::optional<LogRefusal> refused = m_run.HoldLog())
        return m_session.Fail(kDevice,
                              "not started: " + refused->why + "; --log names another file");
    if (AskToEmpty())
        return kDone;
    return m_session.Fail(kRefused, "not started: " + m_plan.log + " was kept"
                                        + (m_session.Ctx().terminal ? "" : " (--yes empties it)"));
}

// The page's Start empties BIT.txt, in front of its user; a command may run unattended, so a log
// that holds entries, BIT.txt as any other, is kept unless the user says otherwise. Units run at
// once are asked once for all their logs.
bool BurnInRun::AskToEmpty()
{
    const QFileInfo log(m_plan.log);
    if (!log.isFile() || log.size() == 0 || m_session.Options().isSet("yes"))
        return true;
    return m_session.Ask(m_session.Unit()
                             ? "A unit's log already holds entries. Empty each log that does and "
                               "start the runs?"
                             : m_plan.log + " already holds a log. Empty it and start the run?");
}

void BurnInRun::SampleUntilEnd()
{
    Tell(m_run.Begin());
    Loop();
    Tell(m_run.End(m_tally.code == kDevice)); // the device gone
}

void BurnInRun::Loop()
{
    Context& context = m_session.Ctx();
    const auto start = context.now();
    // Each sample and each cycle a full period after the one before: a late one is not made up.
    for (auto nextSample = start + m_plan.period, nextCycle = start;;) {
        if (m_plan.samples && m_tally.samples == *m_plan.samples) {
            m_tally.ended = Ending::Duration;
            return;
        }
        if (!m_session.WaitUntil(std::min(nextSample, nextCycle))) {
            m_tally.ended =
                m_session.Stopping() == Stop::Terminate ? Ending::Signal : Ending::Interrupt;
            return;
        }
        const auto began = context.now();
        if (began >= nextCycle) { // the clock-and-log cycle: the page's once a second
            const CycleReport report = m_run.ClockLogCycle();
            m_tally.entries += report.written;
            Tell(report.writeError);
            nextCycle = began + burnin::kCyclePeriod;
        }
        if (began < nextSample)
            continue;
        nextSample = began + m_plan.period;
        if (!SampleOnce())
            return;
    }
}

// False when the device no longer answers: the run ends.
bool BurnInRun::SampleOnce()
{
    const std::optional<SampleResult> sample = m_run.Sample(m_session.Reader());
    if (!sample) {
        m_tally.ended = Ending::DeviceGone;
        m_tally.code = m_session.Fail(kDevice, "the extender stopped answering the connect check: "
                                                   + m_session.HowLastFailed());
        return false;
    }
    ++m_tally.samples;
    for (int trace = 0; trace < kTraceCount; ++trace)
        m_tally.bad[trace] += !(*sample)[trace];
    Print(*sample);
    return true;
}

void BurnInRun::Print(const SampleResult& sample)
{
    const ClockReading time = m_session.Ctx().clock();
    QJsonObject object{{"event", "sample"}, {"time", IsoTimeStamp(time)}};
    QStringList line{FormatTimeStamp(time)};
    for (int trace = 0; trace < kTraceCount; ++trace) {
        object[kTraces[trace]] = sample[trace];
        line << burnin::TraceStateText(trace, sample[trace]);
    }
    m_session.Json() ? m_session.Data(object) : m_session.Data(line.join("   "));
}

void BurnInRun::Tell(const std::optional<LogError>& error)
{
    if (error && !std::exchange(m_told, true))
        m_session.Warn(burnin::LogFailureNotice(*error));
}

int BurnInRun::Summary()
{
    QJsonObject summary{{"event", "summary"},
                        {"samples", m_tally.samples},
                        {"entries", m_tally.entries},
                        {"log", m_plan.log},
                        {"ended", EndingId(m_tally.ended)}};
    QStringList counts, failed, failedKeys;
    for (int trace = 0; trace < kTraceCount; ++trace) {
        summary[QString("bad_") + kTraces[trace]] = m_tally.bad[trace];
        counts << QString("%1 %2").arg(burnin::kTraceNames[trace]).arg(m_tally.bad[trace]);
        if (m_tally.bad[trace]) {
            failed << burnin::kTraceNames[trace];
            failedKeys << kTraces[trace];
        }
    }
    summary["failed"] = QJsonArray::fromStringList(failedKeys);
    const QString verdict = failed.isEmpty() ? "no sample failed" : "failed: " + failed.join(", ");
    if (m_session.Json())
        m_session.Data(summary);
    else
        m_session.Data(
            QString("Burn-in ended (%1): %2 samples; bad: %3; %4 entries logged in %5; %6")
                .arg(EndingWord(m_tally.ended))
                .arg(m_tally.samples)
                .arg(counts.join(", "))
                .arg(m_tally.entries)
                .arg(m_plan.log)
                .arg(verdict));
    Outcome& outcome = m_session.Result();
    outcome.counted = "samples";
    outcome.count = m_tally.samples;
    if (m_tally.code == kDone)
        outcome.result = "ended (" + EndingWord(m_tally.ended) + "), " + verdict;
    // The verdict on the unit comes first; a run that could not be done as asked (the device gone,
    // the log not written) is not a clean one either.
    if (!failed.isEmpty())
        return kFailed;
    return m_told && m_tally.code == kDone ? kDevice : m_tally.code;
}

} // namespace

int BurnIn(Session& session)
{
    std::variant<Plan, QString> plan = ReadPlan(session.Options());
    if (const QString* wrong = std::get_if<QString>(&plan))
        return session.Fail(kUsage, *wrong);
    // A folder that cannot be made is told by the log's first write, with the system's cause.
    if (session.Options().isSet("log-dir"))
        QDir().mkpath(session.Options().value("log-dir"));
    return OnUnits(session, [&](Session& unit) {
        Plan own = std::get<Plan>(plan);
        if (unit.Unit())
            own.log = UnitLog(own.log, *unit.Unit());
        BurnInRun run(unit, std::move(own));
        if (const int refused = run.TakeLog())
            return refused;
        if (const int opened = unit.Open())
            return opened;
        run.SampleUntilEnd();
        return run.Summary();
    });
}

} // namespace cli
