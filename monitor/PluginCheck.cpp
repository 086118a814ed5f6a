#include "monitor/PluginCheck.h"

#include <array>
#include <cmath>

#include "status/StateText.h"

namespace monitor {
namespace {

constexpr std::array<const char*, 4> kStateNames{"OK", "WARNING", "CRITICAL", "UNKNOWN"};

// The worse of two states as the plugins rank them: critical, warning, unknown, ok.
PluginState Worse(PluginState a, PluginState b)
{
    const auto rank = [](PluginState s) {
        constexpr std::array<int, 4> kRanks{0, 2, 3, 1}; // by PluginState
        return kRanks[static_cast<size_t>(s)];
    };
    return rank(a) >= rank(b) ? a : b;
}

std::optional<double> Number(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional(value) : std::nullopt;
}

// 'label'=value;warn;crit;min;max, U for a value not read.
QString Performance(const QString& label, std::optional<double> value, const QString& warn,
                    const QString& crit, const QString& min, const QString& max)
{
    return QString("'%1'=%2;%3;%4;%5;%6")
        .arg(label, value ? QString::number(*value, 'g', 10) : "U", warn, crit, min, max);
}

QString CableText(const status::CableLength& cable)
{
    using Bound = status::CableLength::Bound;
    const char* bound = cable.bound == Bound::Over ? ">" : cable.bound == Bound::Under ? "<" : "";
    return QString("%1%2 m").arg(bound).arg(cable.metres);
}

// What the check counts as the cable's length: one longer than the chips measure is longer than
// any limit.
double CableValue(const status::CableLength& cable)
{
    return cable.bound == status::CableLength::Bound::Over ? std::numeric_limits<double>::infinity()
                                                           : cable.metres;
}

class Verdict {
public:
    void Tell(PluginState state, const QString& part)
    {
        m_state = Worse(m_state, state);
        m_parts << part;
    }
    CheckResult Result(QStringList performance) const
    {
        return {m_state, m_parts.join(", "), std::move(performance)};
    }

private:
    PluginState m_state = PluginState::Ok;
    QStringList m_parts;
};

void CheckPairs(const status::Reading& r, const Thresholds& t, Verdict& verdict,
                QStringList& performance)
{
    using namespace status;
    if (!r.pairLevels && r.linkUp)
        verdict.Tell(PluginState::Unknown, "pair levels not read");
    int good = 0;
    for (int pair = 0; pair < kPairCount; ++pair) {
        const QString name(QChar('A' + pair));
        std::optional<double> level;
        if (r.pairLevels)
            level = (*r.pairLevels)[pair];
        performance << Performance("pair_" + name.toLower(), level, t.warnLevel.text,
                                   t.critLevel.text, "0", QString::number(PairLevel(255), 'g', 10));
        if (!level)
            continue;
        const LevelBand band = t.critLevel.Alerts(*level)   ? LevelBand::Fault
                               : t.warnLevel.Alerts(*level) ? LevelBand::Marginal
                                                            : LevelBand::Good;
        if (band == LevelBand::Good) {
            ++good;
            continue;
        }
        verdict.Tell(band == LevelBand::Fault ? PluginState::Critical : PluginState::Warning,
                     QString("pair %1 %2 (%3)")
                         .arg(name, kLevelBandNames[static_cast<size_t>(band)],
                              PairLevelText(float(*level))));
    }
    if (good)
        verdict.Tell(PluginState::Ok, QString("%1 pair%2 good").arg(good).arg(good > 1 ? "s" : ""));
}

void CheckLamp(const QString& caption, const QString& id, std::optional<status::Lamp> lamp,
               bool linkUp, Verdict& verdict, QStringList& performance)
{
    using status::Lamp;
    performance << Performance(id,
                               lamp ? std::optional<double>(*lamp == Lamp::On         ? 2
                                                            : *lamp == Lamp::Marginal ? 1
                                                                                      : 0)
                                    : std::nullopt,
                               "", "", "0", "2");
    if (!lamp) {
        if (linkUp)
            verdict.Tell(PluginState::Unknown, caption + " not read");
        return;
    }
    if (*lamp != Lamp::On)
        verdict.Tell(*lamp == Lamp::Off ? PluginState::Critical : PluginState::Warning,
                     status::LampStateText(caption, *lamp));
}

} // namespace

bool Range::Alerts(double value) const
{
    const bool within = value >= start && value <= end;
    return inside ? within : !within;
}

ParsedRange ParseRange(const QString& text)
{
    Range range{.text = text};
    QString rest = text;
    if (rest.startsWith('@')) {
        range.inside = true;
        rest.remove(0, 1);
    }
    const qsizetype colon = rest.indexOf(':');
    const QString start = colon < 0 ? QString() : rest.left(colon);
    const QString end = colon < 0 ? rest : rest.mid(colon + 1);
    if (start == "~")
        range.start = -std::numeric_limits<double>::infinity();
    else if (!start.isEmpty()) {
        const std::optional<double> number = Number(start);
        if (!number)
            return {{}, "'" + text + "' is not a range: '" + start + "' is not a number"};
        range.start = *number;
    }
    if (!end.isEmpty() || colon < 0) {
        const std::optional<double> number = Number(end);
        if (!number)
            return {{}, "'" + text + "' is not a range: '" + end + "' is not a number"};
        range.end = *number;
    }
    if (range.start > range.end)
        return {{}, "'" + text + "' is not a range: it starts above its end"};
    return {range};
}

Thresholds PageBands()
{
    return {*ParseRange(QString::number(status::kMarginalLevel)).range,
            *ParseRange(QString::number(status::kFaultyLevel)).range, std::nullopt};
}

CheckResult CheckReading(const status::Reading& r, const Thresholds& t)
{
    using namespace status;
    Verdict verdict;
    QStringList performance{Performance("link", r.linkUp ? 1 : 0, "", "", "0", "1")};
    verdict.Tell(r.linkUp ? PluginState::Ok : PluginState::Critical,
                 r.linkUp ? "link up" : "link down");
    CheckPairs(r, t, verdict, performance);
    const auto lamps = SignalLampStates(r);
    for (int lamp = 0; lamp < kSignalLampCount; ++lamp)
        CheckLamp(kSignalLampCaptions[lamp], kSignalLampIds[lamp], lamps[lamp], r.linkUp, verdict,
                  performance);
    CheckLamp(kBerLampCaption, kBerLampId, BerLampState(r), r.linkUp, verdict, performance);
    performance << Performance("video_ber_level",
                               r.berLevel ? std::optional<double>(*r.berLevel) : std::nullopt, "",
                               "", "0", "255");
    const QString cableRange = t.cable ? t.cable->text : QString();
    performance << Performance(
        "cable_metres", r.cableLength ? std::optional<double>(r.cableLength->metres) : std::nullopt,
        cableRange, "", "0", "");
    if (r.cableLength) {
        const bool beyond = t.cable && t.cable->Alerts(CableValue(*r.cableLength));
        verdict.Tell(beyond ? PluginState::Warning : PluginState::Ok,
                     CableText(*r.cableLength)
                         + (beyond ? " (outside --cable-max " + cableRange + ")" : QString()));
    }
    return verdict.Result(performance);
}

QString PluginLine(const CheckResult& result)
{
    // A '|' in a reason (a path, a system's message) would start the performance data early.
    QString line = QString("TORVANREADER %1 - %2")
                       .arg(kStateNames[static_cast<size_t>(result.state)],
                            QString(result.summary).replace('|', '/'));
    if (!result.performance.isEmpty())
        line += " | " + result.performance.join(' ');
    return line;
}

} // namespace monitor
