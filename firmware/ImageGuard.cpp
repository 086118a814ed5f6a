#include "firmware/ImageGuard.h"

namespace firmware {
namespace {

constexpr const char* kRisk = " Programming it may leave the unit unusable. Program it anyway?";

// "QX720 RX"; a type without a name by its number.
std::string Describe(const DeviceInfoBlock& block)
{
    const std::string name = block.ChipTypeName();
    return (name.empty() ? "chip type " + std::to_string(block.bytes[0] >> 4) : name) + " "
           + block.RoleText();
}

bool SameChip(const DeviceInfoBlock& a, const DeviceInfoBlock& b)
{
    return a.bytes[0] >> 4 == b.bytes[0] >> 4 && a.RoleText() == b.RoleText();
}

} // namespace

std::optional<std::string> ImageMismatch(const std::optional<DeviceInfoBlock>& image,
                                         const std::optional<DeviceInfoBlock>& chip)
{
    if (image && chip) {
        if (SameChip(*image, *chip))
            return std::nullopt;
        return "This image is for " + Describe(*image) + ", but the chip you chose is "
               + Describe(*chip) + "." + kRisk;
    }
    if (chip)
        return "This image holds no identification, so nothing tells whether it is for the chip "
               "you chose, "
               + Describe(*chip) + "." + kRisk;
    if (image)
        return "The chip you chose did not tell what it is, so nothing tells whether this image, "
               "for "
               + Describe(*image) + ", fits it." + kRisk;
    return std::string("Neither this image nor the chip you chose tells what it is, so nothing "
                       "tells whether they fit.")
           + kRisk;
}

} // namespace firmware
