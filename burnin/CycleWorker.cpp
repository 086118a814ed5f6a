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
    std::unique_lock lock(m_mutex);
    m_wanted = true;
    ++m_generation;
    if (m_alive) {
        m_wake.notify_all();
        return;
    }
    // A thread that has ended has nothing left to do but return.
    if (m_thread.joinable())
        m_thread.join();
    m_alive = true;
    ++m_live;
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
        const unsigned generation = m_generation;
        m_wake.wait_for(lock, m_period, [&] { return !m_wanted || m_generation != generation; });
    }
    m_alive = false;
    --m_live;
}
