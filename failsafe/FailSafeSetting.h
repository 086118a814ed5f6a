#pragma once
#include <cstdint>

// The fail-safe setting byte, from the most significant bit:
//   @7 enable  @6-5 wire quality index (0..3)  @4-3 video bit error (selection index + 1)
//   @2-0 time interval index (0..6)
namespace failsafe {

inline constexpr int kWireQualityItems = 4;
inline constexpr int kVideoBitErrorItems = 2;
inline constexpr int kTimeIntervalItems = 7;

// Selections at page start and after Default.
inline constexpr int kDefaultWireQuality = 1;
inline constexpr int kDefaultVideoBitError = 1;
inline constexpr int kDefaultTimeInterval = 3;

constexpr uint8_t SettingByte(bool enable, int wireQuality, int videoBitError, int timeInterval)
{
    return static_cast<uint8_t>((enable ? 128 : 0) + (wireQuality & 0x03) * 32
                                + ((videoBitError + 1) & 0x03) * 8 + (timeInterval & 0x07));
}

// What Off writes: the default selections with the fail-safe switched off.
inline constexpr uint8_t kOffSetting =
    SettingByte(false, kDefaultWireQuality, kDefaultVideoBitError, kDefaultTimeInterval);
static_assert(kOffSetting == 0x33);

} // namespace failsafe
