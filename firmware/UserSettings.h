#pragma once
#include <QSettings>

// The user's settings: one file for the windows and the command line, whatever each program is
// called. It holds the chips' incomplete-image marks and the main window's choice of unit.
inline QSettings UserSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "TorvanReader", "TorvanReader");
}
