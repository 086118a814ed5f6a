#include "device/CommandFrames.h"

#include <algorithm>

namespace frames {

DataChunk DataChunkAt(std::span<const uint8_t> image, size_t index)
{
    DataChunk chunk;
    chunk.fill(0xFF);
    const size_t offset = index * kChunkDataSize;
    const size_t count = std::min(kChunkDataSize, image.size() - offset);
    chunk[0] = offset + count >= image.size() ? kChunkLast : kChunkMore;
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), count, chunk.begin() + 1);
    return chunk;
}

} // namespace frames
