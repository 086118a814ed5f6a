#include "device/Waitable.h"

#include <windows.h>

// CreateWaitableTimerExW's flag for a timer to the millisecond (Windows 10 1803's SDK).
constexpr DWORD kHighResolutionTimer = 0x00000002;

bool AwaitReady(WaitHandle handle, std::chrono::milliseconds wait)
{
    const auto ms = static_cast<DWORD>(wait.count() > 0 ? wait.count() : 0);
    if (handle == kNoWaitHandle) {
        Sleep(ms);
        return false;
    }
    return WaitForSingleObject(handle, ms) == WAIT_OBJECT_0;
}

void PreciseSleep(std::chrono::microseconds wait)
{
    // Windows' tick is 15.6 ms by default, so Sleep(5) sleeps three times too long; a
    // high-resolution timer (Windows 10 1803 and later) waits to the millisecond without changing
    // the system's tick for every program.
    thread_local const HANDLE timer =
        CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    LARGE_INTEGER due;
    due.QuadPart = -10LL * wait.count(); // relative, in 100 ns
    if (timer && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
        WaitForSingleObject(timer, INFINITE);
    else
        Sleep(static_cast<DWORD>((wait.count() + 999) / 1000));
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
