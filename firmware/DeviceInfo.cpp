#include "firmware/DeviceInfo.h"

#include "device/ImageInfo.h"

namespace firmware {
namespace {

constexpr std::array<const char*, 4> kChipNames{"", "QX740", "QX710", "QX720"};
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr uint8_t kTransmitterBit = 0x10;

} // namespace

std::string ByteToHex(uint8_t value)
{
    return {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
}

std::string DeviceInfoBlock::ChipTypeName() const
{
    const size_t index = bytes[0] >> 4;
    return index < kChipNames.size() ? kChipNames[index] : "";
}

std::string DeviceInfoBlock::RoleText() const
{
    return bytes[3] & kTransmitterBit ? "TX" : "RX";
}

std::string DeviceInfoBlock::RevisionText() const
{
    const std::string b2 = ByteToHex(bytes[2]);
    return ByteToHex(bytes[0]).substr(1) + ByteToHex(bytes[1]) + b2[0] + "." + b2[1];
}

std::string DeviceInfoBlock::Described() const
{
    const std::string name = ChipTypeName();
    return (name.empty() ? "chip type " + std::to_string(bytes[0] >> 4) : name) + " " + RoleText();
}

std::string IdentificationText(const std::optional<DeviceInfoBlock>& info)
{
    return info ? info->Described() + " " + info->RevisionText() : "";
}

std::string ImageTypeText(const std::optional<DeviceInfoBlock>& info)
{
    return info ? info->ChipTypeName() + info->RoleText() : kNotKnown;
}

std::string ImageRevisionText(const std::optional<DeviceInfoBlock>& info)
{
    return info ? info->RevisionText() : kNotKnown;
}

std::optional<DeviceInfoBlock> FindImageInfo(std::span<const uint8_t> image)
{
    const std::optional<regs::InfoBytes> bytes = regs::FindInfoBytes(image);
    return bytes ? std::optional(DeviceInfoBlock{*bytes}) : std::nullopt;
}

} // namespace firmware
