#include "device/Waitable.h"

#include <windows.h>

bool AwaitReady(WaitHandle handle, std::chrono::milliseconds wait)
{
    const auto ms = static_cast<DWORD>(wait.count() > 0 ? wait.count() : 0);
    if (handle == kNoWaitHandle) {
        Sleep(ms);
        return false;
    }
    return WaitForSingleObject(handle, ms) == WAIT_OBJECT_0;
}

// A manual-reset event: it stays signalled from Raise until Clear, as the Linux eventfd stays
// readable.
WakeSignal::WakeSignal() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WakeSignal::~WakeSignal()
{
    if (m_handle)
        CloseHandle(m_handle);
}

void WakeSignal::Raise()
{
    SetEvent(m_handle);
}

void WakeSignal::Clear()
{
    ResetEvent(m_handle);
}
