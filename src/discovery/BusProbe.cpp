#include "discovery/BusProbe.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace discovery {

namespace {

// Waits until `fd` is ready for `events` or the deadline has passed.
bool ready(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        const int left = int(std::max<qint64>(0, deadline.remainingTime()));
        const int got = ::poll(&entry, 1, left);
        if (got < 0 && errno == EINTR)
            continue;
        return got > 0 && (entry.revents & events);
    }
}

// The socket of the first unix transport in `address` ("unix:path=/run/...;unix:abstract=..."),
// and whether it is abstract; empty where there is none.
QByteArray socketOf(const QString &address, bool *abstract)
{
    for (const QString &transport : address.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!transport.startsWith(QLatin1String("unix:")))
            continue;
        for (const QString &pair : transport.mid(5).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString key = pair.section(QLatin1Char('='), 0, 0);
            // Values are escaped the way URLs are.
            const QByteArray value = QByteArray::fromPercentEncoding(pair.section(QLatin1Char('='), 1).toUtf8());
            if (key == QLatin1String("path") || key == QLatin1String("abstract")) {
                *abstract = key == QLatin1String("abstract");
                return value;
            }
        }
    }
    return {};
}

} // namespace

QString systemBusAddress()
{
    return qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS",
                                QStringLiteral("unix:path=/var/run/dbus/system_bus_socket"));
}

bool busAnswers(const QString &address, int limitMs)
{
    bool abstract = false;
    const QByteArray path = socketOf(address, &abstract);
    if (path.isEmpty())
        return !address.isEmpty();
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    const qsizetype offset = abstract ? 1 : 0;
    if (path.size() + offset >= qsizetype(sizeof where.sun_path))
        return false;
    std::memcpy(where.sun_path + offset, path.constData(), size_t(path.size()));
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const auto closeSocket = qScopeGuard([fd] { ::close(fd); });
    const QDeadlineTimer deadline(limitMs);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&where), length) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN)
            return false;
        int error = 0;
        socklen_t size = sizeof error;
        if (!ready(fd, POLLOUT, deadline) || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error)
            return false;
    }
    // A credentials byte, then the first line of the handshake; the bus answers OK or REJECTED.
    const QByteArray hello = QByteArray(1, '\0') + "AUTH EXTERNAL " + QByteArray::number(::getuid()).toHex() + "\r\n";
    qsizetype sent = 0;
    while (sent < hello.size()) {
        if (!ready(fd, POLLOUT, deadline))
            return false;
        const ssize_t wrote = ::send(fd, hello.constData() + sent, size_t(hello.size() - sent), MSG_NOSIGNAL);
        if (wrote < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        sent += std::max<ssize_t>(wrote, 0);
    }
    QByteArray answer;
    while (!answer.contains("\r\n") && answer.size() < 512) {
        if (!ready(fd, POLLIN, deadline))
            return false;
        char chunk[128];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
            return false;
        answer.append(chunk, std::max<ssize_t>(got, 0));
    }
    return answer.startsWith("OK ") || answer.startsWith("REJECTED");
}

} // namespace discovery
