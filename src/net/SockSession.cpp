#include "net/SockSession.h"

#include "net/TransportTexts.h"
#include "platform/core/EventPump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaMethod>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;
using TransportTexts::Status;

namespace {

// Data moves in chunks of at most this many bytes per receive or send.
constexpr qsizetype kChunk = 16383;
// Largest text one Write hands over.
constexpr qsizetype kMaxWrite = 16384;

// Serialises the accept path and the release of server sessions.
std::mutex g_serverLock;

// Wakes the owner thread. The event carries nothing: what to do is in the session's state,
// guarded by its mutex, so a worker hands nothing over through the event queue itself.
int wakeEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TThreadTimer::TThreadTimer(QObject *owner) : QObject(owner), m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, [this] { emit OnTimer(this); });
    UpdateTimer();
}

void TThreadTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    UpdateTimer();
}

void TThreadTimer::setInterval(uint interval)
{
    if (interval == m_interval)
        return;
    m_interval = interval;
    UpdateTimer();
}

void TThreadTimer::UpdateTimer()
{
    m_timer->stop();
    if (m_interval != 0 && m_enabled)
        m_timer->start(static_cast<int>(qMin<uint>(m_interval, INT_MAX)));
}

// ---------------------------------------------------------------------------------------------

TSockSession::TSockSession(QObject *owner) : TSockSession(owner, SocketStart::Create)
{
}

TSockSession::TSockSession(QObject *owner, SocketStart start)
    : QObject(owner), m_socket(new platform::AsyncSocket(this)), m_lookup(new platform::HostLookup(this)),
      m_timer(new TThreadTimer(this))
{
    m_timer->setEnabled(false);
    connect(m_timer, &TThreadTimer::OnTimer, this, &TSockSession::TimerFired);
    connect(m_socket, &platform::AsyncSocket::socketEvent, this, [this](int event, int error) {
        try {
            HandleSocketEvent(event, error);
        } catch (...) {
            // Nothing raised while a notification is handled gets out: the waits look at the
            // flags it set, and a failed close has already recorded its error.
        }
    });
    connect(m_lookup, &platform::HostLookup::finished, this, [this](std::uint32_t address, int error) {
        std::lock_guard lock(m_mutex);
        m_lastEventOK = error == 0;
        m_lookupAddress = address;
        if (error != 0)
            m_lastError = error;
        m_replyArrived = true;
        m_changed.notify_all();
    });
    InitializeSockets(start);
}

TSockSession::~TSockSession()
{
    beginDestruction();
    ReportStatus(Status::Destroy);
    Cancel();
    m_timer->setEnabled(false);
    m_lookup->abort();
    try {
        CloseSocket();
    } catch (const ESockError &) {
        // A close that fails while the session goes frees the descriptor all the same.
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void TSockSession::InitializeSockets(SocketStart start)
{
    ReportStatus(Status::Initialize);
    if (start == SocketStart::Adopt)
        return;
    // Only the first socket of a session resets its connection when closed.
    if (!m_socket->create() || !m_socket->setLinger(true, 0)) {
        m_socket->close();
        throw ESockError(TransportTexts::initFailed());
    }
    m_socket->select(platform::seAll);
}

QString TSockSession::status() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

bool TSockSession::isConnected() const
{
    std::lock_guard lock(m_mutex);
    return m_connected;
}

int TSockSession::lastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

bool TSockSession::isCanceled() const
{
    std::lock_guard lock(m_mutex);
    return m_canceled;
}

TSockSession::Clock::time_point TSockSession::lastProgress() const
{
    std::lock_guard lock(m_mutex);
    return m_lastProgress;
}

QString TSockSession::peerAddress() const
{
    return m_peerAddress == 0 ? QString() : platform::dottedAddress(m_peerAddress);
}

int TSockSession::boundPort() const
{
    return m_socket->localPort();
}

bool TSockSession::onOwnerThread() const
{
    return QThread::currentThread() == thread();
}

std::optional<TSockSession::Clock::time_point>
TSockSession::deadlineOf(Clock::time_point start, std::chrono::milliseconds limit, bool sinceProgress) const
{
    std::optional<Clock::time_point> end = m_deadline;
    if (limit > 0ms) {
        const Clock::time_point stall = (sinceProgress ? std::max(start, m_lastProgress) : start) + limit;
        end = end ? std::min(*end, stall) : stall;
    }
    return end;
}

bool TSockSession::waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit,
                           bool sinceProgress)
{
    const Clock::time_point start = Clock::now();
    if (m_ownFd >= 0)
        return receiveDirect(done, start, limit, sinceProgress);
    if (onOwnerThread()) {
        bool expired = false;
        platform::waitUntil([&] {
            std::lock_guard lock(m_mutex);
            if (done())
                return true;
            const std::optional<Clock::time_point> end = deadlineOf(start, limit, sinceProgress);
            expired = end && Clock::now() >= *end;
            return expired;
        });
        return !expired;
    }
    std::unique_lock lock(m_mutex);
    while (!done()) {
        const std::optional<Clock::time_point> end = deadlineOf(start, limit, sinceProgress);
        if (!end) {
            m_changed.wait(lock);
            continue;
        }
        if (Clock::now() >= *end)
            return false;
        m_changed.wait_until(lock, *end);
    }
    return true;
}

TSockSession::Readiness TSockSession::waitReady(short events, std::optional<Clock::time_point> end)
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
        pollfd watched[2] = {{m_ownFd, events, 0}, {m_wakeFd, POLLIN, 0}};
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

bool TSockSession::receiveDirect(const std::function<bool()> &done, Clock::time_point start,
                                 std::chrono::milliseconds limit, bool sinceProgress)
{
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
        const ssize_t n = ::recv(m_ownFd, scratch, sizeof scratch, 0);
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

void TSockSession::sendDirect(const char *data, qsizetype length)
{
    const Clock::time_point start = Clock::now();
    qsizetype sent = 0;
    while (sent < length) {
        const ssize_t n = ::send(m_ownFd, data + sent, static_cast<size_t>(length - sent), MSG_NOSIGNAL);
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
                end = deadlineOf(start, m_stallLimit, true);
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

void TSockSession::setExchangeDeadline(std::optional<Clock::time_point> deadline)
{
    std::lock_guard lock(m_mutex);
    m_deadline = deadline;
}

void TSockSession::ReportStatus(int level, const QString &text)
{
    if (level > m_reportLevel)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_status = text;
    }
    if (!m_componentDestroying)
        emit OnStatus(this, text);
}

void TSockSession::ReportStatus(Status status, int count)
{
    const int level = TransportTexts::statusLevel(status);
    if (level <= m_reportLevel)
        ReportStatus(level, TransportTexts::statusText(status, count));
}

void TSockSession::ResolveHost()
{
    ReportStatus(Status::ResolveHost);
    const std::uint32_t dotted = platform::inetAddr(m_host.toLatin1());
    if (dotted != platform::kInaddrNone) {
        m_peerAddress = dotted; // "0.0.0.0" gives 0: no address
        return;
    }
    m_peerAddress = 0;
    StartTimer();
    {
        std::lock_guard lock(m_mutex);
        m_replyArrived = false;
        m_lookupAddress = 0;
    }
    m_lookup->start(m_host);
    waitFor([this] { return m_replyArrived || m_timedOut || m_canceled; });
    StopTimer();
    bool timedOut, canceled, ok;
    std::uint32_t address;
    {
        std::lock_guard lock(m_mutex);
        timedOut = m_timedOut;
        canceled = m_canceled;
        ok = m_lastEventOK;
        address = m_lookupAddress;
    }
    if (timedOut || canceled) {
        m_lookup->abort(); // a late answer is ignored
        throw ESockError(timedOut ? TransportTexts::lookupTimedOut() : TransportTexts::lookupCanceled());
    }
    if (!ok)
        throw ESockError(TransportTexts::lookupFailed());
    m_peerAddress = address;
    emit OnHostResolved(this);
}

void TSockSession::Connect()
{
    ReportStatus(Status::Connect);
    {
        std::lock_guard lock(m_mutex);
        m_canceled = false;
        if (m_connected)
            throw ESockError(TransportTexts::alreadyConnected());
        // A connection starts clean: nothing queued for, or received on, an earlier one can go
        // out on this one or be read from it.
        m_receiveBuffer.clear();
        m_sendQueue.clear();
        m_sendComplete = false;
        m_peerGone = false;
    }
    for (int attempt = 0;; ++attempt) {
        try {
            ResolveHost();
        } catch (const ESockError &e) {
            if (e.message() == TransportTexts::lookupTimedOut() ||
                e.message() == TransportTexts::lookupCanceled())
                throw;
            m_peerAddress = 0;
        }
        if (m_peerAddress != 0)
            break;
        if (attempt > 0 || !isSignalConnected(QMetaMethod::fromSignal(&TSockSession::OnInvalidHost)))
            throw ESockError(TransportTexts::nullAddress());
        bool handled = false;
        emit OnInvalidHost(handled);
        if (!handled)
            throw ESockError(TransportTexts::nullAddress());
    }
    m_peerPort = static_cast<std::uint16_t>(m_port);
    // The socket is made for the connection, so a close or a failure earlier never leaves the
    // session without one.
    if (!m_socket->isValid()) {
        if (!m_socket->create())
            throw ESockError(TransportTexts::ErrorToText(platform::lastSocketError()));
        m_socket->select(platform::seAll);
    }
    {
        std::lock_guard lock(m_mutex);
        m_replyArrived = false;
        m_lastEventOK = true;
    }
    if (m_socket->connectTo(m_peerAddress, m_peerPort) != 0)
        CheckError(platform::wsaWouldBlock);
    StartTimer();
    waitFor([this] { return m_connected || m_timedOut || m_canceled || !m_lastEventOK; });
    StopTimer();
    bool timedOut, canceled, ok;
    {
        std::lock_guard lock(m_mutex);
        timedOut = m_timedOut;
        canceled = m_canceled;
        ok = m_lastEventOK;
    }
    if (!timedOut && !canceled && ok)
        return;
    // A socket whose attempt failed cannot try again: the next Connect makes a fresh one.
    m_socket->close();
    emit OnConnectionFailed(this);
    if (timedOut)
        throw ESockError(TransportTexts::connectTimedOut());
    if (canceled)
        throw ESockError(TransportTexts::connectCanceled());
    throw ESockError(TransportTexts::connectFailed());
}

void TSockSession::Disconnect()
{
    ReportStatus(Status::Disconnect);
    CloseSocket();
}

void TSockSession::Cancel()
{
    ReportStatus(Status::Cancel);
    std::lock_guard lock(m_mutex);
    m_canceled = true;
    m_changed.notify_all();
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    }
}

void TSockSession::Abort()
{
}

void TSockSession::CloseSocket()
{
    ReportStatus(Status::CloseSocket);
    {
        std::lock_guard lock(m_mutex);
        m_connected = false;
        m_peerGone = true;
        m_changed.notify_all();
    }
    if (m_ownFd >= 0) {
        ::close(m_ownFd);
        m_ownFd = -1;
        return;
    }
    // Only a socket that is there can be closed: a connection the peer ended was closed then,
    // and reports its end once.
    if (!m_socket->isValid())
        return;
    if (m_socket->close() != 0) {
        CheckError(platform::wsaWouldBlock);
        return;
    }
    if (!m_componentDestroying)
        emit OnDisconnect(this);
}

void TSockSession::closeAdoptedConnection()
{
    if (m_ownFd >= 0) {
        ::close(m_ownFd);
        m_ownFd = -1;
    }
}

void TSockSession::Write(const QByteArray &text)
{
    ReportStatus(Status::Write);
    qsizetype length = text.indexOf('\0');
    if (length < 0)
        length = text.size();
    SendBuffer(text.constData(), static_cast<int>(qMin(length, kMaxWrite)));
}

void TSockSession::Writeln(const QByteArray &text)
{
    ReportStatus(Status::Writeln);
    Write(text + "\r\n");
}

void TSockSession::SendBuffer(const QByteArray &data)
{
    ReportStatus(Status::SendBuffer);
    queueBytes(data.constData(), data.size());
}

void TSockSession::SendBuffer(const char *data, int length)
{
    ReportStatus(Status::SendBuffer);
    if (length <= 0)
        length = data ? static_cast<int>(qstrnlen(data, 65535)) : 0;
    queueBytes(data, length);
}

void TSockSession::queueBytes(const char *data, qsizetype length)
{
    // Nothing to send completes at once (waiting for a send that never comes would hang).
    if (length <= 0)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_canceled)
            return;
        m_sendComplete = false;
        if (m_ownFd < 0)
            m_sendQueue.append(data, length);
    }
    if (m_ownFd >= 0) {
        sendDirect(data, length);
    } else {
        postSendMore();
        waitFor([this] { return m_sendComplete || m_canceled || m_peerGone; }, m_stallLimit);
    }
    std::lock_guard lock(m_mutex);
    if (m_canceled) {
        m_canceled = false;
        throw EAbortError(TransportTexts::sendCanceled());
    }
    if (!m_sendComplete)
        throw ESockError(m_peerGone ? TransportTexts::connectionLost() : TransportTexts::receiveTimedOut());
}

QByteArray TSockSession::Read(int count)
{
    ReportStatus(Status::Read, count);
    bool arrived = true;
    if (count > 0)
        arrived =
            waitFor([this, count] { return m_receiveBuffer.size() >= count || m_canceled || m_peerGone; },
                    m_stallLimit);
    std::lock_guard lock(m_mutex);
    if (m_canceled) {
        m_canceled = false;
        throw EAbortError(TransportTexts::sendCanceled());
    }
    if (count <= 0)
        count = static_cast<int>(qMin<qsizetype>(m_receiveBuffer.size(), 65535));
    if (m_receiveBuffer.size() < count)
        throw ESockError(arrived ? TransportTexts::connectionLost() : TransportTexts::receiveTimedOut());
    QByteArray result = m_receiveBuffer.left(count);
    m_receiveBuffer.remove(0, count);
    return result;
}

QByteArray TSockSession::ReadLn()
{
    ReportStatus(Status::ReadLn);
    const bool arrived =
        waitFor([this] { return m_receiveBuffer.contains('\n') || m_canceled || m_peerGone; }, m_stallLimit);
    std::lock_guard lock(m_mutex);
    if (m_canceled)
        throw EAbortError(TransportTexts::readLnCanceled()); // Canceled stays set
    const qsizetype end = m_receiveBuffer.indexOf('\n');
    if (end < 0)
        throw ESockError(arrived ? TransportTexts::connectionLost() : TransportTexts::receiveTimedOut());
    QByteArray result = m_receiveBuffer.left(end + 1);
    m_receiveBuffer.remove(0, end + 1);
    return result;
}

QByteArray TSockSession::Transaction(const QByteArray &text)
{
    ReportStatus(Status::Transaction);
    m_replyCode = 0;
    Writeln(text);
    m_replyText = ReadLn();
    if (!m_replyText.isEmpty()) {
        // Nothing received is interpreted: the reply is reported as plain text.
        ReportStatus(TransportTexts::kReplyLevel, QString::fromLatin1(m_replyText));
        qsizetype digits = 0;
        while (digits < m_replyText.size() && digits < 10 && m_replyText.at(digits) >= '0' &&
               m_replyText.at(digits) <= '9')
            ++digits;
        if (digits > 0) {
            bool ok = false;
            const int value = m_replyText.left(digits).toInt(&ok);
            m_replyCode = ok && value <= 32767 ? value : 0;
        }
    }
    return m_replyText;
}

void TSockSession::Listen()
{
    ReportStatus(Status::Listen);
    {
        std::lock_guard lock(m_mutex);
        m_replyArrived = false;
    }
    std::uint32_t address = platform::inetAddr(m_listenAddress);
    if (address == platform::kInaddrNone)
        address = 0;
    m_socket->setReuseAddress(true);
    m_socket->select(platform::seAccept);
    m_listenOk = m_socket->bindTo(address, static_cast<std::uint16_t>(m_port)) == 0 &&
                 m_socket->listen(m_backlog) == 0;
    if (!m_listenOk) {
        std::lock_guard lock(m_mutex);
        m_lastError = platform::lastSocketError();
    }
}

int TSockSession::Accept()
{
    waitFor([this] { return m_replyArrived || m_canceled; });
    {
        std::lock_guard lock(m_mutex);
        if (m_canceled)
            throw ESockError(TransportTexts::acceptCanceled());
        if (!m_lastEventOK)
            throw ESockError(TransportTexts::acceptFailed());
    }
    ReportStatus(Status::Accept);
    const int descriptor = m_socket->accept(&m_peerAddress, &m_peerPort);
    if (descriptor < 0) {
        const int error = platform::lastSocketError();
        std::lock_guard lock(m_mutex);
        m_lastError = error;
        throw ESockError(TransportTexts::ErrorToText(error));
    }
    std::lock_guard lock(m_mutex);
    if (m_canceled) {
        m_canceled = false;
        ::close(descriptor);
        throw EAbortError(TransportTexts::sendCanceled());
    }
    return descriptor;
}

void TSockSession::adoptConnection(int descriptor, std::uint32_t peerAddress, std::uint16_t peerPort)
{
    // From here on the connection is the worker's: it reads, writes and waits on the descriptor
    // itself, and a wake-up counter lets a cancel end its waits at once.
    m_socket->close();
    m_peerAddress = peerAddress;
    m_peerPort = peerPort;
    const int flags = ::fcntl(descriptor, F_GETFL);
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) < 0 || m_wakeFd < 0) {
        const int error = platform::winsockError(errno);
        ::close(descriptor);
        throw ESockError(TransportTexts::ErrorToText(error));
    }
    std::lock_guard lock(m_mutex);
    m_ownFd = descriptor;
    m_connected = true;
    m_peerGone = false;
    m_lastProgress = Clock::now();
}

QString TSockSession::ErrorToText(int code)
{
    ReportStatus(Status::ErrorToText);
    return TransportTexts::ErrorToText(code);
}

QString TSockSession::CheckError(int tolerated)
{
    ReportStatus(Status::CheckError);
    const int error = platform::lastSocketError();
    {
        std::lock_guard lock(m_mutex);
        m_lastError = error;
    }
    if (error == tolerated)
        return {};
    throw ESockError(ErrorToText(error));
}

void TSockSession::StartTimer()
{
    ReportStatus(Status::StartTimer);
    {
        std::lock_guard lock(m_mutex);
        m_timedOut = false;
    }
    m_timer->setInterval(static_cast<uint>(qMax(0, m_timeOut)));
    m_timer->setEnabled(true);
}

void TSockSession::StopTimer()
{
    ReportStatus(Status::StopTimer);
    m_timer->setEnabled(false);
}

void TSockSession::TimerFired()
{
    ReportStatus(Status::TimerFired);
    StopTimer();
    {
        std::lock_guard lock(m_mutex);
        m_timedOut = true;
        m_changed.notify_all();
    }
    Abort();
}

void TSockSession::HandleSocketEvent(int event, int error)
{
    {
        std::lock_guard lock(m_mutex);
        m_lastEventOK = error == 0;
        if (error != 0)
            m_lastError = error;
    }
    switch (event) {
    case platform::seRead:
        ReadToStream();
        break;
    case platform::seWrite:
        WriteFromStream();
        break;
    case platform::seAccept: {
        std::lock_guard lock(m_mutex);
        m_connected = true;
    }
        if (m_acceptHook)
            m_acceptHook();
        break;
    case platform::seConnect:
        if (error == 0) {
            {
                std::lock_guard lock(m_mutex);
                m_connected = true;
                m_changed.notify_all();
            }
            emit OnConnect(this);
        }
        break;
    case platform::seClose: {
        // Collect what the peer sent before it went.
        char scratch[kChunk];
        for (;;) {
            if (isCanceled())
                break;
            const qint64 n = m_socket->recv(scratch, kChunk);
            if (n <= 0)
                break;
            appendReceived(scratch, n);
        }
        {
            std::lock_guard lock(m_mutex);
            m_connected = false;
            m_peerGone = true;
            m_changed.notify_all();
        }
        CloseSocket();
        break;
    }
    default:
        break;
    }
}

void TSockSession::appendReceived(const char *data, qsizetype length)
{
    std::lock_guard lock(m_mutex);
    // A server session never needs more than its two fields; anything beyond is dropped.
    if (m_receiveLimit > 0)
        length = qBound<qsizetype>(0, m_receiveLimit - m_receiveBuffer.size(), length);
    m_receiveBuffer.append(data, length);
    m_lastProgress = Clock::now();
    m_changed.notify_all();
}

void TSockSession::postSendMore()
{
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(wakeEventType())));
}

void TSockSession::customEvent(QEvent *)
{
    try {
        WriteFromStream();
    } catch (...) {
        // A send that fails leaves its error and the queue for the waiting writer to see.
    }
}

void TSockSession::postReadMore()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            try {
                ReadToStream();
            } catch (...) {
                // A receive that fails records its error; the reader's wait sees the rest.
            }
        },
        Qt::QueuedConnection);
}

void TSockSession::WriteFromStream()
{
    if (m_streamBusy)
        return;
    m_streamBusy = true;
    ReportStatus(Status::WriteFromStream);
    QByteArray chunk;
    {
        std::lock_guard lock(m_mutex);
        if (!m_sendQueue.isEmpty() && !m_canceled)
            chunk = m_sendQueue.left(kChunk);
    }
    if (!chunk.isEmpty()) {
        const qint64 sent = m_socket->send(chunk.constData(), chunk.size());
        std::lock_guard lock(m_mutex);
        if (sent < 0) {
            m_lastError = platform::lastSocketError();
            // A broken connection ends the sender's wait; a full socket retries on the next
            // write notification.
            if (m_lastError != platform::wsaWouldBlock) {
                m_peerGone = true;
                m_changed.notify_all();
            }
        } else if (sent >= m_sendQueue.size()) {
            m_sendQueue.clear();
            m_sendComplete = true;
            m_lastProgress = Clock::now();
            m_changed.notify_all();
        } else {
            m_sendQueue.remove(0, sent);
            m_lastProgress = Clock::now();
            postSendMore();
        }
    }
    m_streamBusy = false;
}

void TSockSession::ReadToStream()
{
    if (isCanceled()) {
        m_socket->select(0);
        return;
    }
    if (m_streamBusy) {
        // Nested inside a running transfer: come back later instead of losing the notification.
        postReadMore();
        return;
    }
    m_streamBusy = true;
    ReportStatus(Status::ReadToStream);
    char scratch[kChunk];
    const qint64 n = m_socket->recv(scratch, kChunk);
    if (n < 0) {
        const int error = platform::lastSocketError();
        {
            std::lock_guard lock(m_mutex);
            m_lastError = error;
        }
        ErrorToText(error);
    } else if (n > 0) {
        appendReceived(scratch, n);
        if (n == kChunk)
            postReadMore();
    }
    m_streamBusy = false;
}

void TSockSession::markAcceptReady()
{
    std::lock_guard lock(m_mutex);
    m_replyArrived = true;
}

bool TSockSession::waitForPeerClose(std::chrono::milliseconds limit)
{
    return waitFor([this] { return !m_connected || m_canceled; }, limit, false);
}

// ---------------------------------------------------------------------------------------------

namespace {
// The two fields of a delivery with their lengths: all a server session ever holds.
constexpr qsizetype kSessionReceiveLimit = 20480;
} // namespace

TGeneralServer::TGeneralServer(QObject *owner)
    : TSockSession(owner, qobject_cast<TGeneralServer *>(owner) ? SocketStart::Adopt : SocketStart::Create),
      m_isListeningServer(qobject_cast<TGeneralServer *>(owner) == nullptr)
{
}

TGeneralServer::~TGeneralServer()
{
    beginDestruction();
    stopServing();
}

void TGeneralServer::stopServing()
{
    if (!m_isListeningServer)
        return;
    Abort();
    std::vector<std::unique_ptr<TGeneralServer>> sessions;
    {
        std::lock_guard lock(m_sessionsMutex);
        sessions.swap(m_sessions);
    }
    // Cancelled workers end at their next look at the session; wait for them before their
    // sessions go. Answers they posted to this server are dropped with it.
    for (const auto &worker : m_workers)
        worker->stop();
    m_idleWorkers.clear();
    m_workers.clear();
    std::lock_guard lock(g_serverLock);
    sessions.clear();
}

void TGeneralServer::Loaded()
{
    if (!m_isListeningServer)
        return;
    setBacklog(m_listenBacklog);
    m_acceptHook = [this] { AcceptHandler(); };
    Listen();
}

void TGeneralServer::Abort()
{
    // Sessions are released only on this thread, so the ones seen here live while they are
    // cancelled; cancelling outside the lock keeps their events away from it.
    std::vector<TGeneralServer *> sessions;
    {
        std::lock_guard lock(m_sessionsMutex);
        for (const auto &session : m_sessions)
            sessions.push_back(session.get());
    }
    for (TGeneralServer *session : sessions)
        session->Cancel();
}

int TGeneralServer::sessionCount() const
{
    std::lock_guard lock(m_sessionsMutex);
    return static_cast<int>(m_sessions.size());
}

bool TGeneralServer::waitForClientClose()
{
    return waitForPeerClose(std::chrono::milliseconds(m_closeTimeout));
}

void TGeneralServer::AcceptHandler()
{
    // One notification may stand for several connections: every one waiting now is taken, so
    // a burst of senders does not cost a round of the event loop each.
    const QPointer<TGeneralServer> alive(this);
    for (int taken = 0; taken < m_maxSessions; ++taken) {
        if (taken > 0 && (!alive || !connectionWaiting()))
            return;
        TGeneralServer *dismissed = nullptr;
        try {
            markAcceptReady();
            const int descriptor = Accept();
            std::lock_guard lock(g_serverLock);
            dismissed = makeRoom();
            startSession(descriptor);
        } catch (...) {
            // The pending connection is not served: its descriptor is closed, and its sender
            // sees the connection end without an acknowledgement.
        }
        if (dismissed)
            dismissed->Cancel();
        emit OnClientContact(this);
    }
}

void TGeneralServer::startSession(int descriptor)
{
    std::unique_ptr<TGeneralServer> session;
    try {
        session = createSession();
        session->m_server = this;
        session->m_closeTimeout = m_closeTimeout;
        session->setReceiveLimit(kSessionReceiveLimit);
        session->setStallLimit(std::chrono::milliseconds(m_stallTimeout));
        if (m_idleWorkers.empty()) {
            m_workers.push_back(std::make_unique<TServeThread>());
            m_idleWorkers.push_back(m_workers.back().get());
        }
    } catch (...) {
        ::close(descriptor);
        throw;
    }
    session->adoptConnection(descriptor, peerAddressValue(), peerPortValue());
    session->m_worker = m_idleWorkers.back();
    m_idleWorkers.pop_back();
    TGeneralServer *const started = session.get();
    {
        std::lock_guard lock(m_sessionsMutex);
        m_sessions.push_back(std::move(session));
    }
    started->m_worker->assign(started);
}

TGeneralServer *TGeneralServer::makeRoom()
{
    std::lock_guard lock(m_sessionsMutex);
    TGeneralServer *stalest = nullptr;
    Clock::time_point stalestProgress = Clock::time_point::max();
    int live = 0;
    for (const auto &session : m_sessions) {
        // A cancelled read clears the session's cancel flag, so ended sessions are marked here.
        if (session->m_dismissed || session->m_ended)
            continue;
        ++live;
        const Clock::time_point progress = session->lastProgress();
        if (progress < stalestProgress) {
            stalest = session.get();
            stalestProgress = progress;
        }
    }
    if (live < m_maxSessions || !stalest)
        return nullptr;
    stalest->m_dismissed = true;
    return stalest;
}

void TGeneralServer::customEvent(QEvent *event)
{
    if (!m_isListeningServer) {
        TSockSession::customEvent(event);
        return;
    }
    // A worker has finished: release its session here, where its notifiers live.
    std::lock_guard lock(g_serverLock);
    std::vector<std::unique_ptr<TGeneralServer>> ended;
    {
        std::lock_guard sessionsLock(m_sessionsMutex);
        m_releasePosted = false;
        const auto firstEnded = std::stable_partition(m_sessions.begin(), m_sessions.end(),
                                                      [](const auto &session) { return !session->m_ended; });
        std::move(firstEnded, m_sessions.end(), std::back_inserter(ended));
        m_sessions.erase(firstEnded, m_sessions.end());
    }
    // Their workers are done with them and wait for the next session.
    for (const auto &session : ended)
        m_idleWorkers.push_back(session->m_worker);
}

// ---------------------------------------------------------------------------------------------

TServeThread::TServeThread() : m_thread(&TServeThread::run, this)
{
}

TServeThread::~TServeThread()
{
    stop();
}

void TServeThread::assign(TGeneralServer *session)
{
    std::lock_guard lock(m_mutex);
    m_next = session;
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
        TGeneralServer *session = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_next != nullptr || m_stopping; });
            if (!m_next)
                return;
            session = std::exchange(m_next, nullptr);
        }
        try {
            session->Serve();
        } catch (...) {
            // The session ends without an acknowledgement; its sender reports the failure.
        }
        // Closing here spares the owner's thread the teardown of every connection.
        session->closeAdoptedConnection();
        // From here on the session is the owner thread's to release, and this worker may be
        // given the next one: neither is touched again on this pass.
        // Sessions that end while a release is already asked for go with that one, so a flood
        // does not wake the owner's thread once per connection.
        TGeneralServer *const server = session->m_server;
        bool post = false;
        {
            std::lock_guard lock(server->m_sessionsMutex);
            session->m_ended = true;
            post = !std::exchange(server->m_releasePosted, true);
        }
        if (post)
            QCoreApplication::postEvent(server, new QEvent(static_cast<QEvent::Type>(wakeEventType())));
    }
}
