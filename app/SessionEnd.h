#pragma once
#include <QString>
#include <QtGlobal>
#include <functional>

class QWidget;

// The end of the user's session (logoff, shutdown) as a window hears it from the system, in its
// native events. While a job that must not be cut runs (hold gives its reason, empty when none
// does), the window holds the end off with that reason; when the session ends all the same, stop
// ends every job at once, at the step in hand, as closing the window does but without asking.
// False for any other message, which is left to Qt. Windows sends these to each top-level window;
// Linux ends a session's programs with SIGTERM instead.
bool HearSessionEnd(QWidget& window, void* message, qintptr* result,
                    const std::function<QString()>& hold, const std::function<void()>& stop);
