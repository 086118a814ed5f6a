#pragma once
#include <QString>
#include <optional>

#include "device/CommandFrames.h"

class CHidCmd;

// Which chips hold an incomplete image, kept in the user's settings so that the window in a later
// session and the command line alike know what an update left behind. A chip's marks are kept
// under its unit's serial number, whatever other units are plugged in, so that they follow it
// from port to port; a unit that tells none is known by its path alone. Each mark notes where it
// was made: two units that tell the same serial number both count as marked while either is, and
// one of them clears only its own mark, so that a mark written is always found again.
namespace firmware {

// What the restart asks first on a marked chip, in the window and on the command line.
inline constexpr const char* kRestartMarkedTitle = "Restart the chip?";
inline constexpr const char* kRestartMarkedQuestion =
    "The last firmware update of this chip did not complete: it holds an incomplete image. "
    "Restarting it now may leave the unit unusable. Restart it anyway?";
// What an update asks first when the chip's mark cannot be stored.
inline constexpr const char* kUnmarkedTitle = "Update without a mark?";

// Whether a chip holds an incomplete image: not known when the settings cannot be read.
enum class MarkState { Clear, Incomplete, Unknown };

class IncompleteMarks {
public:
    IncompleteMarks() = default; // no unit: nothing is marked, nothing is kept
    // The marks of the unit open on the channel.
    explicit IncompleteMarks(CHidCmd& channel);

    // Unknown where the settings cannot be read; Failure() then says why.
    MarkState State(frames::Chip chip) const;
    // Stores the mark or clears it: false where the settings could not be written, and Failure()
    // says why. A mark that could not be stored still holds for the rest of this run.
    bool Mark(frames::Chip chip, bool incomplete);
    // The settings file and the system's cause ("…/TorvanReader.ini (Permission denied)").
    QString Failure() const { return m_failure; }

private:
    QString Key(frames::Chip chip) const;
    QString TwinsKey() const;

    QString m_unit; // the serial number, or the path where the unit tells none
    QString m_path;
    bool m_twin = false; // another unit present tells the same serial number
    mutable QString m_failure;
};

// The question before a restart of the chip, or none when its last update completed.
std::optional<QString> RestartQuestion(const IncompleteMarks& marks, frames::Chip chip);
// The question before an update whose mark could not be stored; failure as Failure() gives it.
QString UnmarkedQuestion(const QString& failure);

} // namespace firmware
