#pragma once
#include <QString>
#include <array>
#include <optional>

#include "status/StatusDecoding.h"
#include "status/StatusReading.h"

// Every indicator's state in words, for tool tips and screen readers: a lamp's or a field's colour
// alone tells nothing to a user who cannot tell red from green.
namespace status {

// The signal lamps, in the page's order from the top, by caption; the window names its lamps so
// and the command line keys them so.
enum SignalLamp {
    k5vFromSource,
    k5vToLink,
    kHpdFromLink,
    kHpdFromDisplay,
    kHpdToLink,
    k5vFromLink,
    kSignalLampCount
};
inline constexpr std::array<const char*, kSignalLampCount> kSignalLampCaptions{
    "5V from source(TX)",   "5V to link(TX)",  "HPD from link(TX)",
    "HPD from display(RX)", "HPD to link(RX)", "5V from link(RX)"};
inline constexpr const char* kBerLampCaption = "Video BER";
// The captions of the fields.
inline constexpr const char* kModeCaption = "Torvan Mode";
inline constexpr const char* kSourceCaption = "Source Type";
inline constexpr const char* kCableLengthCaption = "Cable Len";

// What each signal lamp shows for a reading: a 5 V or HPD line shows on the two lamps that
// follow it through the unit.
std::array<Lamp, kSignalLampCount> SignalLampStates(const Reading& reading);

// "on", "marginal", "off".
QString LampWord(Lamp state);
// "5V from source(TX): on", "Video BER: marginal".
QString LampStateText(const QString& caption, Lamp state);

// "good", "marginal", "fault"; nothing for a field that shows no level (not read, or not yet).
std::optional<QString> PairBandWord(const QString& shown, LevelBand band);
// "Pair B: 1.10938, fault"; a level that could not be read gives "Pair B: N/A".
QString PairLevelStateText(int pair, const QString& shown, LevelBand band);

// "Faulty pairs marked: B (port 2)" or "No faulty pair".
QString FaultyPairsText(const PortFlags& faults);

} // namespace status
