#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A firmware image: the flat bytes programmed into a chip, from address 0 on.
namespace firmware {

using Image = std::vector<uint8_t>;

// Chips take no more than this; a file that would need more is refused.
inline constexpr size_t kMaxImageSize = 16 * 1024 * 1024;

} // namespace firmware
