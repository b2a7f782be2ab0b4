#include "net/GeneralServer.h"

#include "net/ServeThread.h"
#include "net/ServerSession.h"
#include "platform/core/AsyncSocket.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <algorithm>
#include <iterator>

#include <unistd.h>

using TransportTexts::Status;

namespace {
// The two fields of a delivery with their lengths: all a server session ever holds.
constexpr qsizetype kSessionReceiveLimit = 20480;

// Asks the server's thread to release ended sessions. The event carries nothing: what to
// release is in the server's state, guarded by its mutex, so a worker hands nothing over
// through the event queue itself.
QEvent::Type releaseEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}
} // namespace

TGeneralServer::TGeneralServer(QObject *owner) : TSockSession(owner)
{
}

TGeneralServer::~TGeneralServer()
{
    beginDestruction();
    stopServing();
}

void TGeneralServer::stopServing()
{
    Abort();
    std::vector<Served> sessions;
    {
        std::lock_guard lock(m_sessionsMutex);
        sessions.swap(m_sessions);
    }
    // Cancelled workers end at their next look at the session; wait for them before their
    // sessions go. Releases they asked this server for are dropped with it.
    for (const auto &worker : m_workers)
        worker->stop();
    m_idleWorkers.clear();
    m_workers.clear();
}

void TGeneralServer::Loaded()
{
    Listen();
}

void TGeneralServer::Listen()
{
    ReportStatus(Status::Listen);
    m_acceptReady = false;
    std::uint32_t address = platform::inetAddr(listenAddress());
    if (address == platform::kInaddrNone)
        address = 0;
    socket().setReuseAddress(true);
    socket().select(platform::seAccept);
    m_listenOk = socket().bindTo(address, static_cast<std::uint16_t>(port())) == 0 &&
                 socket().listen(m_listenBacklog) == 0;
    if (!m_listenOk) {
        std::lock_guard lock(m_mutex);
        m_lastError = platform::lastSocketError();
    }
}

int TGeneralServer::Accept()
{
    waitFor([this] { return m_acceptReady || m_canceled; });
    {
        std::lock_guard lock(m_mutex);
        if (m_canceled)
            throw ESockError(TransportTexts::acceptCanceled());
        if (!m_lastEventOK)
            throw ESockError(TransportTexts::acceptFailed());
    }
    ReportStatus(Status::Accept);
    std::uint32_t peerAddress = 0;
    std::uint16_t peerPort = 0;
    const int descriptor = socket().accept(&peerAddress, &peerPort);
    if (descriptor < 0) {
        const int error = platform::lastSocketError();
        std::lock_guard lock(m_mutex);
        m_lastError = error;
        throw ESockError(TransportTexts::ErrorToText(error));
    }
    setPeer(peerAddress, peerPort);
    std::lock_guard lock(m_mutex);
    if (m_canceled) {
        m_canceled = false;
        ::close(descriptor);
        throw EAbortError(TransportTexts::sendCanceled());
    }
    return descriptor;
}

void TGeneralServer::Abort()
{
    // Sessions are released only on this thread, so the ones seen here live while they are
    // cancelled; cancelling outside the lock keeps their events away from it.
    std::vector<TServerSession *> sessions;
    {
        std::lock_guard lock(m_sessionsMutex);
        for (const Served &served : m_sessions)
            sessions.push_back(served.session.get());
    }
    for (TServerSession *session : sessions)
        session->Cancel();
}

int TGeneralServer::sessionCount() const
{
    std::lock_guard lock(m_sessionsMutex);
    return static_cast<int>(m_sessions.size());
}

void TGeneralServer::connectionPending()
{
    AcceptHandler();
}

void TGeneralServer::AcceptHandler()
{
    // One notification may stand for several connections: every one waiting now is taken, so
    // a burst of senders does not cost a round of the event loop each.
    const QPointer<TGeneralServer> alive(this);
    for (int taken = 0; taken < m_maxSessions; ++taken) {
        if (taken > 0 && (!alive || !socket().hasPendingConnection()))
            return;
        TServerSession *dismissed = nullptr;
        try {
            m_acceptReady = true;
            const int descriptor = Accept();
            dismissed = makeRoom();
            startSession(descriptor);
        } catch (...) {
            // The pending connection is not served: its descriptor is closed, and its sender
            // sees the connection end without an acknowledgement.
        }
        if (dismissed)
            dismissed->Cancel();
        Q_EMIT OnClientContact(this);
    }
}

void TGeneralServer::startSession(int descriptor)
{
    std::unique_ptr<TServerSession> session;
    try {
        session = std::make_unique<TServerSession>();
        session->setCloseTimeout(std::chrono::milliseconds(m_closeTimeout));
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
    session->adopt(descriptor, peerAddressValue(), peerPortValue());
    TServeThread *const worker = m_idleWorkers.back();
    m_idleWorkers.pop_back();
    TServerSession *const started = session.get();
    {
        std::lock_guard lock(m_sessionsMutex);
        m_sessions.push_back({std::move(session), worker});
    }
    worker->assign([this, started] { serveOnWorker(started); });
}

TServerSession *TGeneralServer::makeRoom()
{
    std::lock_guard lock(m_sessionsMutex);
    Served *stalest = nullptr;
    Clock::time_point stalestProgress = Clock::time_point::max();
    int live = 0;
    for (Served &served : m_sessions) {
        // A cancelled read clears the session's cancel flag, so ended sessions are marked here.
        if (served.dismissed || served.ended)
            continue;
        ++live;
        const Clock::time_point progress = served.session->lastProgress();
        if (progress < stalestProgress) {
            stalest = &served;
            stalestProgress = progress;
        }
    }
    if (live < m_maxSessions || !stalest)
        return nullptr;
    stalest->dismissed = true;
    return stalest->session.get();
}

void TGeneralServer::serveOnWorker(TServerSession *session)
{
    try {
        Serve(*session);
    } catch (...) {
        // The session ends without an acknowledgement; its sender reports the failure.
    }
    // Closing here spares the owner's thread the teardown of every connection.
    session->closeConnection();
    // From here on the session is the owner thread's to release, and this worker may be given
    // the next one: neither is touched again on this pass. Sessions that end while a release
    // is already asked for go with that one, so a flood does not wake the owner's thread once
    // per connection.
    bool post = false;
    {
        std::lock_guard lock(m_sessionsMutex);
        const auto served = std::find_if(m_sessions.begin(), m_sessions.end(),
                                         [session](const Served &s) { return s.session.get() == session; });
        if (served != m_sessions.end())
            served->ended = true;
        post = !std::exchange(m_releasePosted, true);
    }
    if (post)
        QCoreApplication::postEvent(this, new QEvent(releaseEventType()));
}

void TGeneralServer::customEvent(QEvent *)
{
    // The only event posted to a server is a worker's release request; the event itself is
    // not read, it was made on the worker's thread.
    releaseEnded();
}

void TGeneralServer::releaseEnded()
{
    std::vector<Served> ended;
    {
        std::lock_guard lock(m_sessionsMutex);
        m_releasePosted = false;
        const auto firstEnded = std::stable_partition(m_sessions.begin(), m_sessions.end(),
                                                      [](const Served &served) { return !served.ended; });
        std::move(firstEnded, m_sessions.end(), std::back_inserter(ended));
        m_sessions.erase(firstEnded, m_sessions.end());
    }
    // Their workers are done with them and wait for the next session.
    for (const Served &served : ended)
        m_idleWorkers.push_back(served.worker);
}
