#pragma once
#include <QString>

#include "device/CommandFrames.h"

class CHidCmd;

// Which chips hold an incomplete image, kept in the user's settings so that the window in a later
// session and the command line alike know what an update left behind. A unit is known by its
// serial number, so its marks follow it from port to port; two units that tell the same serial
// number are told apart by their paths, and one that tells none by its path alone.
namespace firmware {

// What the restart asks first on a marked chip, in the window and on the command line.
inline constexpr const char* kRestartMarkedTitle = "Restart the chip?";
inline constexpr const char* kRestartMarkedQuestion =
    "The last firmware update of this chip did not complete: it holds an incomplete image. "
    "Restarting it now may leave the unit unusable. Restart it anyway?";

class IncompleteMarks {
public:
    IncompleteMarks() = default; // no unit: nothing is marked, nothing is kept
    // The marks of the unit open on the channel.
    explicit IncompleteMarks(CHidCmd& channel);

    bool Marked(frames::Chip chip) const;
    void Mark(frames::Chip chip, bool incomplete);

private:
    QString Key(frames::Chip chip) const;

    QString m_unit;
};

} // namespace firmware
