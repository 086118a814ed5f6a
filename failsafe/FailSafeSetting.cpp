#include "failsafe/FailSafeSetting.h"

#include "device/CommandFrames.h"
#include "device/HidCmd.h"
#include "history/Recording.h"

namespace failsafe {
namespace {

bool WriteSetting(CHidCmd& channel, uint8_t setting)
{
    return channel.Acknowledges(frames::FailSafeSetting(setting), frames::kCommandTimeoutMs, 0);
}

// The update history's row of a setting written.
history::Row SettingRow(const char* action, uint8_t setting)
{
    return {.action = action, .setting = QString::number(setting, 16)};
}

} // namespace

bool SwitchOn(CHidCmd& channel, uint8_t setting)
{
    return history::Recorded(channel, SettingRow(history::kFailSafeOn, setting),
                             [&] { return WriteSetting(channel, setting); });
}

bool SwitchOff(CHidCmd& channel)
{
    return history::Recorded(channel, SettingRow(history::kFailSafeOff, kOffSetting), [&] {
        WriteSetting(channel, kOffSetting);
        return WriteSetting(channel, kOffSetting);
    });
}

} // namespace failsafe
