#include "support/SpecialFiles.h"

#include <QFile>

#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

bool makePipe(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool makeSocketFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd); // the socket file stays behind
    return bound;
}

bool makeSparseFile(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

PipeWatchdog::PipeWatchdog(QStringList pipes, std::chrono::milliseconds deadline)
    : m_pipes(std::move(pipes)), m_thread([this, deadline] { watch(deadline); })
{
}

PipeWatchdog::~PipeWatchdog()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void PipeWatchdog::watch(std::chrono::milliseconds deadline)
{
    std::unique_lock lock(m_mutex);
    if (m_wake.wait_for(lock, deadline, [this] { return m_stop; }))
        return;
    // From now on, again and again: a reader freed once may open the pipe once more.
    do {
        for (const QString &pipe : m_pipes) {
            // Opening the writing end without waiting succeeds only while someone reads.
            const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_freed = true;
                ::close(fd);
            }
        }
    } while (!m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_stop; }));
}
