#pragma once
#include <optional>
#include <string>

#include "firmware/DeviceInfo.h"

// The check before an image is written to a chip: an image built for another chip type or role
// can leave the unit unusable once the chip is erased and programmed.
namespace firmware {

inline constexpr const char* kImageGuardTitle = "Program this image?";

// What the check found, and what it risks: the window asks the question, the command line
// refuses with the warning unless told to go on.
struct Mismatch {
    std::string found; // "This image is for QX720 RX, but the chip you chose is QX710 TX."

    // "... Programming it may leave the unit unusable."
    std::string Warning() const { return found + " Programming it may leave the unit unusable."; }
    // "... Program it anyway?"
    std::string Question() const { return Warning() + " Program it anyway?"; }
};

// Nothing when the image's identification and the chip's name the same chip type and role. Either
// may be unknown: an image without an identification block, a chip that did not answer its
// identification read.
std::optional<Mismatch> ImageMismatch(const std::optional<DeviceInfoBlock>& image,
                                      const std::optional<DeviceInfoBlock>& chip);

} // namespace firmware
