#include "firmware/IncompleteMarks.h"

#include <QUrl>

#include "device/HidCmd.h"
#include "firmware/UserSettings.h"

namespace firmware {

IncompleteMarks::IncompleteMarks(CHidCmd& channel)
{
    if (const CHidIO::Unit* unit = channel.Transport().Opened())
        m_unit = QString::fromStdString(unit->Identity());
}

bool IncompleteMarks::Marked(frames::Chip chip) const
{
    return !m_unit.isEmpty() && UserSettings().value(Key(chip)).toBool();
}

void IncompleteMarks::Mark(frames::Chip chip, bool incomplete)
{
    if (m_unit.isEmpty())
        return;
    // Where the file cannot be written, the mark still holds for the rest of this run.
    QSettings settings = UserSettings();
    if (incomplete)
        settings.setValue(Key(chip), true);
    else
        settings.remove(Key(chip));
}

QString IncompleteMarks::Key(frames::Chip chip) const
{
    // A path holds slashes, which the settings would take for groups.
    return "IncompleteImage/" + QUrl::toPercentEncoding(m_unit)
           + (chip == frames::Chip::Local ? "/local" : "/remote");
}

} // namespace firmware
