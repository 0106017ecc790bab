// The job workers a test host has seen: a worker counts from its first look at the host's
// job state (before any pair) to its exit, so a host can tell when no late store can reach it.
#pragma once

#include <atomic>
#include <thread>

class CWorkerCount
{
public:
    // The host's own thread is no worker.
    void SetHostThread(std::thread::id id) { m_host = id; }
    void Note()
    {
        if (std::this_thread::get_id() == m_host)
            return;
        struct Running
        {
            std::atomic<int>* workers = nullptr;
            ~Running()
            {
                if (workers)
                    --*workers;
            }
        };
        thread_local Running running;
        if (!running.workers)
        {
            running.workers = &m_running;
            ++m_running;
            ++m_started;
        }
    }
    int Running() const { return m_running; }
    int Started() const { return m_started; }
    void ForgetStarted() { m_started = 0; }

private:
    std::thread::id m_host;
    std::atomic<int> m_running{0};
    std::atomic<int> m_started{0};
};
