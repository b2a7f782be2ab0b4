#include "support/LoopbackPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace loopback {
namespace {

sockaddr_in loopbackAddress(std::uint16_t port, std::uint32_t address = kLoopback)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    return sa;
}

// Waits for readability until `deadline`; false on time-out.
bool waitReadable(int fd, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int rc = ::poll(&p, 1, static_cast<int>(left.count()));
        if (rc > 0)
            return true;
        if (rc < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

Connection::~Connection()
{
    close();
}

Connection::Connection(Connection &&other) noexcept : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

Connection &Connection::operator=(Connection &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

Connection Connection::connectTo(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    const sockaddr_in sa = loopbackAddress(port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return {};
    }
    return Connection(fd);
}

Connection Connection::startConnect(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    const sockaddr_in sa = loopbackAddress(port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return {};
    }
    return Connection(fd);
}

bool Connection::sendAll(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

QByteArray Connection::readExactly(int count, int ms)
{
    QByteArray result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    char buffer[4096];
    while (result.size() < count && waitReadable(m_fd, deadline)) {
        const ssize_t n = ::recv(m_fd, buffer, std::min<size_t>(sizeof buffer, count - result.size()), 0);
        if (n <= 0)
            break;
        result.append(buffer, n);
    }
    return result;
}

QByteArray Connection::readToEnd(Ending *ending, int ms)
{
    QByteArray result;
    Ending how = Ending::Open;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    char buffer[4096];
    while (waitReadable(m_fd, deadline)) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            result.append(buffer, n);
            continue;
        }
        how = n == 0 ? Ending::Orderly : Ending::Reset;
        break;
    }
    if (ending)
        *ending = how;
    return result;
}

QByteArray Connection::readAvailable(Ending *ending)
{
    QByteArray result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            result.append(buffer, n);
            continue;
        }
        if (ending && n == 0)
            *ending = Ending::Orderly;
        else if (ending && n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            *ending = Ending::Reset;
        return result;
    }
}

int Connection::pendingBytes() const
{
    int count = 0;
    if (m_fd < 0 || ::ioctl(m_fd, FIONREAD, &count) != 0)
        return 0;
    return count;
}

void Connection::closeWithReset()
{
    if (m_fd < 0)
        return;
    const linger value{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &value, sizeof value);
    close();
}

void Connection::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Listener::Listener(int backlog, std::uint16_t port, std::uint32_t address)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return;
    const sockaddr_in sa = loopbackAddress(port, address);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::bind(m_fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0 ||
        ::listen(m_fd, backlog) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&bound), &length) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_port = ntohs(bound.sin_port);
}

Listener::~Listener()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Connection Listener::accept(int ms)
{
    if (!waitReadable(m_fd, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)))
        return {};
    return Connection(::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC));
}

bool Listener::hasPending() const
{
    pollfd p{m_fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

std::uint16_t unusedPort()
{
    Listener probe(1);
    return probe.port();
}

ServerThread::ServerThread(int expect, Reply reply) : m_expect(expect), m_reply(std::move(reply))
{
    m_thread = std::thread([this] {
        Connection connection = m_listener.accept();
        if (!connection.isValid())
            return;
        QByteArray bytes = connection.readExactly(m_expect);
        {
            std::lock_guard lock(m_mutex);
            m_received = bytes;
        }
        if (m_reply)
            m_reply(connection);
        if (!connection.isValid())
            return;
        Ending ending = Ending::Open;
        bytes = connection.readToEnd(&ending);
        std::lock_guard lock(m_mutex);
        m_received += bytes;
        m_ending = ending;
    });
}

ServerThread::~ServerThread()
{
    join();
}

void ServerThread::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

QByteArray ServerThread::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

Ending ServerThread::ending() const
{
    std::lock_guard lock(m_mutex);
    return m_ending;
}

void replyOk(Connection &connection)
{
    connection.sendAll(QByteArrayLiteral("OK              "));
}

ScriptedPeer::ScriptedPeer(Behaviour behaviour, std::uint16_t port, std::uint32_t address, int bytes)
    : m_behaviour(behaviour), m_bytes(bytes), m_listener(16, port, address)
{
    if (!m_listener.isValid())
        return;
    m_thread = std::thread([this] {
        // Silent connections stay open until the peer goes.
        std::vector<Connection> held;
        while (!m_stop) {
            Connection connection = m_listener.accept(20);
            if (!connection.isValid())
                continue;
            if (m_behaviour == Behaviour::Silent)
                held.push_back(std::move(connection));
            else
                serve(std::move(connection));
        }
    });
}

ScriptedPeer::~ScriptedPeer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void ScriptedPeer::serve(Connection connection)
{
    QByteArray bytes;
    switch (m_behaviour) {
    case Behaviour::Hangup:
        break;
    case Behaviour::HangupAfter:
        bytes = connection.readExactly(m_bytes);
        break;
    case Behaviour::Good:
    case Behaviour::Chatty:
        for (int field = 0; field < 2; ++field) {
            const QByteArray length = connection.readExactly(4);
            bytes += length + connection.readExactly(length.toInt());
        }
        replyOk(connection);
        if (m_behaviour == Behaviour::Chatty)
            connection.sendAll(QByteArrayLiteral("EXTRA-BYTES"));
        bytes += connection.readToEnd();
        break;
    case Behaviour::Silent:
        return;
    }
    connection.close();
    std::lock_guard lock(m_mutex);
    m_deliveries.append(bytes);
    m_delivered.notify_all();
}

QList<QByteArray> ScriptedPeer::deliveries() const
{
    std::lock_guard lock(m_mutex);
    return m_deliveries;
}

bool ScriptedPeer::waitForDeliveries(qsizetype count, int ms) const
{
    std::unique_lock lock(m_mutex);
    return m_delivered.wait_for(lock, std::chrono::milliseconds(ms),
                                [&] { return m_deliveries.size() >= count; });
}

} // namespace loopback
