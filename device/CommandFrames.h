#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/RegisterMap.h"

// Every command payload that the program sends the extender, with the transaction parameters each
// is sent with. Three-byte commands are {group, operation, check}, the check byte being the 8-bit
// sum of group and operation; the fail-safe write adds an unchecked value byte.
namespace frames {

inline constexpr uint8_t kStatusAck = 0xAA;

// A chip's firmware commands are sent in the chip's own group.
enum class Chip : uint8_t { Local = 0x03, Remote = 0x04 };
// "local" or "remote": as the command line names a chip, and the update history keeps it.
constexpr const char* ChipWord(Chip chip)
{
    return chip == Chip::Local ? "local" : "remote";
}
enum class FirmwareOperation : uint8_t { Erase = 0x02, BeginWrite = 0x03, Restart = 0x04 };

inline constexpr size_t kConnectCheckCapacity = 15;
inline constexpr size_t kRegisterCapacity = 30;
inline constexpr uint32_t kCommandTimeoutMs = 1000;
inline constexpr uint32_t kChunkTimeoutMs = 3000;
inline constexpr uint32_t kFlashPauseMs = 1000; // erase and restart answer only after this

using Command3 = std::array<uint8_t, 3>;
using Command4 = std::array<uint8_t, 4>;

constexpr uint8_t CheckByte(uint8_t group, uint8_t operation)
{
    return static_cast<uint8_t>(group + operation);
}

constexpr Command3 Command(uint8_t group, uint8_t operation)
{
    return {group, operation, CheckByte(group, operation)};
}

constexpr Command3 ConnectCheck()
{
    return Command(regs::kConnectCheck.group, regs::kConnectCheck.number);
}
constexpr Command3 RegisterRead(uint8_t group, uint8_t reg)
{
    return Command(group, reg);
}
constexpr Command3 FirmwareCommand(Chip chip, FirmwareOperation operation)
{
    return Command(static_cast<uint8_t>(chip), static_cast<uint8_t>(operation));
}
constexpr Command3 EraseFirmware(Chip chip)
{
    return FirmwareCommand(chip, FirmwareOperation::Erase);
}
constexpr Command3 BeginWrite(Chip chip)
{
    return FirmwareCommand(chip, FirmwareOperation::BeginWrite);
}
constexpr Command3 RestartChip(Chip chip)
{
    return FirmwareCommand(chip, FirmwareOperation::Restart);
}

constexpr Command4 FailSafeSetting(uint8_t value)
{
    const Command3 head = Command(regs::kFailSafeSetting.group, regs::kFailSafeSetting.number);
    return {head[0], head[1], head[2], value};
}

// Firmware data chunk: @0 marker (0xAA more follow, 0xBB last)  @1..32 image bytes, the last chunk
// filled up with 0xFF.
inline constexpr size_t kChunkDataSize = 32;
inline constexpr uint8_t kChunkMore = 0xAA;
inline constexpr uint8_t kChunkLast = 0xBB;
using DataChunk = std::array<uint8_t, 1 + kChunkDataSize>;

constexpr size_t DataChunkCount(size_t imageSize)
{
    return (imageSize + kChunkDataSize - 1) / kChunkDataSize;
}

// Chunk number index of image; index must be below DataChunkCount(image.size()).
DataChunk DataChunkAt(std::span<const uint8_t> image, size_t index);

} // namespace frames
