#pragma once
#include <chrono>

// What a program waits on for news from another thread or from the system (a unit plugged in or
// pulled out): a descriptor that turns readable on Linux, an event handle that is signalled on
// Windows. The windows hand it to their event loop, the command line waits on it; neither looks
// inside. One implementation per platform.
#if defined(_WIN32)
using WaitHandle = void*;
inline constexpr WaitHandle kNoWaitHandle = nullptr;
#else
using WaitHandle = int;
inline constexpr WaitHandle kNoWaitHandle = -1;
#endif

// Sleeps until handle is ready or wait has passed; true when it is ready. kNoWaitHandle only
// sleeps; a wait of 0 only looks.
bool AwaitReady(WaitHandle handle, std::chrono::milliseconds wait);

// Sleeps for wait and never less, to the millisecond where the system's default tick is coarser
// (Windows' 15.6 ms), and a wait under a millisecond too: the C++ library's sleep on Windows counts
// whole milliseconds, rounded down, and so does not sleep at all for the programming pace's rest.
void PreciseSleep(std::chrono::microseconds wait);

// A flag that one thread raises and a waiter on its handle sees: ready from Raise until Clear.
class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    WaitHandle Handle() const { return m_handle; }
    void Raise();
    void Clear();

private:
    const WaitHandle m_handle;
};
