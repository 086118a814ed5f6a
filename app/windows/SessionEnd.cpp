#include "app/SessionEnd.h"

#include <QWidget>
#include <windows.h>

bool HearSessionEnd(QWidget& window, void* message, qintptr* result,
                    const std::function<QString()>& hold, const std::function<void()>& stop)
{
    const auto* said = static_cast<const MSG*>(message);
    const auto handle = reinterpret_cast<HWND>(window.winId());
    if (said->message == WM_QUERYENDSESSION) {
        const QString reason = hold();
        if (reason.isEmpty())
            return false; // Qt answers: the session may end
        ShutdownBlockReasonCreate(handle, reinterpret_cast<const wchar_t*>(reason.utf16()));
        *result = FALSE;
        return true;
    }
    if (said->message == WM_ENDSESSION) {
        ShutdownBlockReasonDestroy(handle);
        if (said->wParam)
            stop();
    }
    return false; // Qt hears the end too
}
