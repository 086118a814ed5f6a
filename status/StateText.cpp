#include "status/StateText.h"

#include <QStringList>

#include "status/PortCheck.h"

namespace status {
namespace {

const QString kNotAvailable = "N/A";

QString PairName(int pair)
{
    return QString(QChar('A' + pair));
}

// A mode index past the names shows empty, or as not read in the remote field before a poll.
QString ModeText(std::optional<uint8_t> mode, const QString& notRead, const QString& unnamed)
{
    if (!mode)
        return notRead;
    return ModeName(*mode).value_or(unnamed);
}

QString SourceText(std::optional<Source> source)
{
    return source ? SourceName(*source) : QString();
}

} // namespace

Display DisplayOf(const Reading& reading)
{
    const QString remoteNotRead = reading.polled ? *ModeName(kDisconnectMode) : kNotAvailable;
    Display shown;
    shown.localMode = ModeText(reading.localMode, {}, {});
    shown.remoteMode =
        ModeText(reading.remoteMode, remoteNotRead, reading.polled ? "" : kNotAvailable);
    shown.localSource = SourceText(reading.localSource);
    shown.remoteSource = SourceText(reading.remoteSource);
    shown.cableLength = reading.cableLength ? CableLengthText(*reading.cableLength) : kNotAvailable;
    shown.ber = BerLampState(reading).value_or(Lamp::Off);
    for (int pair = 0; pair < kPairCount; ++pair) {
        QString& level = shown.pairLevels[pair];
        QString& state = shown.pairStates[pair];
        if (reading.pairLevels) {
            const float value = (*reading.pairLevels)[pair];
            level = PairLevelText(value);
            state = level + ", " + PairBandWord(value);
            shown.pairBands[pair] = PairLevelBand(value);
        } else {
            state = level = reading.polled ? kNotAvailable : QString();
        }
        state.prepend("Pair " + PairName(pair) + ": ");
    }
    const auto lamps = SignalLampStates(reading);
    for (int lamp = 0; lamp < kSignalLampCount; ++lamp)
        shown.lamps[lamp] = lamps[lamp].value_or(Lamp::Off);
    return shown;
}

std::array<std::optional<Lamp>, kSignalLampCount> SignalLampStates(const Reading& reading)
{
    std::optional<Lamp> local5v, localHpd, remote5v, remoteHpd;
    if (reading.local)
        local5v = reading.local->fiveVolt, localHpd = reading.local->hpd;
    if (reading.remote)
        remote5v = reading.remote->fiveVolt, remoteHpd = reading.remote->hpd;
    return {local5v, local5v, localHpd, remoteHpd, remoteHpd, remote5v};
}

std::optional<Lamp> BerLampState(const Reading& reading)
{
    if (!reading.berLevel)
        return std::nullopt;
    return BerLamp(*reading.berLevel);
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

QString PairBandWord(float level)
{
    return kLevelBandNames[static_cast<size_t>(PairLevelBand(level))];
}

QStringList ReadingLines(const Reading& reading)
{
    const Display shown = DisplayOf(reading);
    const auto side = [&](const char* chip, const QString& mode, const QString& source) {
        return QString("%1%2: %3   %4: %5").arg(chip, kModeCaption, mode, kSourceCaption, source);
    };
    QStringList lamps;
    for (int lamp = 0; lamp < kSignalLampCount; ++lamp)
        lamps << LampStateText(kSignalLampCaptions[lamp], shown.lamps[lamp]);
    return QStringList{
               side("Local (TX)   ", shown.localMode, shown.localSource),
               side("Remote (RX)  ", shown.remoteMode, shown.remoteSource),
               lamps.mid(0, 3).join("   "),
               lamps.mid(3).join("   "),
               QStringList(shown.pairStates.begin(), shown.pairStates.end()).join("   "),
               kCableLengthCaption + (": " + shown.cableLength) + "   "
                   + LampStateText(kBerLampCaption, shown.ber)
                   + (reading.berLevel ? QString(" (level %1)").arg(*reading.berLevel) : QString())
                   + "   Link: " + (reading.linkUp ? "up" : "down")}
           + AdviceLines(reading.linkUp, reading.portFaults);
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
