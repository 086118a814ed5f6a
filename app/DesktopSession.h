#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Stands by while the application object opens the display. Without one (no desktop session, as
// over ssh, or a display that cannot be opened) Qt would end the program with an abort and advice
// to reinstall it; instead the program says that it needs a desktop session and that the command
// line does every job without one, and exits 1. What Qt said meanwhile is passed on once the
// display is open.
class DesktopSession {
public:
    explicit DesktopSession(const char* program);
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // What the user reads instead of Qt's abort; cause is Qt's first word on the display.
    static QString NoDisplayText(const QString& program, const QString& cause);

private:
    static void Hold(QtMsgType type, const QMessageLogContext& context, const QString& text);
    QtMessageHandler m_previous;
};
