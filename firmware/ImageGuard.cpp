#include "firmware/ImageGuard.h"

namespace firmware {
namespace {

bool SameChip(const DeviceInfoBlock& a, const DeviceInfoBlock& b)
{
    return a.bytes[0] >> 4 == b.bytes[0] >> 4 && a.RoleText() == b.RoleText();
}

} // namespace

std::optional<Mismatch> ImageMismatch(const std::optional<DeviceInfoBlock>& image,
                                      const std::optional<DeviceInfoBlock>& chip)
{
    if (image && chip) {
        if (SameChip(*image, *chip))
            return std::nullopt;
        return Mismatch{"This image is for " + image->Described() + ", but the chip you chose is "
                        + chip->Described() + "."};
    }
    if (chip)
        return Mismatch{"This image holds no identification, so nothing tells whether it is for "
                        "the chip you chose, "
                        + chip->Described() + "."};
    if (image)
        return Mismatch{"The chip you chose did not tell what it is, so nothing tells whether this "
                        "image, for "
                        + image->Described() + ", fits it."};
    return Mismatch{"Neither this image nor the chip you chose tells what it is, so nothing tells "
                    "whether they fit."};
}

} // namespace firmware
