#pragma once
#include <QString>
#include <array>
#include <cstdint>

// How the Status page turns register bytes into what it shows. No widgets here: the page only
// puts these results into its controls.
namespace status {

inline constexpr int kPairCount = 4;
using PortFlags = std::array<bool, kPairCount>; // port 1..4 = pair A..D, index 0..3

// The three images a lamp can show.
enum class Lamp { On, Marginal, Off };

// Mode names of both chips; an index past the table shows outOfRange (empty in the poll and in the
// local field at start-up, "N/A" in the remote field at start-up).
QString ModeText(uint8_t index, const QString& outOfRange = {});

// 1 and 2 name a source; anything else, the device's "none" and values it should not send alike,
// shows "No HDMI".
QString SourceTypeText(uint8_t index);

// A pair's error level is raw / 64, kept as a float: 0 to 3.984375 in steps of 1/64.
float PairLevel(uint8_t raw);
QString PairLevelText(float level);
// Above 0.99, i.e. raw 64 and over.
bool PortFaulty(float level);

// The colour band of a pair level field: amber above 0.8, red above 0.99.
enum class LevelBand { Normal, Amber, Red };
LevelBand PairLevelBand(float level);

// From byte 3 of the local (a) and remote (b) cable length registers.
QString CableLengthText(uint8_t a, uint8_t b);

// The local signal lines: the 5 V bit lights "5V from source(TX)" and "5V to link(TX)", the HPD
// bit "HPD from link(TX)".
struct LocalSignals {
    Lamp fiveVolt;
    Lamp hpd;
    bool operator==(const LocalSignals&) const = default;
};
LocalSignals DecodeLocalSignals(uint8_t bits);

// The remote signal lines: the 5 V bit lights "5V from link(RX)", the HPD bit "HPD from
// display(RX)" and "HPD to link(RX)".
struct RemoteSignals {
    Lamp fiveVolt;
    Lamp hpd;
    bool operator==(const RemoteSignals&) const = default;
};
RemoteSignals DecodeRemoteSignals(uint8_t bits);

// Video bit error rate level: clean, marginal or bad.
Lamp BerLamp(uint8_t level);

} // namespace status
