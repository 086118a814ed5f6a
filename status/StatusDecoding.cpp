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

Lamp OnWhen(bool lit)
{
    return lit ? Lamp::On : Lamp::Off;
}

} // namespace

QString ModeText(uint8_t index, const QString& outOfRange)
{
    return index < kModeNames.size() ? QString(kModeNames[index]) : outOfRange;
}

QString SourceTypeText(uint8_t index)
{
    return index == 1 || index == 2 ? kSourceTypeNames[index] : kSourceTypeNames[0];
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
    return static_cast<double>(level) > 0.99;
}

LevelBand PairLevelBand(float level)
{
    const double value = level;
    if (value > 0.99)
        return LevelBand::Red;
    if (value > 0.8)
        return LevelBand::Amber;
    return LevelBand::Normal;
}

QString CableLengthText(uint8_t a, uint8_t b)
{
    if (a == regs::kCableOutOfRange || b == regs::kCableOutOfRange)
        return ">110m";
    if (a != 0 && b != 0)
        return QString::asprintf("%dm", (a + b) / 2);
    return "<20m";
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
