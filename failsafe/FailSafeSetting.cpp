#include "failsafe/FailSafeSetting.h"

#include "device/CommandFrames.h"
#include "device/HidCmd.h"

namespace failsafe {

bool WriteSetting(CHidCmd& channel, uint8_t setting)
{
    std::array<uint8_t, frames::kRegisterCapacity> response{};
    size_t stored = 0;
    return channel.Execute(frames::FailSafeSetting(setting), response, frames::kCommandTimeoutMs, 0,
                           &stored)
           && stored > 0 && response[0] == frames::kStatusAck;
}

bool SwitchOff(CHidCmd& channel)
{
    WriteSetting(channel, kOffSetting);
    return WriteSetting(channel, kOffSetting);
}

} // namespace failsafe
