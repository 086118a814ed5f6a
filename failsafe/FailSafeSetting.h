#pragma once
#include <array>
#include <cstdint>

class CHidCmd;

// The fail-safe setting byte, from the most significant bit:
//   @7 enable  @6-5 wire quality index (0..3)  @4-3 video bit error (selection index + 1)
//   @2-0 time interval index (0..6)
namespace failsafe {

// The choices, by index, as the page lists them and the command line takes them.
inline constexpr std::array<const char*, 4> kWireQualities{"48", "64", "72", "86"};
inline constexpr std::array<const char*, 2> kVideoBitErrors{"1e-8", "1e-9"};
inline constexpr std::array<const char*, 7> kTimeIntervals{"5", "10", "20", "30", "40", "50", "60"};

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

// The state the page shows and the command line prints once the device took the setting, and
// what both say when it did not.
inline constexpr const char* kEnabledText = "Fail-Safe Enable";
inline constexpr const char* kDisabledText = "Fail-Safe Disable";
inline constexpr const char* kFailedText = "Fail!";

// Both are kept in the update history.
// On writes setting, made with the enable bit; true when the device acknowledged it.
bool SwitchOn(CHidCmd& channel, uint8_t setting);
// Off writes the off setting twice in a row; the second answer decides.
bool SwitchOff(CHidCmd& channel);

} // namespace failsafe
