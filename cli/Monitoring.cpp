// The commands for those who look after many units: status --format prometheus for a textfile
// collector, check for Nagios and Icinga, and the support report.
#include <QDir>
#include <QFileInfo>

#include "cli/AtOnce.h"
#include "cli/Session.h"
#include "monitor/Metrics.h"
#include "monitor/PluginCheck.h"
#include "monitor/SavedFile.h"
#include "monitor/SupportReport.h"

namespace cli {
namespace {

using monitor::UnitReading;

// The units that the metrics and the report read, as the options choose them (every one present
// where none is named), each read on a thread of its own and held only while it is read; with
// --wait once every one named is present. What kept a unit from being read is said: it shows in
// what is written too.
int ReadChosenUnits(Session& session, IHidBackend& backend, std::vector<UnitReading>& readings)
{
    const UnitSelection& chosen = session.Units();
    if (session.Options().isSet("wait")) {
        QString ignored; // without a descriptor the wait tries every 250 ms instead
        session.Watcher(ignored);
        if (const int present = session.Retrying([&]() -> Session::Attempt {
                const std::vector<CHidIO::Unit> named = chosen.Named(backend);
                const QString missing = session.NotAllThere(named);
                return {missing.isEmpty() ? kDone : kDevice, missing, !named.empty()};
            }))
            return present;
    }
    const std::vector<CHidIO::Unit> units = chosen.Named(backend);
    if (units.empty())
        session.Say(session.Missing());
    for (const QString& serial : units.empty() ? QStringList() : chosen.Absent(units))
        session.Say(UnitSelection::MissingSerial(serial));
    readings.resize(units.size());
    AtOnce(units.size(),
           [&](size_t index) { readings[index] = monitor::ReadUnit(backend, units[index]); });
    for (const UnitReading& read : readings) {
        if (read.access == UnitReading::Access::NotOpened)
            session.Warn(read.why + (read.advice.isEmpty() ? "" : "; " + read.advice));
        else if (!read.answers)
            session.Say(QString::fromStdString(read.unit.path) + ": " + read.why);
    }
    return kDone;
}

// Writes a command's whole output to the file the user named, or to stdout for none or "-".
int WriteOutput(Session& session, const QString& path, const QString& text)
{
    if (path.isEmpty() || path == "-") {
        session.Ctx().out << text << Qt::flush;
        return kDone;
    }
    if (const QString failure = monitor::SaveWhole(path, text.toUtf8()); !failure.isEmpty())
        return session.Fail(kFile, QDir::toNativeSeparators(path) + " cannot be written (" + failure
                                       + "); the file there is left as it was");
    return kDone;
}

QString ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The plugin's answer when nothing could be checked: the reason in the status line, exit 3.
int Unknown(Session& session, const QString& why)
{
    session.Data(monitor::PluginLine({monitor::PluginState::Unknown, why, {}}));
    return int(monitor::PluginState::Unknown);
}

// Reads that remember whether the unit stopped answering: then nothing it told can be judged. A
// refused read is an answer: a remote chip out of reach refuses its registers.
class AnsweredReads : public IRegisterReader {
public:
    explicit AnsweredReads(Session& session) : m_session(session) {}
    bool ReadRegister(uint8_t target, uint8_t reg, uint8_t* out) override
    {
        const bool read = m_session.Reader().ReadRegister(target, reg, out);
        if (!read && !m_session.Channel().LastStatus() && silent.isEmpty())
            silent = "the read (" + CommandText(frames::RegisterRead(target, reg))
                     + ") failed: " + m_session.HowLastFailed();
        return read;
    }
    QString silent;

private:
    Session& m_session;
};

} // namespace

int Metrics(Session& session)
{
    const QCommandLineParser& options = session.Options();
    if (options.value("format") != "prometheus")
        return session.Fail(kUsage,
                            "--format takes prometheus, not '" + options.value("format") + "'");
    for (const char* other : {"watch", "json"}) {
        if (options.isSet(other))
            return session.Fail(kUsage,
                                QString("--%1 does not go with --format prometheus").arg(other));
    }
    const QString path = options.value("output");
    // A file replaced every minute is replaced without asking, but only when it holds metrics.
    if (!path.isEmpty() && path != "-" && !monitor::HoldsOurMetrics(ReadAll(path).toUtf8()))
        return session.Fail(kRefused, QDir::toNativeSeparators(path)
                                          + " holds something other than TorvanReader's "
                                            "metrics: it was not replaced");
    std::vector<UnitReading> readings;
    if (const int read =
            ReadChosenUnits(session, session.Ctx().backend(options.isSet("demo")), readings))
        return read;
    return WriteOutput(session, path, monitor::PrometheusText(readings));
}

int Check(Session& session)
{
    const QCommandLineParser& options = session.Options();
    if (options.isSet("json"))
        return Unknown(session, "check prints the monitoring plugins' status line; --json does "
                                "not go with it");
    if (session.Units().Many())
        return Unknown(session, "check looks at one extender, as a monitoring plugin does: name "
                                "it with --serial or --device, not --all or several --serial");
    monitor::Thresholds thresholds = monitor::PageBands();
    const std::pair<const char*, monitor::Range*> given[]{{"warn-level", &thresholds.warnLevel},
                                                          {"crit-level", &thresholds.critLevel}};
    for (const auto& [option, range] : given) {
        if (!options.isSet(option))
            continue;
        const monitor::ParsedRange parsed = monitor::ParseRange(options.value(option));
        if (!parsed.range)
            return Unknown(session, QString("--%1: %2").arg(option, parsed.why));
        *range = *parsed.range;
    }
    if (options.isSet("cable-max")) {
        const monitor::ParsedRange parsed = monitor::ParseRange(options.value("cable-max"));
        if (!parsed.range)
            return Unknown(session, "--cable-max: " + parsed.why);
        thresholds.cable = parsed.range;
    }
    QString failure;
    session.TellFailuresTo([&](const QString& why) { failure = why; });
    if (session.Open())
        return Unknown(session, failure);
    AnsweredReads reads(session);
    status::Poll poll;
    poll.Tick(reads); // the first tick reads everything
    if (!reads.silent.isEmpty())
        return Unknown(session, reads.silent);
    const monitor::CheckResult result = monitor::CheckReading(poll.Now(), thresholds);
    session.Data(monitor::PluginLine(result));
    return int(result.state);
}

int Report(Session& session)
{
    const QCommandLineParser& options = session.Options();
    const ClockReading now = session.Ctx().clock();
    const QString path =
        options.isSet("output") ? options.value("output") : monitor::ReportFileName(now);
    const QString shown = QDir::toNativeSeparators(path);
    if (path != "-" && QFileInfo::exists(path) && !options.isSet("yes")
        && !session.Ask(shown + " exists. Replace it?"))
        return session.Fail(kRefused, "not written: " + shown + " was kept"
                                          + (session.Ctx().terminal ? "" : " (--yes replaces it)"));
    IHidBackend& backend = session.Ctx().backend(options.isSet("demo"));
    std::vector<UnitReading> readings;
    if (const int read = ReadChosenUnits(session, backend, readings))
        return read;
    const QString text = monitor::SupportReport(
        {"torvanreader-cli", FormatTimeStamp(now), QString::fromStdString(backend.Name()),
         session.Ctx().history ? session.Ctx().history(options.isSet("demo")) : QString()},
        readings);
    if (const int written = WriteOutput(session, path, text); written || path == "-")
        return written;
    session.Say("The support report is in " + shown + ": nothing was sent anywhere.");
    if (session.Json())
        session.Data(QJsonObject{{"report", QFileInfo(path).absoluteFilePath()}});
    else
        session.Data(QFileInfo(path).absoluteFilePath());
    return kDone;
}

} // namespace cli
