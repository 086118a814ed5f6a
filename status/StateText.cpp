#include "status/StateText.h"

#include <QStringList>

namespace status {
namespace {

QString PairName(int pair)
{
    return QString(QChar('A' + pair));
}

} // namespace

std::array<Lamp, kSignalLampCount> SignalLampStates(const Reading& reading)
{
    return {reading.local.fiveVolt, reading.local.fiveVolt, reading.local.hpd,
            reading.remote.hpd,     reading.remote.hpd,     reading.remote.fiveVolt};
}

QString LampWord(Lamp state)
{
    switch (state) {
    case Lamp::On: return "on";
    case Lamp::Marginal: return "marginal";
    case Lamp::Off: break;
    }
    return "off";
}

QString LampStateText(const QString& caption, Lamp state)
{
    return caption + ": " + LampWord(state);
}

std::optional<QString> PairBandWord(const QString& shown, LevelBand band)
{
    bool number = false;
    shown.toDouble(&number);
    if (!number)
        return std::nullopt;
    switch (band) {
    case LevelBand::Red: return "fault";
    case LevelBand::Amber: return "marginal";
    case LevelBand::Normal: break;
    }
    return "good";
}

QString PairLevelStateText(int pair, const QString& shown, LevelBand band)
{
    const std::optional<QString> word = PairBandWord(shown, band);
    return "Pair " + PairName(pair) + ": " + shown + (word ? ", " + *word : QString());
}

QString FaultyPairsText(const PortFlags& faults)
{
    QStringList marked;
    for (int pair = 0; pair < kPairCount; ++pair) {
        if (faults[pair])
            marked << QString("%1 (port %2)").arg(PairName(pair)).arg(pair + 1);
    }
    return marked.isEmpty() ? "No faulty pair" : "Faulty pairs marked: " + marked.join(", ");
}

} // namespace status
