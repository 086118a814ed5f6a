#include "firmware/BlockTransfer.h"

#include "device/CommandFrames.h"
#include "firmware/FirmwareCommands.h"

namespace firmware {

BlockTransfer::BlockTransfer(std::shared_ptr<const Image> image)
    : m_image(std::move(image)), m_blocks(frames::DataChunkCount(m_image->size()))
{
}

BlockTransfer::Step BlockTransfer::SendNext(CHidCmd& channel)
{
    if (m_next >= m_blocks)
        return Step::NothingLeft;
    const frames::DataChunk block = frames::DataChunkAt(*m_image, m_next++);
    if (m_next == m_blocks) {
        ++m_count;
        return SendDataBlock(channel, block) ? Step::Completed : Step::LastRefused;
    }
    if (!SendDataBlock(channel, block))
        return Step::BlockRefused;
    ++m_count;
    return Step::Sent;
}

} // namespace firmware
