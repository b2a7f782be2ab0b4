#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A worker thread of a listening server: serves one session at a time, then waits for the
// next one. The server hands each accepted connection to an idle worker, or to a new one, so a
// burst of senders does not pay for starting a thread per line; there are never more workers
// than sessions were live at once.
class TServeThread
{
public:
    TServeThread();
    ~TServeThread();
    Q_DISABLE_COPY_MOVE(TServeThread)

    // Runs `job` on this worker; the worker must be idle.
    void assign(std::function<void()> job);
    // Lets the worker end once its job is done, and waits for it.
    void stop();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_next;
    bool m_stopping = false;
    std::thread m_thread;
};
