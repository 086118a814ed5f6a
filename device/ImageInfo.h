#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The four bytes that identify a firmware build. A chip reports them for itself; inside an image
// they follow a marker, and a chip restarted on a new image reports the ones that image holds.
namespace regs {

inline constexpr std::array<uint8_t, 4> kImageInfoMarker{0x12, 0x34, 0xFE, 0xDC};
using InfoBytes = std::array<uint8_t, 4>;

// The bytes after the first marker in image, if marker and bytes lie wholly inside it.
inline std::optional<InfoBytes> FindInfoBytes(std::span<const uint8_t> image)
{
    const auto marker =
        std::search(image.begin(), image.end(), kImageInfoMarker.begin(), kImageInfoMarker.end());
    InfoBytes bytes{};
    if (image.end() - marker < static_cast<std::ptrdiff_t>(kImageInfoMarker.size() + bytes.size()))
        return std::nullopt;
    std::copy_n(marker + kImageInfoMarker.size(), bytes.size(), bytes.begin());
    return bytes;
}

} // namespace regs
