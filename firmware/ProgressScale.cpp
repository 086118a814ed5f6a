#include "firmware/ProgressScale.h"

#include <algorithm>
#include <cstdint>

namespace firmware {

ProgressScale::ProgressScale(size_t blocks)
    : m_blocks(blocks), m_maximum(static_cast<int>(std::min<size_t>(blocks, kMaxRange)))
{
}

int ProgressScale::Position(size_t count) const
{
    if (m_blocks == 0)
        return 0;
    count = std::min(count, m_blocks);
    return static_cast<int>(static_cast<uint64_t>(count) * static_cast<uint64_t>(m_maximum)
                            / m_blocks);
}

} // namespace firmware
