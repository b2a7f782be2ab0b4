#include "net/ServerSession.h"

#include "platform/core/AsyncSocket.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Data is received in chunks of at most this many bytes.
constexpr qsizetype kChunk = 16383;

} // namespace

TServerSession::TServerSession() : TSockSession(nullptr, SocketStart::Adopt)
{
}

TServerSession::~TServerSession()
{
    beginDestruction();
    closeConnection();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void TServerSession::adopt(int descriptor, std::uint32_t peerAddress, std::uint16_t peerPort)
{
    // From here on the connection is the worker's: it reads, writes and waits on the descriptor
    // itself, and a wake-up counter lets a cancel end its waits at once.
    setPeer(peerAddress, peerPort);
    const int flags = ::fcntl(descriptor, F_GETFL);
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) < 0 || m_wakeFd < 0) {
        const int error = platform::winsockError(errno);
        ::close(descriptor);
        throw ESockError(TransportTexts::ErrorToText(error));
    }
    std::lock_guard lock(m_mutex);
    m_fd = descriptor;
    m_connected = true;
    m_peerGone = false;
    m_lastProgress = Clock::now();
}

TServerSession::Readiness TServerSession::waitReady(short events, std::optional<Clock::time_point> end)
{
    for (;;) {
        if (isCanceled())
            return Readiness::Canceled;
        int timeout = -1;
        if (end) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*end - Clock::now()).count();
            if (left <= 0)
                return Readiness::TimedOut;
            timeout = static_cast<int>(std::min<long long>(left, INT_MAX));
        }
        pollfd watched[2] = {{m_fd, events, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = ::poll(watched, 2, timeout);
        if (ready < 0 && errno != EINTR)
            return Readiness::Ready; // the call that follows reports the error
        if (ready <= 0)
            continue;
        if (watched[1].revents != 0) {
            // A cancel that was already taken leaves its wake-up behind: clear it, look again.
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &count, sizeof count);
            continue;
        }
        return Readiness::Ready;
    }
}

bool TServerSession::waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit,
                             bool sinceProgress)
{
    const Clock::time_point start = Clock::now();
    char scratch[kChunk];
    for (;;) {
        std::optional<Clock::time_point> end;
        {
            std::lock_guard lock(m_mutex);
            if (done())
                return true;
            end = deadlineOf(start, limit, sinceProgress);
            if (m_canceled || (end && Clock::now() >= *end))
                return false;
        }
        // What has arrived is taken at once; only an empty connection is waited on.
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, 0);
        if (n > 0) {
            appendReceived(scratch, n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (waitReady(POLLIN, end) != Readiness::Ready) {
                std::lock_guard lock(m_mutex);
                return done();
            }
            continue;
        }
        std::lock_guard lock(m_mutex);
        if (n < 0)
            m_lastError = platform::winsockError(errno);
        m_connected = false;
        m_peerGone = true;
    }
}

void TServerSession::transmit(const char *data, qsizetype length)
{
    const Clock::time_point start = Clock::now();
    qsizetype sent = 0;
    while (sent < length) {
        const ssize_t n = ::send(m_fd, data + sent, static_cast<size_t>(length - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            std::lock_guard lock(m_mutex);
            m_lastProgress = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            std::optional<Clock::time_point> end;
            {
                std::lock_guard lock(m_mutex);
                end = deadlineOf(start, stallLimit(), true);
            }
            if (waitReady(POLLOUT, end) == Readiness::Ready)
                continue;
            break;
        }
        std::lock_guard lock(m_mutex);
        m_lastError = platform::winsockError(errno);
        m_peerGone = true;
        break;
    }
    std::lock_guard lock(m_mutex);
    m_sendComplete = sent == length;
}

void TServerSession::closeConnection()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool TServerSession::waitForClientClose()
{
    return waitFor([this] { return !m_connected || m_canceled; }, m_closeTimeout, false);
}

void TServerSession::wakeWaits()
{
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    }
}
