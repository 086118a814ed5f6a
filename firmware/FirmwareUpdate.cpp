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

Update::~Update()
{
    if (m_state == State::Ready && m_markedHere)
        m_marks.Mark(m_chip, false);
}

bool Update::Mark(CHidCmd& channel)
{
    m_marks = IncompleteMarks(channel);
    const bool unmarked = m_marks.State(m_chip) == MarkState::Clear;
    const bool stored = m_marks.Mark(m_chip, true);
    m_markedHere = unmarked && stored;
    return stored;
}

Update::State Update::Step(CHidCmd& channel)
{
    switch (m_state) {
    case State::Ready:
        return m_state = EraseFirmware(channel, m_chip) ? State::Erased : State::EraseRefused;
    case State::Erased:
        return m_state = BeginWrite(channel, m_chip) ? State::Running : State::BeginRefused;
    case State::Running: return SendBlock(channel);
    default: return m_state;
    }
}

Update::State Update::SendBlock(CHidCmd& channel)
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
