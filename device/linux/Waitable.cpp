#include "device/Waitable.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

bool AwaitReady(WaitHandle handle, std::chrono::milliseconds wait)
{
    pollfd watched{handle, POLLIN, 0}; // a negative descriptor is left out: poll only sleeps
    return poll(&watched, 1, static_cast<int>(wait.count())) > 0;
}

void PreciseSleep(std::chrono::microseconds wait)
{
    std::this_thread::sleep_for(wait);
}

WakeSignal::WakeSignal() : m_handle(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeSignal::~WakeSignal()
{
    if (m_handle >= 0)
        close(m_handle);
}

void WakeSignal::Raise()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_handle, &one, sizeof one);
}

void WakeSignal::Clear()
{
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_handle, &count, sizeof count);
}
