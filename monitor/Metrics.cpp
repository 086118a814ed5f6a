#include "monitor/Metrics.h"

#include <QStringList>
#include <array>

#include "status/StateText.h"

namespace monitor {
namespace {

// The families in the order they are written, each once with its HELP and TYPE lines.
enum Family {
    kExtenders,
    kUp,
    kInUse,
    kLinkUp,
    kPairLevel,
    kCableLength,
    kBerLevel,
    kLamp,
    kChipInfo,
    kFamilyCount
};
struct FamilyText {
    const char* name;
    const char* help;
};
constexpr std::array<FamilyText, kFamilyCount> kFamilies{{
    {"torvanreader_extenders", "Extenders found on this PC."},
    {"torvanreader_up", "Whether the extender answered the connect check (1) or not (0)."},
    {"torvanreader_in_use",
     "Whether another program held the extender (1), which was then sent nothing."},
    {"torvanreader_link_up", "Whether the HDBaseT link is up: both chips told the cable length."},
    {"torvanreader_pair_error_level",
     "Error level of a wire pair: above 0.8 marginal, above 0.99 faulty."},
    {"torvanreader_cable_length_metres",
     "Cable length both chips estimate; bound under or over where it is shorter or longer than "
     "they measure."},
    {"torvanreader_video_ber_level",
     "Video bit error rate level: 9 and above clean, 8 marginal, below bad."},
    {"torvanreader_lamp", "A lamp of the Status page: 0 off, 1 marginal, 2 on."},
    {"torvanreader_chip_info", "A chip's type, firmware revision and role."},
}};

constexpr const char* kPrefix = "# HELP torvanreader_";

// A label value with backslash, double quote and line feed escaped, as the format wants.
QString Escaped(const QString& value)
{
    QString escaped = value;
    return escaped.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
}

QString Label(const QString& name, const QString& value)
{
    return name + "=\"" + Escaped(value) + "\"";
}

int LampValue(status::Lamp lamp)
{
    switch (lamp) {
    case status::Lamp::On: return 2;
    case status::Lamp::Marginal: return 1;
    case status::Lamp::Off: break;
    }
    return 0;
}

class Exposition {
public:
    // labels: the unit's, then the sample's own, joined by commas.
    void Add(Family family, const QStringList& labels, double value)
    {
        const QString set = labels.isEmpty() ? QString() : "{" + labels.join(',') + "}";
        m_samples[family] << QString("%1%2 %3")
                                 .arg(kFamilies[family].name, set)
                                 .arg(QString::number(value, 'g', 17));
    }
    QString Text() const
    {
        QString text;
        for (int family = 0; family < kFamilyCount; ++family) {
            if (m_samples[family].isEmpty())
                continue;
            const auto& [name, help] = kFamilies[family];
            text += QString("# HELP %1 %2\n# TYPE %1 gauge\n").arg(name, help);
            text += m_samples[family].join('\n') + '\n';
        }
        return text;
    }

private:
    std::array<QStringList, kFamilyCount> m_samples;
};

void AddChip(Exposition& out, const QStringList& unit, const char* chip,
             const std::optional<firmware::DeviceInfoBlock>& block)
{
    if (block)
        out.Add(kChipInfo,
                unit
                    + QStringList{Label("chip", chip),
                                  Label("type", QString::fromStdString(block->ChipTypeName())),
                                  Label("revision", QString::fromStdString(block->RevisionText())),
                                  Label("role", QString::fromStdString(block->RoleText()))},
                1);
}

void AddReading(Exposition& out, const QStringList& unit, const status::Reading& r)
{
    using namespace status;
    out.Add(kLinkUp, unit, r.linkUp);
    for (int pair = 0; r.pairLevels && pair < kPairCount; ++pair)
        out.Add(kPairLevel, unit + QStringList{Label("pair", QString(QChar('A' + pair)))},
                (*r.pairLevels)[pair]);
    if (r.cableLength) {
        using Bound = CableLength::Bound;
        const Bound bound = r.cableLength->bound;
        out.Add(kCableLength,
                bound == Bound::None
                    ? unit
                    : unit + QStringList{Label("bound", bound == Bound::Under ? "under" : "over")},
                r.cableLength->metres);
    }
    if (r.berLevel)
        out.Add(kBerLevel, unit, *r.berLevel);
    const auto lamps = SignalLampStates(r);
    for (int lamp = 0; lamp < kSignalLampCount; ++lamp) {
        if (lamps[lamp])
            out.Add(kLamp, unit + QStringList{Label("lamp", kSignalLampIds[lamp])},
                    LampValue(*lamps[lamp]));
    }
    if (const std::optional<Lamp> ber = BerLampState(r))
        out.Add(kLamp, unit + QStringList{Label("lamp", kBerLampId)}, LampValue(*ber));
}

} // namespace

QString PrometheusText(std::span<const UnitReading> units)
{
    Exposition out;
    out.Add(kExtenders, {}, double(units.size()));
    for (const UnitReading& reading : units) {
        const QStringList unit{
            Label("serial", QString::fromStdString(reading.unit.attributes.serial)),
            Label("path", QString::fromStdString(reading.unit.path))};
        out.Add(kUp, unit, reading.answers);
        out.Add(kInUse, unit, reading.access == UnitReading::Access::InUse);
        if (reading.status)
            AddReading(out, unit, *reading.status);
        AddChip(out, unit, "local", reading.local);
        AddChip(out, unit, "remote", reading.remote);
    }
    return out.Text();
}

bool HoldsOurMetrics(const QByteArray& bytes)
{
    return bytes.isEmpty() || bytes.startsWith(kPrefix);
}

} // namespace monitor
