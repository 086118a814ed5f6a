#pragma once
#include <QString>
#include <array>
#include <optional>

#include "status/StatusDecoding.h"
#include "status/StatusReading.h"

// What a reading shows in words, made here and only here: the texts of the page's fields, which
// the command line prints too, and every indicator's state for tool tips and screen readers, since
// a lamp's or a field's colour alone tells nothing to a user who cannot tell red from green.
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
// The lamps as other programs know them (metric labels, a check's performance data): identifiers
// that stay when a caption changes, by SignalLamp, and the bit error rate's.
inline constexpr std::array<const char*, kSignalLampCount> kSignalLampIds{
    "source_5v_tx", "link_5v_tx", "link_hpd_tx", "display_hpd_rx", "link_hpd_rx", "link_5v_rx"};
inline constexpr const char* kBerLampId = "video_ber";
// The pair level bands in words, by LevelBand.
inline constexpr std::array<const char*, 3> kLevelBandNames{"good", "marginal", "fault"};
// The captions of the fields.
inline constexpr const char* kModeCaption = "Torvan Mode";
inline constexpr const char* kSourceCaption = "Source Type";
inline constexpr const char* kCableLengthCaption = "Cable Len";

// What the page shows for a reading, and the command line prints. A value not read shows as the
// page shows it: the remote mode "N/A" before the first poll and "Disconnect" after it, the pair
// levels empty before it and "N/A" after it (coloured as level 0), the cable length "N/A", modes
// and sources empty, lamps off.
struct Display {
    QString localMode;
    QString remoteMode;
    QString localSource;
    QString remoteSource;
    QString cableLength;
    std::array<QString, kPairCount> pairLevels;
    // Each level in words: "Pair B: 1.10938, fault"; one not read "Pair B: N/A" (or "Pair B: ").
    std::array<QString, kPairCount> pairStates;
    std::array<LevelBand, kPairCount> pairBands{};
    std::array<Lamp, kSignalLampCount> lamps{}; // by SignalLamp
    Lamp ber = Lamp::Off;
};
Display DisplayOf(const Reading& reading);

// What each signal lamp stands for in a reading: a 5 V or HPD line shows on the two lamps that
// follow it through the unit. Nothing for a line that was not read.
std::array<std::optional<Lamp>, kSignalLampCount> SignalLampStates(const Reading& reading);
// The bit error rate's lamp; nothing when its level was not read.
std::optional<Lamp> BerLampState(const Reading& reading);

// "on", "marginal", "off".
QString LampWord(Lamp state);
// "5V from source(TX): on", "Video BER: marginal".
QString LampStateText(const QString& caption, Lamp state);

// The band of the level in words, from kLevelBandNames.
QString PairBandWord(float level);

// A reading as the command line prints it: both sides' mode and source, the lamps, the pair
// levels, the cable length, the bit error rate and the link, then the advice.
QStringList ReadingLines(const Reading& reading);

// "Faulty pairs marked: B (port 2)" or "No faulty pair".
QString FaultyPairsText(const PortFlags& faults);

} // namespace status
