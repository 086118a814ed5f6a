#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Runs a job on its own thread at once and then once per period, until stopped. Stop wakes the
// thread, so waiting for it takes no longer than the job in hand. Start, Stop and Wait are called
// from one thread (the UI thread).
class CycleWorker {
public:
    CycleWorker(std::function<void()> job, std::chrono::milliseconds period);
    ~CycleWorker();
    CycleWorker(const CycleWorker&) = delete;
    CycleWorker& operator=(const CycleWorker&) = delete;

    void Start();
    // Returns at once; the job in hand, if any, finishes and no other begins.
    void Stop();
    // After Stop: until the thread has ended.
    void Wait();

private:
    void Loop();

    const std::function<void()> m_job;
    const std::chrono::milliseconds m_period;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_wanted = false;
    std::thread m_thread;
};
