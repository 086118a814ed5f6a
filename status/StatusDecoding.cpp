#include "status/StatusDecoding.h"

#include "device/RegisterMap.h"

namespace status {
namespace {

constexpr std::array<const char*, 10> kModeNames{
    "BYPASS", "FB", "Reserved", "Reserved",   "LPPF1",
    "LPPF2",  "LR", "HDBT",     "Disconnect", "Reserved",
};

constexpr std::array<const char*, 3> kSourceTypeNames{
    "No HDMI",
    "HDMI without HDCP/ DVI",
    "HDMI with HDCP",
};

// What the chips tell apart: a cable shorter than the first, or longer than the second.
constexpr int kShortestMeasured = 20;
constexpr int kLongestMeasured = 110;

Lamp OnWhen(bool lit)
{
    return lit ? Lamp::On : Lamp::Off;
}

} // namespace

std::optional<QString> ModeName(uint8_t mode)
{
    if (mode < kModeNames.size())
        return kModeNames[mode];
    return std::nullopt;
}

Source DecodeSource(uint8_t index)
{
    return index == 1 || index == 2 ? Source(index) : Source::NoHdmi;
}

QString SourceName(Source source)
{
    return kSourceTypeNames[static_cast<size_t>(source)];
}

float PairLevel(uint8_t raw)
{
    return static_cast<float>(raw * 0.015625);
}

QString PairLevelText(float level)
{
    return QString::asprintf("%.5f", static_cast<double>(level));
}

bool PortFaulty(float level)
{
    return static_cast<double>(level) > kFaultyLevel;
}

LevelBand PairLevelBand(float level)
{
    if (PortFaulty(level))
        return LevelBand::Fault;
    if (static_cast<double>(level) > kMarginalLevel)
        return LevelBand::Marginal;
    return LevelBand::Good;
}

CableLength DecodeCableLength(uint8_t a, uint8_t b)
{
    using enum CableLength::Bound;
    if (a == regs::kCableOutOfRange || b == regs::kCableOutOfRange)
        return {kLongestMeasured, Over};
    if (a != 0 && b != 0)
        return {(a + b) / 2, None};
    return {kShortestMeasured, Under};
}

QString CableLengthText(const CableLength& length)
{
    using enum CableLength::Bound;
    const char* bound = length.bound == Over ? ">" : length.bound == Under ? "<" : "";
    return QString("%1%2m").arg(bound).arg(length.metres);
}

LocalSignals DecodeLocalSignals(uint8_t bits)
{
    return {OnWhen(bits & regs::kLocalFiveVoltBit), OnWhen(bits & regs::kLocalHpdBit)};
}

RemoteSignals DecodeRemoteSignals(uint8_t bits)
{
    return {OnWhen(bits & regs::kRemoteFiveVoltBit), OnWhen(bits & regs::kRemoteHpdBit)};
}

Lamp BerLamp(uint8_t level)
{
    if (level >= regs::kBitErrorClean)
        return Lamp::On;
    if (level == regs::kBitErrorMarginal)
        return Lamp::Marginal;
    return Lamp::Off;
}

} // namespace status
