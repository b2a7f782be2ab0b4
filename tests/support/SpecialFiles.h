#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Things that can lie in a folder where a program expects a file. Each returns false when it
// could not be made.
bool makePipe(const QString &path);
bool makeSocketFile(const QString &path);
// A file of `size` bytes that takes no room on disk.
bool makeSparseFile(const QString &path, qint64 size);

// Frees whoever opened one of the given pipes and is stuck there waiting for a writer, once a
// deadline has passed, and remembers that it had to. Code that must never wait on a pipe then
// fails its test instead of hanging it; code that never opens the pipes is never affected,
// however slowly it runs.
class PipeWatchdog
{
public:
    explicit PipeWatchdog(QStringList pipes, std::chrono::milliseconds deadline = std::chrono::seconds(3));
    ~PipeWatchdog();
    PipeWatchdog(const PipeWatchdog &) = delete;
    PipeWatchdog &operator=(const PipeWatchdog &) = delete;

    bool freedAReader() const { return m_freed; }

private:
    void watch(std::chrono::milliseconds deadline);

    const QStringList m_pipes;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::atomic<bool> m_freed = false;
    std::thread m_thread;
};
