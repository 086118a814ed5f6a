#include "firmware/IncompleteMarks.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUrl>
#include <cstdio>
#include <mutex>
#include <system_error>

#include "device/HidCmd.h"
#include "device/SystemError.h"
#include "firmware/OpenFile.h"
#include "firmware/UserSettings.h"

namespace firmware {
namespace {

// QSettings tells only that its file could not be read or written; the system's cause is found
// by opening the file as it would (mode "r" or "r+", neither of which creates it) and reading it.
QString FileAndCause(const QSettings& settings, const char* mode)
{
    const std::filesystem::path path = QFileInfo(settings.fileName()).filesystemFilePath();
    ClearFileError();
    std::FILE* file = OpenFile(path, mode);
    std::error_code cause = file ? std::error_code() : LastFileError();
    if (file) {
        if (std::fgetc(file) == EOF && std::ferror(file))
            cause = LastFileError();
        std::fclose(file);
    }
    return QDir::toNativeSeparators(settings.fileName()) + " ("
           + (cause ? QString::fromStdString(cause.message()) : "it could not be used") + ")";
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
    if (const CHidIO::Unit* unit = channel.Transport().Opened()) {
        const std::string& serial = unit->attributes.serial;
        m_unit = QString::fromStdString(serial.empty() ? unit->path : serial);
        m_path = QString::fromStdString(unit->path);
        m_twin = unit->serialShared;
    }
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
    // Where the chip was marked; a mark of an earlier version reads as "true".
    return settings.value(Key(chip)).toStringList().isEmpty() ? MarkState::Clear
                                                              : MarkState::Incomplete;
}

bool IncompleteMarks::Mark(frames::Chip chip, bool incomplete)
{
    if (m_unit.isEmpty())
        return true;
    QSettings settings = UserSettings();
    if (m_twin)
        settings.setValue(TwinsKey(), true);
    QStringList marked = settings.value(Key(chip)).toStringList();
    if (incomplete && !marked.contains(m_path))
        marked.append(m_path);
    // Alone with its serial number, a unit's marks are all its own, wherever it was plugged in
    // when they were made; a twin's are left to the twin.
    else if (!incomplete && settings.value(TwinsKey()).toBool())
        marked.removeAll(m_path);
    else if (!incomplete)
        marked.clear();
    if (marked.isEmpty())
        settings.remove(Key(chip));
    else
        settings.setValue(Key(chip), marked);
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

// Set once the unit's serial number was seen on two units at once; kept for good.
QString IncompleteMarks::TwinsKey() const
{
    return "IncompleteImage/" + QUrl::toPercentEncoding(m_unit) + "/twins";
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
