#pragma once
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// How the Status page turns register bytes into values. No widgets and no display rules here:
// the words a reading shows are made from these values in one place (StateText).
namespace status {

inline constexpr int kPairCount = 4;
using PortFlags = std::array<bool, kPairCount>; // port 1..4 = pair A..D, index 0..3

// The three images a lamp can show.
enum class Lamp { On, Marginal, Off };

// A chip's mode is the index it reports. Mode 8 is what a remote chip that does not answer shows.
inline constexpr uint8_t kDisconnectMode = 8;
// The mode's name; nothing for an index past the table.
std::optional<QString> ModeName(uint8_t mode);

// 1 and 2 name a source; anything else, the device's "none" and values it should not send alike,
// is no HDMI.
enum class Source { NoHdmi, HdmiWithoutHdcp, HdmiWithHdcp };
Source DecodeSource(uint8_t index);
QString SourceName(Source source);

// A pair's error level is raw / 64, kept as a float: 0 to 3.984375 in steps of 1/64.
float PairLevel(uint8_t raw);
QString PairLevelText(float level);
// Above this level a pair's port is faulty and its field red, i.e. raw 64 and over.
inline constexpr double kFaultyLevel = 0.99;
// Above this level, up to the faulty one, a pair's field is amber.
inline constexpr double kMarginalLevel = 0.8;
bool PortFaulty(float level);

// The band of a pair level: its field plain, amber or red.
enum class LevelBand { Good, Marginal, Fault };
LevelBand PairLevelBand(float level);

// The cable length both chips estimate, in metres, or the bound the chips cannot measure past.
struct CableLength {
    enum class Bound { None, Under, Over };
    int metres = 0;
    Bound bound = Bound::None;
    bool operator==(const CableLength&) const = default;
};
// From byte 3 of the local (a) and remote (b) cable length registers.
CableLength DecodeCableLength(uint8_t a, uint8_t b);
// "31m", "<20m", ">110m".
QString CableLengthText(const CableLength& length);

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
