#include "device/StatusRegister.h"

#include <algorithm>

#include "device/CommandFrames.h"
#include "device/HidCmd.h"

bool ReadStatusRegister(CHidCmd& channel, uint8_t target, uint8_t reg, std::span<uint8_t> out)
{
    std::array<uint8_t, frames::kRegisterCapacity> response{};
    const auto command = frames::RegisterRead(target, reg);
    const std::optional<size_t> stored =
        channel.Execute(command, response, frames::kCommandTimeoutMs, 0);
    // An acknowledging answer holds at least its status byte.
    if (!stored || !channel.LastAcknowledged())
        return false;
    std::copy_n(response.begin() + 1, std::min(*stored - 1, out.size()), out.begin());
    return true;
}

bool AnswersConnectCheck(CHidCmd& channel)
{
    std::array<uint8_t, frames::kConnectCheckCapacity> response{};
    channel.Execute(frames::ConnectCheck(), response, frames::kCommandTimeoutMs, 0);
    return response[0] == frames::kStatusAck || response[1] == regs::kConnectedAnswer;
}

int RegisterSnapshot::GroupIndex(uint8_t group, uint8_t reg)
{
    if (reg >= kRegisters)
        return -1;
    if (group == regs::kStatusGroup1)
        return 0;
    if (group == regs::kStatusGroup2)
        return 1;
    return -1;
}

void RegisterSnapshot::Store(uint8_t group, uint8_t reg, std::span<const uint8_t> data)
{
    const int index = GroupIndex(group, reg);
    if (index < 0)
        return;
    Group& target = m_groups[index];
    std::copy_n(data.begin(), std::min(data.size(), kEntrySize), target.entries[reg].begin());
    target.valid[reg] = 1;
}

void RegisterSnapshot::MarkInvalid(uint8_t group, uint8_t reg)
{
    const int index = GroupIndex(group, reg);
    if (index >= 0)
        m_groups[index].valid[reg] = 0;
}

bool RegisterSnapshot::IsValid(uint8_t group, uint8_t reg) const
{
    const int index = GroupIndex(group, reg);
    return index >= 0 && m_groups[index].valid[reg] != 0;
}

const RegisterSnapshot::Entry& RegisterSnapshot::Data(uint8_t group, uint8_t reg) const
{
    static const Entry kEmpty{};
    const int index = GroupIndex(group, reg);
    return index >= 0 ? m_groups[index].entries[reg] : kEmpty;
}
