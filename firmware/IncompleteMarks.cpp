#include "firmware/IncompleteMarks.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <system_error>

#include "device/HidCmd.h"
#include "firmware/UserSettings.h"

namespace firmware {
namespace {

// QSettings tells only that its file could not be read or written; the system's cause is found
// by opening the file as it would (mode "r" or "r+", neither of which creates it) and reading it.
QString FileAndCause(const QSettings& settings, const char* mode)
{
    errno = 0;
    std::FILE* file = std::fopen(QFile::encodeName(settings.fileName()).constData(), mode);
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

// Marks that could not be stored, by settings file and key, for the rest of this run; units
// updated at once mark from threads of their own.
class UnstoredMarks {
public:
    static bool Holds(const QString& mark)
    {
        std::lock_guard lock(s_mutex);
        return s_marks.contains(mark);
    }
    static void Keep(const QString& mark, bool unstored)
    {
        std::lock_guard lock(s_mutex);
        if (unstored)
            s_marks.insert(mark);
        else
            s_marks.remove(mark);
    }

private:
    static inline std::mutex s_mutex;
    static inline QSet<QString> s_marks;
};

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
    if (UnstoredMarks::Holds(settings.fileName() + Key(chip)))
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
    UnstoredMarks::Keep(settings.fileName() + Key(chip), incomplete && !stored);
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
