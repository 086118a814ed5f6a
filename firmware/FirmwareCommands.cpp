#include "firmware/FirmwareCommands.h"

#include <QStringList>
#include <array>

#include "device/HidCmd.h"
#include "device/PageHost.h"
#include "device/StatusRegister.h"
#include "history/Recording.h"

namespace firmware {
bool EraseFirmware(CHidCmd& channel, frames::Chip chip)
{
    return channel.Acknowledges(frames::EraseFirmware(chip), frames::kCommandTimeoutMs,
                                frames::kFlashPauseMs);
}

bool BeginWrite(CHidCmd& channel, frames::Chip chip)
{
    return channel.Acknowledges(frames::BeginWrite(chip), frames::kCommandTimeoutMs, 0);
}

bool SendDataBlock(CHidCmd& channel, const frames::DataChunk& block)
{
    return channel.Acknowledges(block, frames::kChunkTimeoutMs, 0);
}

std::optional<DeviceInfoBlock> ReadIdentification(IRegisterReader& host, frames::Chip chip)
{
    RegisterData data{};
    const regs::Register reg =
        chip == frames::Chip::Local ? regs::kLocalIdentification : regs::kRemoteIdentification;
    if (!host.Read(reg, data.data()))
        return std::nullopt;
    DeviceInfoBlock block;
    std::copy_n(data.begin(), block.bytes.size(), block.bytes.begin());
    return block;
}

bool ResetChip(CHidCmd& channel, frames::Chip chip)
{
    return history::Recorded(
        channel, {.chip = frames::ChipWord(chip), .action = history::kRestart}, [&] {
            return channel.Acknowledges(frames::RestartChip(chip), frames::kCommandTimeoutMs,
                                        frames::kFlashPauseMs);
        });
}

const char* ResetDoneText(frames::Chip chip)
{
    return chip == frames::Chip::Local ? " Local Reset done." : " Remote Reset done.";
}

QString IdentificationLine(frames::Chip chip, const std::optional<DeviceInfoBlock>& block,
                           bool incomplete)
{
    const auto text = [&](std::string (DeviceInfoBlock::*part)() const) {
        return QString::fromStdString(block ? ((*block).*part)() : kNotKnown);
    };
    return QStringList{chip == frames::Chip::Local ? "Local (TX):" : "Remote (RX):",
                       text(&DeviceInfoBlock::ChipTypeName), text(&DeviceInfoBlock::RevisionText),
                       text(&DeviceInfoBlock::RoleText)}
               .join('\t')
           + (incomplete ? "\tincomplete image" : "");
}

} // namespace firmware
