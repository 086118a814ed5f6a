#pragma once
#include <QString>
#include <QStringList>
#include <limits>
#include <optional>

#include "status/StatusReading.h"

// The link's health as a monitoring plugin tells it (Nagios, Icinga and their kin): one status
// line, performance data after '|', and the exit code that is the state.
namespace monitor {

enum class PluginState { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

// A threshold in the plugins' range syntax, [@]start:end: start 0 when not given, ~ for no lower
// end, end empty for no upper end ("10" is 0:10, "10:" from 10 up). A value outside the range
// alerts; with @ one inside it.
struct Range {
    double start = 0;
    double end = std::numeric_limits<double>::infinity();
    bool inside = false;
    QString text; // as given, for the performance data

    bool Alerts(double value) const;
};
// The range, or why the text is not one.
struct ParsedRange {
    std::optional<Range> range;
    QString why = {};
};
ParsedRange ParseRange(const QString& text);

// What the check alerts on beyond the link and the lamps. By default the Status page's own bands
// for the pair levels, and no limit on the cable length.
struct Thresholds {
    Range warnLevel;
    Range critLevel;
    std::optional<Range> cable; // alerts as a warning
};
Thresholds PageBands();

struct CheckResult {
    PluginState state = PluginState::Unknown;
    QString summary;
    QStringList performance; // 'label'=value;warn;crit;min;max
};
// Critical: the link down, a pair beyond the critical range, a 5 V, HPD or bit error rate lamp off.
// Warning: a pair beyond the warning range, a marginal lamp, the cable beyond its range. Unknown:
// with the link up, a value that could not be read.
CheckResult CheckReading(const status::Reading& reading, const Thresholds& thresholds);

// "TORVANREADER OK - link up, 4 pairs good, 42 m | 'link'=1;;;0;1 …".
QString PluginLine(const CheckResult& result);

} // namespace monitor
