#include "burnin/CycleWorker.h"

CycleWorker::CycleWorker(std::function<void()> job, std::chrono::milliseconds period)
    : m_job(std::move(job)), m_period(period)
{
}

CycleWorker::~CycleWorker()
{
    Stop();
    Wait();
}

void CycleWorker::Start()
{
    // A thread still ending from the last run finishes first: there is never more than one.
    Stop();
    Wait();
    std::lock_guard lock(m_mutex);
    m_wanted = true;
    m_thread = std::thread(&CycleWorker::Loop, this);
}

void CycleWorker::Stop()
{
    std::lock_guard lock(m_mutex);
    m_wanted = false;
    m_wake.notify_all();
}

void CycleWorker::Wait()
{
    std::thread ending;
    {
        std::lock_guard lock(m_mutex);
        if (m_wanted)
            return;
        ending = std::move(m_thread);
    }
    if (ending.joinable())
        ending.join();
}

void CycleWorker::Loop()
{
    std::unique_lock lock(m_mutex);
    while (m_wanted) {
        lock.unlock();
        m_job();
        lock.lock();
        m_wake.wait_for(lock, m_period, [&] { return !m_wanted; });
    }
}
