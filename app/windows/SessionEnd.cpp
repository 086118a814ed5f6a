#include "app/SessionEnd.h"

#include <windows.h>

bool HearSessionEnd(void* message, qintptr* result, const std::function<QString()>& hold,
                    const std::function<void()>& stop)
{
    // The window is named by the message: asking the widget for it would create it again while the
    // system is still creating it (the first messages come from inside CreateWindowEx).
    const auto* said = static_cast<const MSG*>(message);
    const HWND handle = said->hwnd;
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
