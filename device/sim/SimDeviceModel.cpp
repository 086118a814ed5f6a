#include "device/sim/SimDeviceModel.h"

#include <algorithm>

#include "device/ImageInfo.h"

namespace {

// A plausible pair: a QX710 transmitter and a QX720 receiver, firmware 3072.1.
constexpr std::array<uint8_t, 4> kLocalId{0x23, 0x07, 0x21, 0x10};
constexpr std::array<uint8_t, 4> kRemoteId{0x33, 0x07, 0x21, 0x00};

regs::Register IdentificationRegister(SimDeviceModel::Chip chip)
{
    return chip == SimDeviceModel::Local ? regs::kLocalIdentification : regs::kRemoteIdentification;
}

} // namespace

SimDeviceModel::SimDeviceModel()
{
    SetFlashSize(kDefaultFlashSize);
    SetIdentification(Local, kLocalId);
    SetIdentification(Remote, kRemoteId);
}

void SimDeviceModel::SetRegister(uint8_t group, uint8_t reg, std::vector<uint8_t> data)
{
    m_registers[{group, reg}] = std::move(data);
}

std::vector<uint8_t> SimDeviceModel::Register(uint8_t group, uint8_t reg) const
{
    const auto found = m_registers.find({group, reg});
    return found == m_registers.end() ? std::vector<uint8_t>{} : found->second;
}

void SimDeviceModel::RemoveRegister(uint8_t group, uint8_t reg)
{
    m_registers.erase({group, reg});
}

void SimDeviceModel::SetIdentification(Chip chip, std::array<uint8_t, 4> block)
{
    const regs::Register reg = IdentificationRegister(chip);
    SetRegister(reg.group, reg.number, {block.begin(), block.end()});
}

std::vector<uint8_t> SimDeviceModel::ChipState(Chip chip) const
{
    const regs::Register reg = IdentificationRegister(chip);
    std::vector<uint8_t> state = Register(reg.group, reg.number);
    state.resize(regs::InfoBytes{}.size());
    const std::vector<uint8_t>& flash = m_flash[chip];
    const auto erased =
        std::find_if(flash.rbegin(), flash.rend(), [](uint8_t b) { return b != 0xFF; });
    state.insert(state.end(), flash.begin(), erased.base());
    return state;
}

void SimDeviceModel::SetChipState(Chip chip, std::span<const uint8_t> state)
{
    regs::InfoBytes identification;
    if (state.size() < identification.size()
        || state.size() - identification.size() > m_flash[chip].size())
        return;
    std::copy_n(state.begin(), identification.size(), identification.begin());
    SetIdentification(chip, identification);
    std::fill(m_flash[chip].begin(), m_flash[chip].end(), 0xFF);
    std::copy(state.begin() + identification.size(), state.end(), m_flash[chip].begin());
}

void SimDeviceModel::SetFlashSize(size_t bytes)
{
    for (auto& flash : m_flash)
        flash.assign(bytes, 0xFF);
}

std::vector<uint8_t> SimDeviceModel::Answer(std::span<const uint8_t> payload)
{
    if (payload.size() == frames::DataChunk{}.size()
        && (payload[0] == frames::kChunkMore || payload[0] == frames::kChunkLast))
        return AnswerDataChunk(payload);

    if (payload.size() < 3 || payload[2] != frames::CheckByte(payload[0], payload[1]))
        return {kRefused};

    if (payload.size() == 4) {
        if (regs::Register{payload[0], payload[1]} != regs::kFailSafeSetting)
            return {kRefused};
        m_failSafe = payload[3];
        ++m_failSafeWrites;
        return {kAck};
    }
    if (payload.size() != 3)
        return {kRefused};
    return AnswerCommand(payload[0], payload[1]);
}

std::vector<uint8_t> SimDeviceModel::AnswerCommand(uint8_t group, uint8_t operation)
{
    if (regs::Register{group, operation} == regs::kConnectCheck)
        return {kAck, regs::kConnectedAnswer};

    if (group == regs::kStatusGroup1 || group == regs::kStatusGroup2) {
        const auto found = m_registers.find({group, operation});
        if (found == m_registers.end())
            return {kRefused};
        std::vector<uint8_t> answer{kAck};
        answer.insert(answer.end(), found->second.begin(), found->second.end());
        return answer;
    }

    const bool local = group == static_cast<uint8_t>(frames::Chip::Local);
    const bool remote = group == static_cast<uint8_t>(frames::Chip::Remote);
    if (!local && !remote)
        return {kRefused};
    const int chip = local ? Local : Remote;
    using Operation = frames::FirmwareOperation;
    switch (static_cast<Operation>(operation)) {
    case Operation::Erase:
        std::fill(m_flash[chip].begin(), m_flash[chip].end(), 0xFF);
        ++m_erases[chip];
        m_writeChip = -1;
        return {kAck};
    case Operation::BeginWrite:
        m_writeChip = chip;
        m_writeOffset = 0;
        return {kAck};
    case Operation::Restart:
        ++m_restarts[chip];
        m_writeChip = -1;
        // The chip runs what it holds now, and tells that build's identification from then on.
        if (const std::optional<regs::InfoBytes> info = regs::FindInfoBytes(m_flash[chip]))
            SetIdentification(static_cast<Chip>(chip), *info);
        return {kAck};
    default: return {kRefused};
    }
}

std::vector<uint8_t> SimDeviceModel::AnswerDataChunk(std::span<const uint8_t> chunk)
{
    if (m_writeChip < 0)
        return {kRefused};
    std::vector<uint8_t>& flash = m_flash[m_writeChip];
    if (m_writeOffset + frames::kChunkDataSize > flash.size())
        return {kRefused};
    // Programming clears bits only: without an erase first the flash keeps wrong bytes.
    for (size_t i = 0; i < frames::kChunkDataSize; ++i)
        flash[m_writeOffset + i] &= chunk[1 + i];
    m_writeOffset += frames::kChunkDataSize;
    if (chunk[0] == frames::kChunkLast)
        m_writeChip = -1;
    return {kAck};
}
