#pragma once
#include <QString>

#include "status/StatusDecoding.h"

// Every indicator's state in words, for tool tips and screen readers: a lamp's or a field's colour
// alone tells nothing to a user who cannot tell red from green.
namespace status {

// "5V from source(TX): on", "Video BER: marginal".
QString LampStateText(const QString& caption, Lamp state);

// "Pair B: 1.10938, fault"; a level that could not be read gives "Pair B: N/A".
QString PairLevelStateText(int pair, const QString& shown, LevelBand band);

// "Faulty pairs marked: B (port 2)" or "No faulty pair".
QString FaultyPairsText(const PortFlags& faults);

} // namespace status
