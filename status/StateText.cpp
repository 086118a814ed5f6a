#include "status/StateText.h"

#include <QStringList>

namespace status {
namespace {

QString PairName(int pair)
{
    return QString(QChar('A' + pair));
}

} // namespace

QString LampStateText(const QString& caption, Lamp state)
{
    switch (state) {
    case Lamp::On: return caption + ": on";
    case Lamp::Marginal: return caption + ": marginal";
    case Lamp::Off: break;
    }
    return caption + ": off";
}

QString PairLevelStateText(int pair, const QString& shown, LevelBand band)
{
    QString head = "Pair " + PairName(pair) + ": " + shown;
    bool number = false;
    shown.toDouble(&number);
    if (!number)
        return head;
    switch (band) {
    case LevelBand::Red: return head + ", fault";
    case LevelBand::Amber: return head + ", marginal";
    case LevelBand::Normal: break;
    }
    return head + ", good";
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
