#include "firmware/FirmwareUpdate.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include "device/HidCmd.h"
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

QString Sha256Text(const Image& image)
{
    const QByteArrayView bytes(image.data(), qsizetype(image.size()));
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

Update::Update(std::shared_ptr<const Image> image, frames::Chip chip, Provenance provenance)
    : m_image(std::move(image)), m_chip(chip), m_provenance(std::move(provenance)),
      m_blocks(frames::DataChunkCount(m_image->size()))
{
}

Update::~Update()
{
    if (m_state == State::Ready && m_markedHere)
        m_marks.Mark(m_chip, false);
    if (m_recording.Running())
        m_recording.End(history::kStopped,
                        m_state == State::Erased
                            ? QString("after the erase")
                            : QString("after block %1 of %2").arg(m_count).arg(m_blocks),
                        qint64(m_count));
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
        m_recording = history::Recording(channel, StartRow());
        m_state = EraseFirmware(channel, m_chip) ? State::Erased : State::EraseRefused;
        break;
    case State::Erased:
        m_state = BeginWrite(channel, m_chip) ? State::Running : State::BeginRefused;
        break;
    case State::Running: SendBlock(channel); break;
    default: return m_state;
    }
    if (Ended())
        RecordEnd(channel);
    return m_state;
}

history::Row Update::StartRow() const
{
    history::Row row;
    row.chip = frames::ChipWord(m_chip);
    row.action = history::kProgram;
    row.imageFile = QFileInfo(m_provenance.file).fileName();
    row.imageBytes = qint64(m_image->size());
    row.imageSha256 = Sha256Text(*m_image);
    row.chipBefore = QString::fromStdString(IdentificationText(m_provenance.chipBefore));
    row.imageIdentification = QString::fromStdString(IdentificationText(FindImageInfo(*m_image)));
    return row;
}

void Update::RecordEnd(const CHidCmd& channel)
{
    if (m_state == State::Completed) {
        m_recording.End(history::kCompleted, {}, qint64(m_count));
        return;
    }
    const QString step =
        m_state == State::EraseRefused ? QString("the erase")
        : m_state == State::BeginRefused
            ? QString("the opening of the write")
            : QString("block %1 of %2").arg(std::min(m_count + 1, m_blocks)).arg(m_blocks);
    // The last block is counted as it is sent, before its answer.
    const size_t acknowledged =
        m_state == State::LastRefused && m_count > 0 ? m_count - 1 : m_count;
    m_recording.End(history::kFailed, step + ": " + QString::fromStdString(channel.HowLastFailed()),
                    qint64(acknowledged));
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
