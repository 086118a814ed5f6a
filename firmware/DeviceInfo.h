#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The four bytes that identify a firmware build. A chip reports them for itself; inside an image
// they follow the marker 12 34 FE DC.
//
// @0 bits 7..4 chip type (1 QX740, 2 QX710, 3 QX720; anything else has no name), bits 3..0 the
//    first revision digit  @1 second and third digits  @2 fourth digit, then the digit after the
//    point  @3 bit 4 role: set TX, clear RX
namespace firmware {

struct DeviceInfoBlock {
    std::array<uint8_t, 4> bytes{};

    std::string ChipTypeName() const;
    std::string RoleText() const;
    // Six characters, e.g. "3072.1" for 23 07 21.
    std::string RevisionText() const;
    // "QX720 RX"; a type without a name by its number.
    std::string Described() const;
};

// What the update history keeps of an identification: "QX720 RX 3072.1", or nothing.
std::string IdentificationText(const std::optional<DeviceInfoBlock>& info);

// What stands for an identification that is not known.
inline constexpr const char* kNotKnown = "N/A";
// What the Firmware page and flash show of an image's identification: "QX710TX" and "3072.1",
// or kNotKnown for an image that holds none.
std::string ImageTypeText(const std::optional<DeviceInfoBlock>& info);
std::string ImageRevisionText(const std::optional<DeviceInfoBlock>& info);

// Two lower-case hex digits, high nibble first.
std::string ByteToHex(uint8_t value);

// The block after the first marker in image, if marker and block lie wholly inside it.
std::optional<DeviceInfoBlock> FindImageInfo(std::span<const uint8_t> image);

} // namespace firmware
