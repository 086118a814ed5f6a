#include "firmware/IncompleteMarks.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "device/HidCmd.h"
#include "firmware/OpenFile.h"
#include "firmware/UserSettings.h"

namespace firmware {
namespace {

// QSettings tells only that its file could not be read or written; the system's cause is found
// by opening the file as it would (mode "r" or "r+", neither of which creates it) and reading it.
QString FileAndCause(const QSettings& settings, const char* mode)
{
    errno = 0;
    std::FILE* file = OpenFile(QFileInfo(settings.fileName()).filesystemFilePath(), mode);
    int cause = file ? 0 : errno;
    if (file) {
        if (std::fgetc(file) == EOF && std::ferror(file))
            cause = errno;
        std::fclose(file);
    }
    return QDir::toNativeSeparators(settings.fileName()) + " ("
           + (cause ? QString::fromStdString(
                  std::error_code(cause, std::generic_category()).message())
                    : "it could not be used")
           + ")";
}

// Marks that could not be stored, by settings file and key, for the rest of this run.
QSet<QString>& UnstoredMarks()
{
    static QSet<QString> marks;
    return marks;
}

} // namespace

IncompleteMarks::IncompleteMarks(CHidCmd& channel)
{
    if (const CHidIO::Unit* unit = channel.Transport().Opened())
        m_unit = QString::fromStdString(unit->Identity());
}

MarkState IncompleteMarks::State(frames::Chip chip) const
{
    if (m_unit.isEmpty())
        return MarkState::Clear;
    const QSettings settings = UserSettings();
    if (UnstoredMarks().contains(settings.fileName() + Key(chip)))
        return MarkState::Incomplete;
    if (settings.status() != QSettings::NoError) {
        m_failure = FileAndCause(settings, "r");
        return MarkState::Unknown;
    }
    return settings.value(Key(chip)).toBool() ? MarkState::Incomplete : MarkState::Clear;
}

bool IncompleteMarks::Mark(frames::Chip chip, bool incomplete)
{
    if (m_unit.isEmpty())
        return true;
    QSettings settings = UserSettings();
    if (incomplete)
        settings.setValue(Key(chip), true);
    else
        settings.remove(Key(chip));
    settings.sync();
    const bool stored = settings.status() == QSettings::NoError;
    if (!stored)
        m_failure = FileAndCause(settings, "r+");
    const QString unstored = settings.fileName() + Key(chip);
    if (incomplete && !stored)
        UnstoredMarks().insert(unstored);
    else
        UnstoredMarks().remove(unstored);
    return stored;
}

QString IncompleteMarks::Key(frames::Chip chip) const
{
    // A path holds slashes, which the settings would take for groups.
    return "IncompleteImage/" + QUrl::toPercentEncoding(m_unit)
           + (chip == frames::Chip::Local ? "/local" : "/remote");
}

std::optional<QString> RestartQuestion(const IncompleteMarks& marks, frames::Chip chip)
{
    switch (marks.State(chip)) {
    case MarkState::Clear: return std::nullopt;
    case MarkState::Incomplete: return kRestartMarkedQuestion;
    case MarkState::Unknown: break;
    }
    return "Whether the last firmware update of this chip completed is not known: the marks in "
           + marks.Failure()
           + " cannot be read. If it did not complete, restarting the chip now may leave the unit "
             "unusable. Restart it anyway?";
}

QString UnmarkedQuestion(const QString& failure)
{
    return "The mark that this chip holds an incomplete image until the update completes cannot "
           "be stored in "
           + failure
           + ". If the update does not complete, a restart of the chip in a later session will "
             "not ask first. Program it anyway?";
}

} // namespace firmware
