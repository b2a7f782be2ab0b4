#include "platform/core/AsyncSocket.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

thread_local int t_lastSocketError = 0;

int failWith(int posixError)
{
    t_lastSocketError = winsockError(posixError);
    return -1;
}

sockaddr_in makeAddress(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = address;
    return sa;
}

// Errors that a non-blocking connect may report at once on some systems but that Winsock always
// delivers later with the connect notification.
bool isLateConnectError(int posixError)
{
    return posixError == ECONNREFUSED || posixError == ENETUNREACH || posixError == EHOSTUNREACH ||
           posixError == ETIMEDOUT || posixError == ECONNRESET;
}

} // namespace

int winsockError(int posixError)
{
    switch (posixError) {
    case 0:
        return 0;
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
        return 10024;
    case ENFILE:
        return 10024;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
        return wsaWouldBlock;
#endif
    case EWOULDBLOCK:
        return wsaWouldBlock;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return wsaNotSocket;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
        return wsaConnReset;
    case EPIPE:
        return wsaConnReset;
    case ENOBUFS:
        return 10055;
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return wsaNotConnected;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return wsaTimedOut;
    case ECONNREFUSED:
        return wsaConnRefused;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    case EUSERS:
        return 10068;
    case EDQUOT:
        return 10069;
    case ESTALE:
        return 10070;
    case EREMOTE:
        return 10071;
    default:
        return wsaNoCounterpart;
    }
}

int lastSocketError()
{
    return t_lastSocketError;
}

std::uint32_t inetAddr(const QByteArray &text)
{
    // inet_aton reads what inet_addr reads and, unlike inet_addr, tells "255.255.255.255" from a
    // failure; like Winsock's inet_addr we still answer kInaddrNone for both.
    in_addr address{};
    if (text.isEmpty() || text.contains('\0') || inet_aton(text.constData(), &address) == 0)
        return kInaddrNone;
    return address.s_addr;
}

QString dottedAddress(std::uint32_t address)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(&address);
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

AsyncSocket::AsyncSocket(QObject *parent) : QObject(parent)
{
}

AsyncSocket::~AsyncSocket()
{
    close();
}

bool AsyncSocket::create()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        failWith(errno);
        return false;
    }
    attach(fd, State::Idle);
    return true;
}

void AsyncSocket::attach(int descriptor, State state)
{
    close();
    m_fd = descriptor;
    m_state = state;
    m_readArmed = true;
    m_writeArmed = false;
    m_closeReported = false;
    ++m_generation;
    if (!m_readNotifier) {
        m_readNotifier = new QSocketNotifier(QSocketNotifier::Read, this);
        m_writeNotifier = new QSocketNotifier(QSocketNotifier::Write, this);
        connect(m_readNotifier, &QSocketNotifier::activated, this, &AsyncSocket::readable);
        connect(m_writeNotifier, &QSocketNotifier::activated, this, &AsyncSocket::writable);
    }
    m_readNotifier->setSocket(descriptor);
    m_writeNotifier->setSocket(descriptor);
    updateNotifiers();
}

void AsyncSocket::select(int mask)
{
    m_mask = mask;
    updateNotifiers();
}

void AsyncSocket::updateNotifiers()
{
    // An unconnected socket reports itself hung up, so nothing is watched before it connects
    // or listens.
    bool wantRead = false;
    bool wantWrite = false;
    if (m_fd >= 0) {
        switch (m_state) {
        case State::Listening:
            wantRead = (m_mask & seAccept) && m_readArmed;
            break;
        case State::Connected:
            wantRead = (m_mask & (seRead | seClose)) && m_readArmed && !m_closeReported;
            wantWrite = (m_mask & seWrite) && m_writeArmed;
            break;
        case State::Connecting:
            wantWrite = true;
            break;
        case State::Idle:
        case State::Failed:
            break;
        }
    }
    if (!m_readNotifier)
        return;
    if (m_readNotifier->isEnabled() != wantRead)
        m_readNotifier->setEnabled(wantRead);
    if (m_writeNotifier->isEnabled() != wantWrite)
        m_writeNotifier->setEnabled(wantWrite);
}

bool AsyncSocket::setLinger(bool on, int seconds)
{
    const linger value{on ? 1 : 0, seconds};
    return m_fd >= 0 && ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &value, sizeof value) == 0;
}

bool AsyncSocket::setReuseAddress(bool on)
{
    const int value = on ? 1 : 0;
    return m_fd >= 0 && ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) == 0;
}

int AsyncSocket::connectTo(std::uint32_t address, std::uint16_t port)
{
    if (m_fd < 0)
        return failWith(EBADF);
    const sockaddr_in sa = makeAddress(address, port);
    const int rc = ::connect(m_fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa);
    const int error = rc == 0 ? 0 : errno;
    if (rc != 0 && error != EINPROGRESS && !isLateConnectError(error))
        return failWith(error);
    m_state = State::Connecting;
    if (rc == 0 || error == EINPROGRESS) {
        updateNotifiers();
    } else {
        // Deliver the refusal the way Winsock does: later, as the connect notification.
        m_state = State::Failed;
        updateNotifiers();
        const quint64 generation = m_generation;
        QMetaObject::invokeMethod(
            this,
            [this, generation, error] {
                if (generation == m_generation)
                    report(seConnect, winsockError(error));
            },
            Qt::QueuedConnection);
    }
    return failWith(EWOULDBLOCK);
}

int AsyncSocket::bindTo(std::uint32_t address, std::uint16_t port)
{
    if (m_fd < 0)
        return failWith(EBADF);
    const sockaddr_in sa = makeAddress(address, port);
    if (::bind(m_fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0)
        return failWith(errno);
    return 0;
}

int AsyncSocket::listen(int backlog)
{
    if (m_fd < 0)
        return failWith(EBADF);
    if (::listen(m_fd, backlog) != 0)
        return failWith(errno);
    m_state = State::Listening;
    m_readArmed = true;
    updateNotifiers();
    return 0;
}

int AsyncSocket::accept(std::uint32_t *peerAddress, std::uint16_t *peerPort)
{
    if (m_fd < 0)
        return failWith(EBADF);
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    const int fd = ::accept4(m_fd, reinterpret_cast<sockaddr *>(&sa), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int error = errno;
    if (fd < 0 && (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM)) {
        // Out of descriptors or memory: the pending connection stays and would be reported
        // again at once, so look again a little later instead of spinning.
        const quint64 generation = m_generation;
        QTimer::singleShot(100, this, [this, generation] {
            if (generation == m_generation) {
                m_readArmed = true;
                updateNotifiers();
            }
        });
        return failWith(error);
    }
    m_readArmed = true;
    updateNotifiers();
    if (fd < 0)
        return failWith(error);
    if (peerAddress)
        *peerAddress = sa.sin_addr.s_addr;
    if (peerPort)
        *peerPort = ntohs(sa.sin_port);
    return fd;
}

bool AsyncSocket::hasPendingConnection() const
{
    if (m_fd < 0 || m_state != State::Listening)
        return false;
    pollfd listening{m_fd, POLLIN, 0};
    return ::poll(&listening, 1, 0) > 0 && (listening.revents & POLLIN);
}

qint64 AsyncSocket::send(const char *data, qint64 length)
{
    if (m_fd < 0)
        return failWith(ENOTSOCK);
    const ssize_t sent = ::send(m_fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (sent < 0) {
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            m_writeArmed = true;
            updateNotifiers();
        }
        return failWith(error);
    }
    return sent;
}

qint64 AsyncSocket::recv(char *data, qint64 length)
{
    if (m_fd < 0)
        return failWith(ENOTSOCK);
    const ssize_t received = ::recv(m_fd, data, static_cast<size_t>(length), MSG_DONTWAIT);
    const int error = errno;
    m_readArmed = true;
    updateNotifiers();
    if (received < 0)
        return failWith(error);
    return received;
}

int AsyncSocket::close()
{
    if (m_fd < 0)
        return 0;
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    m_readNotifier->setSocket(-1);
    m_writeNotifier->setSocket(-1);
    const int fd = m_fd;
    m_fd = -1;
    m_state = State::Idle;
    ++m_generation;
    if (::close(fd) != 0)
        return failWith(errno);
    return 0;
}

std::uint16_t AsyncSocket::localPort() const
{
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&sa), &length) != 0)
        return 0;
    return ntohs(sa.sin_port);
}

void AsyncSocket::readable()
{
    if (m_fd < 0)
        return;
    if (m_state == State::Listening) {
        m_readArmed = false;
        updateNotifiers();
        report(seAccept, 0);
        return;
    }
    // A peek tells data from the peer's close: 0 bytes is an orderly close, an error an abort.
    char probe = 0;
    const ssize_t n = ::recv(m_fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    const int error = errno;
    if (n > 0) {
        m_readArmed = false;
        updateNotifiers();
        report(seRead, 0);
    } else if (n < 0 && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)) {
        // spurious wake-up
    } else {
        m_closeReported = true;
        updateNotifiers();
        report(seClose, n == 0 ? 0 : winsockError(error));
    }
}

void AsyncSocket::writable()
{
    if (m_fd < 0)
        return;
    if (m_state == State::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        m_state = error == 0 ? State::Connected : State::Failed;
        m_readArmed = true;
        m_writeArmed = error == 0;
        updateNotifiers();
        const quint64 generation = m_generation;
        QPointer<AsyncSocket> alive(this);
        report(seConnect, winsockError(error));
        // Winsock follows a made connection with a write notification.
        if (alive && generation == m_generation && m_state == State::Connected && m_writeArmed) {
            m_writeArmed = false;
            updateNotifiers();
            report(seWrite, 0);
        }
        return;
    }
    m_writeArmed = false;
    updateNotifiers();
    report(seWrite, 0);
}

void AsyncSocket::report(int event, int error)
{
    if (m_mask & event)
        Q_EMIT socketEvent(event, error);
}

HostLookup::HostLookup(QObject *parent) : QObject(parent)
{
}

HostLookup::~HostLookup()
{
    abort();
}

void HostLookup::start(const QString &name)
{
    abort();
    const quint64 generation = ++m_generation;
    m_lookupId = QHostInfo::lookupHost(name, this, [this, generation](const QHostInfo &info) {
        if (generation != m_generation)
            return; // an answer to a lookup that was given up
        m_lookupId = -1;
        if (info.error() != QHostInfo::NoError) {
            Q_EMIT finished(0, info.error() == QHostInfo::HostNotFound ? wsaHostNotFound : wsaNoRecovery);
            return;
        }
        for (const QHostAddress &address : info.addresses()) {
            bool ok = false;
            const quint32 ipv4 = address.toIPv4Address(&ok);
            if (ok && address.protocol() == QAbstractSocket::IPv4Protocol) {
                Q_EMIT finished(htonl(ipv4), 0);
                return;
            }
        }
        Q_EMIT finished(0, wsaNoData);
    });
}

void HostLookup::abort()
{
    ++m_generation;
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
}

} // namespace platform
