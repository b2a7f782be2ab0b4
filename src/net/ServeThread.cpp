#include "net/ServeThread.h"

#include <utility>

TServeThread::TServeThread() : m_thread(&TServeThread::run, this)
{
}

TServeThread::~TServeThread()
{
    stop();
}

void TServeThread::assign(std::function<void()> job)
{
    std::lock_guard lock(m_mutex);
    m_next = std::move(job);
    m_wake.notify_one();
}

void TServeThread::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_wake.notify_one();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void TServeThread::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_next != nullptr || m_stopping; });
            if (!m_next)
                return;
            job = std::exchange(m_next, nullptr);
        }
        job();
    }
}
