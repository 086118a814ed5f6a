#include "firmware/FirmwareUpdate.h"

#include "firmware/FirmwareCommands.h"

namespace firmware {

const char* EndText(Update::State state)
{
    switch (state) {
    case Update::State::Completed: return "Firmware update Completed!";
    case Update::State::EraseRefused: return "Erase Fail!";
    case Update::State::BeginRefused: return "Write Fail!";
    case Update::State::BlockRefused: return "No 0xaa!";
    default: return "Fail!";
    }
}

Update::Update(std::shared_ptr<const Image> image, frames::Chip chip)
    : m_image(std::move(image)), m_chip(chip), m_blocks(frames::DataChunkCount(m_image->size()))
{
}

Update::State Update::Start(CHidCmd& channel)
{
    m_marks = IncompleteMarks(channel);
    m_marks.Mark(m_chip, true);
    if (!EraseFirmware(channel, m_chip))
        return m_state = State::EraseRefused;
    if (!BeginWrite(channel, m_chip))
        return m_state = State::BeginRefused;
    return m_state = State::Running;
}

Update::State Update::Step(CHidCmd& channel)
{
    if (m_next >= m_blocks)
        return m_state = State::LastRefused; // nothing to send: the image was empty
    const frames::DataChunk block = frames::DataChunkAt(*m_image, m_next++);
    if (m_next == m_blocks) {
        ++m_count;
        if (!SendDataBlock(channel, block))
            return m_state = State::LastRefused;
        m_marks.Mark(m_chip, false);
        return m_state = State::Completed;
    }
    if (!SendDataBlock(channel, block))
        return m_state = State::BlockRefused;
    ++m_count;
    return m_state;
}

} // namespace firmware
