#pragma once
#include <QString>
#include <QStringList>
#include <span>

#include "burnin/ClockReading.h"
#include "monitor/UnitReading.h"

class QSettings;

// The support report: one text file with everything support asks for, in sections, each written by
// a function of its own. Nothing in it is sent anywhere.
namespace monitor {

// A section: its title underlined, its lines, a blank line after.
QString Section(const QString& title, const QStringList& lines);

// What the program cannot find out for itself: its name, when the report was written, the HID
// back end it reaches the units through, and its update history's file (none where it keeps none).
struct ProgramFacts {
    QString program;
    QString written;
    QString backend;
    QString history;
};
// The program, its version and build, Qt, the system and the HID back end.
QString ProgramSection(const ProgramFacts& facts);
// Every unit: path, serial number, access (in use and by whom, or why it could not be opened), both
// chips' identification and incomplete marks, and one status reading.
QString UnitsSection(std::span<const UnitReading> units);
// The user's settings file and what it holds.
QString SettingsSection(const QSettings& settings);
// The last rows of the update history in file of the units given, newest first; or that there
// are none yet, or why the history cannot be read.
QString HistorySection(const QString& file, std::span<const UnitReading> units);
// The last lines of the burn-in log at path, or that there is none.
QString BurnInLogSection(const QString& path);

// The whole report, the window's and the command line's alike: the sections above, with the user's
// settings, the update history of the units given and the burn-in log in the current folder.
QString SupportReport(const ProgramFacts& facts, std::span<const UnitReading> units);
// "torvanreader-report-20140307-130500.txt": the name a report is offered under.
QString ReportFileName(const ClockReading& now);

} // namespace monitor
