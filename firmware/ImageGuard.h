#pragma once
#include <optional>
#include <string>

#include "firmware/DeviceInfo.h"

// The check before an image is written to a chip: an image built for another chip type or role
// can leave the unit unusable once the chip is erased and programmed.
namespace firmware {

inline constexpr const char* kImageGuardTitle = "Program this image?";

// The question to ask before the chip is erased, or nothing when the image's identification and
// the chip's name the same chip type and role. Either may be unknown: an image without an
// identification block, a chip that did not answer its identification read.
std::optional<std::string> ImageMismatch(const std::optional<DeviceInfoBlock>& image,
                                         const std::optional<DeviceInfoBlock>& chip);

} // namespace firmware
