#include "monitor/SupportReport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>
#include <algorithm>

#include "burnin/BurnInLog.h"
#include "device/DeviceIds.h"
#include "firmware/FirmwareCommands.h"
#include "firmware/UserSettings.h"
#include "history/Formats.h"
#include "history/Store.h"
#include "status/StateText.h"

namespace monitor {
namespace {

// As much of the update history as support reads: the last changes to the units present.
constexpr int kHistoryRows = 20;
// As much of a long burn-in log as support reads.
constexpr int kLogLines = 50;
constexpr qint64 kLogTailBytes = 64 * 1024;

QString Compiler()
{
#if defined(__clang__)
    return "clang " __clang_version__;
#elif defined(__GNUC__)
    return "GCC " __VERSION__;
#else
    return "an unknown compiler";
#endif
}

QString Access(const UnitReading& reading)
{
    using enum UnitReading::Access;
    switch (reading.access) {
    case Read: return reading.answers ? "answers the connect check" : "opened; " + reading.why;
    case InUse: return "in use: " + reading.why;
    case NotOpened: break;
    }
    return "not opened: " + reading.why + (reading.advice.isEmpty() ? "" : "; " + reading.advice);
}

QStringList UnitLines(const UnitReading& reading)
{
    const HidAttributes& about = reading.unit.attributes;
    QStringList lines{QString::fromStdString(reading.unit.path),
                      "  Serial number: " + QString::fromStdString(about.serial),
                      "  Manufacturer: " + QString::fromStdString(about.manufacturer)
                          + "   Product: " + QString::fromStdString(about.product),
                      "  Access: " + Access(reading)};
    if (!reading.status)
        return lines;
    using firmware::MarkState;
    lines << "  "
                 + firmware::IdentificationLine(frames::Chip::Local, reading.local,
                                                reading.localMark == MarkState::Incomplete)
          << "  "
                 + firmware::IdentificationLine(frames::Chip::Remote, reading.remote,
                                                reading.remoteMark == MarkState::Incomplete);
    if (reading.localMark == MarkState::Unknown)
        lines << "  Incomplete-image marks: not known, the settings cannot be read";
    for (const QString& line : status::ReadingLines(*reading.status))
        lines << "  " + line;
    return lines;
}

} // namespace

QString Section(const QString& title, const QStringList& lines)
{
    return title + "\n" + QString(title.size(), '=') + "\n" + lines.join('\n')
           + (lines.isEmpty() ? "" : "\n") + "\n";
}

QString ProgramSection(const ProgramFacts& facts)
{
    return Section(
        "Program",
        {QString("%1 %2, written %3").arg(facts.program, kTorvanVersion, facts.written),
         QString("Build: %1, %2, %3").arg(Compiler(), TORVAN_BUILD_TYPE, QSysInfo::buildAbi()),
         QString("Qt: %1 (built with %2)").arg(qVersion(), QT_VERSION_STR),
         QString("System: %1, %2 %3 (%4)")
             .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
                  QSysInfo::currentCpuArchitecture()),
         "HID back end: " + facts.backend});
}

QString UnitsSection(std::span<const UnitReading> units)
{
    QStringList lines{QString("%1 found.").arg(units.size())};
    for (const UnitReading& reading : units)
        lines << "" << UnitLines(reading);
    return Section("Extenders", lines);
}

QString SettingsSection(const QSettings& settings)
{
    QStringList lines{QDir::toNativeSeparators(settings.fileName())};
    for (const QString& key : settings.allKeys())
        lines << "  " + key + " = " + settings.value(key).toString();
    if (lines.size() == 1)
        lines << "  (nothing stored)";
    return Section("Settings", lines);
}

QString HistorySection(const QString& file, std::span<const UnitReading> units)
{
    const QString title = "Update history";
    if (file.isEmpty())
        return Section(title, {"  (not kept by this program)"});
    const QString shown = QDir::toNativeSeparators(file);
    if (units.empty())
        return Section(title, {shown + ": no extender is present to show the history of"});
    history::Query query{.limit = kHistoryRows};
    for (const UnitReading& reading : units)
        query.serials << QString::fromStdString(reading.unit.attributes.serial);
    const history::Reading read = history::Read(file, query);
    if (!read.failure.isEmpty())
        return Section(title, {"The update history cannot be read: " + read.failure});
    if (read.rows.empty())
        return Section(
            title, {shown
                    + (QFileInfo::exists(file) ? ": nothing recorded of the extenders above"
                                               : ": none yet, it starts with the first update")});
    const qsizetype count = qsizetype(read.rows.size());
    QStringList lines{QString("%1, the last %2 to the extenders above, newest first:")
                          .arg(shown, count == 1 ? "change" : QString("%1 changes").arg(count))};
    for (const history::Row& row : read.rows)
        lines << "  " + history::TextLine(row);
    return Section(title, lines);
}

QString BurnInLogSection(const QString& path)
{
    QFile log(path);
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!log.open(QIODevice::ReadOnly))
        return Section("Burn-in log", {shown + ": " + log.errorString()});
    log.seek(std::max<qint64>(0, log.size() - kLogTailBytes));
    QStringList lines = QString::fromLocal8Bit(log.readAll()).split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    if (log.size() > kLogTailBytes)
        lines.removeFirst(); // cut in its middle
    for (QString& line : lines)
        line = "  " + line.remove('\r');
    const qsizetype shownLines = std::min<qsizetype>(kLogLines, lines.size());
    return Section("Burn-in log",
                   QStringList{QString("%1, its last %2 lines:").arg(shown).arg(shownLines)}
                       + lines.mid(lines.size() - shownLines));
}

QString SupportReport(const ProgramFacts& facts, std::span<const UnitReading> units)
{
    return ProgramSection(facts) + UnitsSection(units) + SettingsSection(UserSettings())
           + HistorySection(facts.history, units) + BurnInLogSection(burnin::kLogFileName);
}

QString ReportFileName(const ClockReading& now)
{
    return QString::asprintf("torvanreader-report-%04d%02d%02d-%02d%02d%02d.txt", now.year,
                             now.month, now.day, now.hour, now.minute, now.second);
}

} // namespace monitor
