#include "platform/core/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Growth step while the size the file reported has been used up (files under /proc report 0).
constexpr qint64 kReadChunk = 64 * 1024;

FileContent failed(FileReadError error)
{
    return {QByteArray(), error};
}

// The pictures of the standard look are compiled in: Qt reads them from memory.
bool isResource(const QString &fileName)
{
    return fileName.startsWith(QLatin1Char(':'));
}

FileContent readResource(const QString &fileName, qint64 limit)
{
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return failed(FileReadError::NotRegular);
    // A compiled-in file knows its size. Reading "up to the limit" would reserve the limit's
    // whole size in memory first, for every picture of the standard look.
    if (file.size() > limit)
        return failed(FileReadError::TooLarge);
    const QByteArray bytes = file.readAll();
    if (bytes.size() > limit)
        return failed(FileReadError::TooLarge);
    return {bytes, FileReadError::None};
}

} // namespace

bool isRegularFile(const QString &fileName)
{
    if (isResource(fileName))
        return QFileInfo(fileName).isFile();
    struct stat info = {};
    return ::stat(QFile::encodeName(fileName).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

FileContent readRegularFile(const QString &fileName, qint64 limit)
{
    Q_ASSERT(limit >= 0 && limit < std::numeric_limits<qsizetype>::max());
    if (isResource(fileName))
        return readResource(fileName, limit);
    // Asked before opening: opening a device can have effects of its own (a tape rewinds, a
    // serial line raises its signals).
    if (!isRegularFile(fileName))
        return failed(FileReadError::NotRegular);
    // The name may point elsewhere by now. O_NONBLOCK keeps a pipe swapped in meanwhile from
    // holding the open until a writer comes; the opened descriptor's own type decides.
    const int fd =
        ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failed(errno == ENOENT || errno == ENOTDIR ? FileReadError::NotRegular
                                                          : FileReadError::ReadFailed);
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return failed(FileReadError::ReadFailed);
    if (!S_ISREG(info.st_mode))
        return failed(FileReadError::NotRegular);
    if (info.st_size > limit)
        return failed(FileReadError::TooLarge);

    // The reported size is only where to start: the file may be longer by the time it is read.
    // One byte beyond the limit tells a file that is too large from one that fits exactly.
    const qint64 cap = limit + 1;
    QByteArray bytes(std::min<qint64>(info.st_size + 1, cap), Qt::Uninitialized);
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled == cap)
                break;
            bytes.resize(std::min(cap, filled + std::max(filled, kReadChunk)));
        }
        const ssize_t got = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(FileReadError::ReadFailed);
        if (got == 0)
            break;
        filled += got;
    }
    if (filled > limit)
        return failed(FileReadError::TooLarge);
    bytes.truncate(filled);
    return {bytes, FileReadError::None};
}

} // namespace platform
