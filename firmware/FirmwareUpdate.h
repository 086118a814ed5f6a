#pragma once
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>

#include "device/CommandFrames.h"
#include "firmware/DeviceInfo.h"
#include "firmware/FirmwareImage.h"
#include "firmware/IncompleteMarks.h"
#include "history/Recording.h"

class CHidCmd;

// One firmware update of a chip: erase it, open the write sequence, then send the image in
// 32-byte blocks in image order, one block per step, the last one marked and filled up with 0xFF.
// The Firmware page and the command line run the same update at the same pace, and stop it only
// between two steps. It keeps its own reference to the image, so loading another file cannot
// change the bytes under it. The chip is marked incomplete in the user's settings before the
// erase and cleared only once the last block is acknowledged, so that an update stopped or failed
// in any way, or a program that died, leaves the mark. The update history gets its row just
// before the erase and its end after the last step, never one per block.
namespace firmware {

// What the update history keeps of an update besides the image: the file it was loaded from, and
// what the chip said it was before.
struct Provenance {
    QString file;
    std::optional<DeviceInfoBlock> chipBefore;
};

class Update {
public:
    enum class State {
        Ready,        // nothing sent yet
        Erased,       // the erase was acknowledged, the write sequence is not open yet
        Running,      // blocks are still to be sent
        Completed,    // the last block was acknowledged
        EraseRefused, // these ended it: the chip may hold an incomplete image
        BeginRefused,
        BlockRefused, // a block with more after it
        LastRefused,
    };

    Update(std::shared_ptr<const Image> image, frames::Chip chip, Provenance provenance);
    // An update that sent nothing takes back the mark it stored; one that ends here, between two
    // steps, is recorded as stopped there.
    ~Update();
    Update(const Update&) = delete;
    Update& operator=(const Update&) = delete;

    // Marks the chip incomplete, first of all: false when the mark could not be stored
    // (MarkFailure says why); the update may go on without it.
    bool Mark(CHidCmd& channel);
    QString MarkFailure() const { return m_marks.Failure(); }
    // The next step: the erase, then the opening of the write sequence, then the next block.
    State Step(CHidCmd& channel);

    State Now() const { return m_state; }
    // The erase or the opening of the write sequence is still to come.
    bool Starting() const { return m_state == State::Ready || m_state == State::Erased; }
    bool Ended() const { return !Starting() && m_state != State::Running; }
    frames::Chip Chip() const { return m_chip; }
    // Blocks acknowledged so far, the last block counted as soon as it is sent.
    size_t Count() const { return m_count; }
    size_t Blocks() const { return m_blocks; }

private:
    State SendBlock(CHidCmd& channel);
    history::Row StartRow() const;
    void RecordEnd(const CHidCmd& channel);

    std::shared_ptr<const Image> m_image;
    frames::Chip m_chip;
    Provenance m_provenance;
    history::Recording m_recording;
    IncompleteMarks m_marks;
    bool m_markedHere = false; // the mark was stored by this update, not left by an earlier one
    size_t m_blocks;
    size_t m_next = 0;
    size_t m_count = 0;
    State m_state = State::Ready;
};

// The image's SHA-256 in lower-case hex, as flash shows it and the update history keeps it.
QString Sha256Text(const Image& image);

// What an ended update says first: "Firmware update Completed!", or what refused it ("Erase
// Fail!", "Write Fail!", "No 0xaa!" for a block with more after it, "Fail!" for the last).
const char* EndText(Update::State state);

// An empty image is refused before the erase: nothing would be written to the erased chip.
inline constexpr const char* kEmptyImageRefusal = "The image holds no data: nothing to program!";

// Asked before a running update is stopped, by closing its window or by Ctrl-C.
inline constexpr const char* kStopTitle = "Stop the firmware update?";
inline constexpr const char* kStopQuestion =
    "A firmware update is running. Stopping now leaves the chip without working firmware. Stop it?";

// What the system shows of a program that holds off the end of the user's session while it
// programs a chip.
inline constexpr const char* kSessionEndHold = "Updating the extender's firmware";

// The programming tick: a block every 5 ms, the time the extender may need to write it.
inline constexpr std::chrono::milliseconds kBlockPeriod{5};

// When the next block is due: a period after this one was due, or after it was sent where that
// was later (after a slow answer, on a busy machine). So no block ever goes sooner than a whole
// period after the one before, and a late block is never made up by sending the next ones closer.
template <typename Duration>
constexpr Duration NextBlockDue(Duration due, Duration sent, Duration period)
{
    return std::max(due, sent) + period;
}

} // namespace firmware
