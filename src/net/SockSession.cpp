#include "net/SockSession.h"

#include "net/SessionStream.h"
#include "net/ThreadTimer.h"
#include "net/TransportTexts.h"
#include "platform/core/AsyncSocket.h"
#include "platform/core/EventPump.h"

#include <QMetaMethod>

#include <algorithm>

using namespace std::chrono_literals;
using TransportTexts::Status;

namespace {

// Largest text one Write hands over.
constexpr qsizetype kMaxWrite = 16384;

} // namespace

TSockSession::TSockSession(QObject *owner) : TSockSession(owner, SocketStart::Create)
{
}

TSockSession::TSockSession(QObject *owner, SocketStart start)
    : QObject(owner), m_socket(new platform::AsyncSocket(this)), m_lookup(new platform::HostLookup(this)),
      m_timer(new TThreadTimer(this)), m_stream(new TSessionStream(*this, *m_socket))
{
    m_timer->setEnabled(false);
    connect(m_timer, &TThreadTimer::OnTimer, this, &TSockSession::TimerFired);
    connect(m_lookup, &platform::HostLookup::finished, this, [this](std::uint32_t address, int error) {
        std::lock_guard lock(m_mutex);
        m_lastEventOK = error == 0;
        m_lookupAddress = address;
        if (error != 0)
            m_lastError = error;
        m_lookupAnswered = true;
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
    // Sessions are driven by their own thread's events; a server session's worker waits on
    // its descriptor instead (TServerSession).
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
        Q_EMIT OnStatus(this, text);
}

void TSockSession::ReportStatus(Status status, int count)
{
    const int level = TransportTexts::statusLevel(status);
    if (level <= m_reportLevel)
        ReportStatus(level, TransportTexts::statusText(status, count));
}

TSockSession::Lookup TSockSession::ResolveHost()
{
    ReportStatus(Status::ResolveHost);
    const std::uint32_t dotted = platform::inetAddr(m_host.toLatin1());
    if (dotted != platform::kInaddrNone) {
        m_peerAddress = dotted; // "0.0.0.0" gives 0: no address
        return Lookup::Resolved;
    }
    m_peerAddress = 0;
    StartTimer();
    {
        std::lock_guard lock(m_mutex);
        m_lookupAnswered = false;
        m_lookupAddress = 0;
    }
    m_lookup->start(m_host);
    waitFor([this] { return m_lookupAnswered || m_timedOut || m_canceled; });
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
        return timedOut ? Lookup::TimedOut : Lookup::Canceled;
    }
    if (!ok)
        return Lookup::NoAddress;
    m_peerAddress = address;
    Q_EMIT OnHostResolved(this);
    return Lookup::Resolved;
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
        m_stream->dropQueued();
        m_sendComplete = false;
        m_peerGone = false;
    }
    for (int attempt = 0;; ++attempt) {
        // A name that does not resolve leaves no address; a lookup that timed out or was
        // cancelled ends the attempt.
        Lookup lookup = Lookup::NoAddress;
        try {
            lookup = ResolveHost();
        } catch (const ESockError &) {
            // A handler that failed while the name was resolved leaves no address either: the
            // invalid-host path below answers for it.
        }
        if (lookup == Lookup::TimedOut)
            throw ESockError(TransportTexts::lookupTimedOut());
        if (lookup == Lookup::Canceled)
            throw ESockError(TransportTexts::lookupCanceled());
        if (lookup != Lookup::Resolved)
            m_peerAddress = 0;
        if (m_peerAddress != 0)
            break;
        if (attempt > 0 || !isSignalConnected(QMetaMethod::fromSignal(&TSockSession::OnInvalidHost)))
            throw ESockError(TransportTexts::nullAddress());
        bool handled = false;
        Q_EMIT OnInvalidHost(handled);
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
    Q_EMIT OnConnectionFailed(this);
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
    wakeWaits();
}

void TSockSession::Abort()
{
}

void TSockSession::setPeer(std::uint32_t address, std::uint16_t port)
{
    m_peerAddress = address;
    m_peerPort = port;
}

void TSockSession::CloseSocket()
{
    ReportStatus(Status::CloseSocket);
    {
        std::lock_guard lock(m_mutex);
        m_connected = false;
        m_peerGone = true;
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
        Q_EMIT OnDisconnect(this);
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
    }
    transmit(data, length);
    std::lock_guard lock(m_mutex);
    if (m_canceled) {
        m_canceled = false;
        throw EAbortError(TransportTexts::sendCanceled());
    }
    if (!m_sendComplete)
        throw ESockError(m_peerGone ? TransportTexts::connectionLost() : TransportTexts::receiveTimedOut());
}

void TSockSession::transmit(const char *data, qsizetype length)
{
    m_stream->send(data, length);
    waitFor([this] { return m_sendComplete || m_canceled || m_peerGone; }, m_stallLimit);
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
    }
    Abort();
}

void TSockSession::appendReceived(const char *data, qsizetype length)
{
    std::lock_guard lock(m_mutex);
    // A server session never needs more than its two fields; anything beyond is dropped.
    if (m_receiveLimit > 0)
        length = qBound<qsizetype>(0, m_receiveLimit - m_receiveBuffer.size(), length);
    m_receiveBuffer.append(data, length);
    m_lastProgress = Clock::now();
}
