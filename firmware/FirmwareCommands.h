#pragma once
#include <QString>
#include <optional>

#include "device/CommandFrames.h"
#include "firmware/DeviceInfo.h"

class CHidCmd;
class IRegisterReader;

// The firmware commands on the command channel, each true when the chip acknowledged it.
namespace firmware {

// Answers only after the flash pause.
bool EraseFirmware(CHidCmd& channel, frames::Chip chip);
// Opens a write sequence: data blocks follow in image order.
bool BeginWrite(CHidCmd& channel, frames::Chip chip);
bool SendDataBlock(CHidCmd& channel, const frames::DataChunk& block);
// Restarts the chip on its firmware; answers only after the flash pause.
bool ResetChip(CHidCmd& channel, frames::Chip chip);
// What the user is told of a restart, in the window and on the command line.
inline constexpr const char* kResetFailed = "Reset Fail.";
const char* ResetDoneText(frames::Chip chip);
// What the chip reports about its firmware, through the register read; nothing when it does not
// answer.
std::optional<DeviceInfoBlock> ReadIdentification(IRegisterReader& host, frames::Chip chip);
// "Local (TX):\tQX710\t3072.1\tTX", and "\tincomplete image" after a chip that holds one; N/A for
// what was not read.
QString IdentificationLine(frames::Chip chip, const std::optional<DeviceInfoBlock>& block,
                           bool incomplete);

} // namespace firmware
