#pragma once

#include "net/TransportTexts.h"
#include "platform/core/AsyncSocket.h"
#include "platform/core/Error.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class QTimer;
class TGeneralServer;

// The transport's error: its text is shown to the user as it is.
class ESockError : public platform::Exception
{
public:
    using platform::Exception::Exception;
};

// An operation that was cancelled while it waited.
class EAbortError : public ESockError
{
public:
    using ESockError::ESockError;
};

// One-shot time-out timer of a session: fires OnTimer every Interval ms while Enabled; the
// session stops it at the first tick.
class TThreadTimer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TThreadTimer)
    Q_PROPERTY(bool Enabled READ enabled WRITE setEnabled)
    Q_PROPERTY(uint Interval READ interval WRITE setInterval)

public:
    explicit TThreadTimer(QObject *owner = nullptr);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    uint interval() const { return m_interval; }
    void setInterval(uint interval);

Q_SIGNALS:
    void OnTimer(TThreadTimer *sender);

private:
    void UpdateTimer();

    QTimer *const m_timer;
    bool m_enabled = true;
    uint m_interval = 1000;
};

// A TCP session with blocking-looking operations over an asynchronous socket. Socket
// notifications are handled on the UI thread; operations that wait keep the UI thread's events
// flowing while they wait (platform::waitUntil). Sessions of a server are read and written by
// their worker thread while the UI thread moves the bytes; buffers and flags shared by the two
// are guarded by one mutex and a condition variable wakes the worker.
class TSockSession : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSockSession)
    Q_PROPERTY(QString Host READ host WRITE setHost)
    Q_PROPERTY(int Port READ port WRITE setPort)
    Q_PROPERTY(int TimeOut READ timeOut WRITE setTimeOut)
    Q_PROPERTY(int ReportLevel READ reportLevel WRITE setReportLevel)

public:
    explicit TSockSession(QObject *owner = nullptr);
    ~TSockSession() override;

    QString host() const { return m_host; }
    void setHost(const QString &host) { m_host = host; }
    int port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    int timeOut() const { return m_timeOut; }
    void setTimeOut(int timeOut) { m_timeOut = timeOut; }
    int reportLevel() const { return m_reportLevel; }
    void setReportLevel(int level) { m_reportLevel = level; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    QString status() const;

    bool isConnected() const;
    int lastError() const;
    // The peer of the connection (after Connect or an accept), dotted; empty without one.
    QString peerAddress() const;
    // The address Listen binds to; "0.0.0.0" (every local address) unless a test narrows it.
    QByteArray listenAddress() const { return m_listenAddress; }
    void setListenAddress(const QByteArray &address) { m_listenAddress = address; }
    // The local port of the socket (the real one when Port is 0).
    int boundPort() const;

    virtual void Connect();
    virtual void Disconnect();
    void Cancel();
    virtual void Abort();
    virtual int Accept();
    void Listen();

    // Sends `text` up to its first zero byte, at most 16384 bytes.
    void Write(const QByteArray &text);
    void Writeln(const QByteArray &text);
    // Sends `length` bytes of `data`; 0 sends up to the first zero byte. Waits until the socket
    // took them all; EAbortError when cancelled, ESockError when the connection broke.
    void SendBuffer(const char *data, int length = 0);
    void SendBuffer(const QByteArray &data);
    // Waits for `count` bytes and returns them; 0 returns what has arrived, without waiting.
    // EAbortError when cancelled; ESockError when the peer closed before enough arrived.
    QByteArray Read(int count);
    // The bytes up to and including the next line feed. A cancel stays set after it ended this.
    QByteArray ReadLn();
    virtual QByteArray Transaction(const QByteArray &text);
    QByteArray replyText() const { return m_replyText; }
    int replyCode() const { return m_replyCode; }

    QString ErrorToText(int code);
    QString CheckError(int tolerated);
    void ReportStatus(int level, const QString &text);
    // A status of the table; its text is made only when the level lets it through.
    void ReportStatus(TransportTexts::Status status, int count = 0);

    void StartTimer();
    void StopTimer();

Q_SIGNALS:
    void OnDisconnect(TSockSession *sender);
    void OnConnect(TSockSession *sender);
    void OnInvalidHost(bool &handled); // direct connections only
    void OnHostResolved(TSockSession *sender);
    void OnStatus(TSockSession *sender, const QString &status);
    void OnConnectionFailed(TSockSession *sender);

protected:
    using Clock = std::chrono::steady_clock;

    // A session made to take over an accepted connection needs no socket of its own.
    enum class SocketStart { Create, Adopt };
    TSockSession(QObject *owner, SocketStart start);

    // Waits until `done` (called with the session's mutex held) holds. On the UI thread the
    // wait pumps events; on a worker it sleeps on the condition variable. The wait ends early,
    // answering false, after `limit` without progress (or after `limit`, when `sinceProgress`
    // is false); 0 is no limit.
    bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = {},
                 bool sinceProgress = true);
    // Every wait of the session, on either thread, also ends (answering false) at `deadline`;
    // none lifts it.
    void setExchangeDeadline(std::optional<Clock::time_point> deadline);
    bool onOwnerThread() const;
    // Marks the component as being torn down: no more status or disconnect events.
    void beginDestruction() { m_componentDestroying = true; }
    // Takes over an accepted connection for a worker thread (server sessions).
    void adoptConnection(int descriptor, std::uint32_t peerAddress, std::uint16_t peerPort);
    // Ends an adopted connection on the worker that served it, once nothing more is read or
    // written on it.
    void closeAdoptedConnection();
    void setReceiveLimit(qsizetype limit) { m_receiveLimit = limit; }
    void setStallLimit(std::chrono::milliseconds limit) { m_stallLimit = limit; }
    // Backlog of Listen; whether its bind and listen succeeded.
    void setBacklog(int backlog) { m_backlog = backlog; }
    bool listenSucceeded() const { return m_listenOk; }
    std::chrono::milliseconds stallLimit() const { return m_stallLimit; }
    Clock::time_point lastProgress() const;
    bool isCanceled() const;
    // Waits (worker side) until the peer has closed or the session is cancelled; false when
    // `limit` passed first.
    bool waitForPeerClose(std::chrono::milliseconds limit);
    // The accept notification has come: Accept may go ahead.
    void markAcceptReady();
    // A listening session: another connection is waiting to be accepted.
    bool connectionWaiting() const { return m_socket->hasPendingConnection(); }
    std::uint32_t peerAddressValue() const { return m_peerAddress; }
    std::uint16_t peerPortValue() const { return m_peerPort; }
    void CloseSocket();
    // Posted to the owner thread by a worker: more to send.
    void customEvent(QEvent *event) override;

    std::function<void()> m_acceptHook;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;

private:
    enum class Readiness { Ready, Canceled, TimedOut };

    // The end of a wait that started at `start`, as it stands now (mutex held).
    std::optional<Clock::time_point> deadlineOf(Clock::time_point start, std::chrono::milliseconds limit,
                                                bool sinceProgress) const;
    // A session whose worker owns its descriptor: waits on it, receiving as it goes.
    Readiness waitReady(short events, std::optional<Clock::time_point> end);
    bool receiveDirect(const std::function<bool()> &done, Clock::time_point start,
                       std::chrono::milliseconds limit, bool sinceProgress);
    void sendDirect(const char *data, qsizetype length);
    void InitializeSockets(SocketStart start);
    void ResolveHost();
    void TimerFired();
    void HandleSocketEvent(int event, int error);
    void WriteFromStream();
    void ReadToStream();
    void postSendMore();
    void postReadMore();
    void queueBytes(const char *data, qsizetype length);
    void appendReceived(const char *data, qsizetype length);

    QString m_host;
    int m_port = 0;
    int m_timeOut = 0;
    std::atomic<int> m_reportLevel = 0;
    int m_tag = 0;
    QByteArray m_listenAddress = QByteArrayLiteral("0.0.0.0");

    platform::AsyncSocket *const m_socket;
    platform::HostLookup *const m_lookup;
    TThreadTimer *const m_timer;

    std::uint32_t m_peerAddress = 0; // network byte order; 0 = none
    std::uint16_t m_peerPort = 0;
    std::uint32_t m_lookupAddress = 0;
    bool m_componentDestroying = false;
    bool m_streamBusy = false;
    QByteArray m_replyText;
    int m_replyCode = 0;
    qsizetype m_receiveLimit = 0;
    std::chrono::milliseconds m_stallLimit{0};
    int m_backlog = 1;
    bool m_listenOk = false;

    // Shared with a server session's worker, guarded by m_mutex.
    QString m_status;
    QByteArray m_receiveBuffer;
    QByteArray m_sendQueue;
    bool m_connected = false;
    bool m_canceled = false;
    bool m_timedOut = false;
    bool m_lastEventOK = true;
    bool m_replyArrived = false;
    bool m_sendComplete = false;
    bool m_peerGone = false; // the peer closed, or the connection broke
    int m_lastError = 0;
    Clock::time_point m_lastProgress = Clock::now();
    std::optional<Clock::time_point> m_deadline;
    // A server session's connection, read and written by its worker alone; -1 for a session
    // whose socket events come to the owner thread.
    int m_ownFd = -1;
    int m_wakeFd = -1; // wakes the worker's waits when the session is cancelled
};

// A worker thread of a listening server: serves one session at a time, then waits for the
// next one. The server hands each accepted connection to an idle worker, or to a new one, so a
// burst of senders does not pay for starting a thread per line; there are never more workers
// than sessions were live at once.
class TServeThread
{
public:
    TServeThread();
    ~TServeThread();
    Q_DISABLE_COPY_MOVE(TServeThread)

    // Runs `session`'s Serve on this worker; the worker must be idle.
    void assign(TGeneralServer *session);
    // Lets the worker end once its session is done, and waits for it.
    void stop();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    TGeneralServer *m_next = nullptr;
    bool m_stopping = false;
    std::thread m_thread;
};

// A server: listens on Port and serves every accepted connection with a session of its own
// class run by a worker thread. Live sessions are bounded; when the bound is reached the session
// that has gone longest without progress is ended to make room. A session whose peer stalls in
// the middle of a message, or does not close after the acknowledgement, is ended after a limit.
class TGeneralServer : public TSockSession
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TGeneralServer)

public:
    explicit TGeneralServer(QObject *owner = nullptr);
    ~TGeneralServer() override;

    // What loading from the form data does: starts listening on Port.
    void Loaded();
    // False when the port could not be bound or listened on.
    bool isListening() const { return listenSucceeded(); }

    void Connect() override {}
    void Abort() override;
    virtual void Serve() {}

    // Limits of a listening server, settable for tests.
    int maxSessions() const { return m_maxSessions; }
    void setMaxSessions(int count) { m_maxSessions = count; }
    int stallTimeout() const { return m_stallTimeout; }
    void setStallTimeout(int ms) { m_stallTimeout = ms; }
    int closeTimeout() const { return m_closeTimeout; }
    void setCloseTimeout(int ms) { m_closeTimeout = ms; }
    int listenBacklog() const { return m_listenBacklog; }
    // Pending connections the system queues before the UI thread accepts them (with room for
    // one, a burst of peers would lose connection attempts).
    void setListenBacklog(int backlog) { m_listenBacklog = backlog; }
    // Live sessions of a listening server, ended ones not yet released included.
    int sessionCount() const;
    // In a per-connection session: the listening server that created it.
    TGeneralServer *server() const { return m_server; }

    static constexpr int kDefaultMaxSessions = 64;
    static constexpr int kDefaultStallTimeout = 30000;
    static constexpr int kDefaultCloseTimeout = 10000;

Q_SIGNALS:
    void OnClientContact(TSockSession *sender);

protected:
    // A new per-connection session of the server's own class, owned by this server.
    virtual std::unique_ptr<TGeneralServer> createSession() = 0;
    // Cancels every session and waits for its worker; the most derived server calls it first
    // in its destructor, before anything the workers use is gone.
    void stopServing();
    // The wait for the client's close after the acknowledgement; false when the limit passed.
    bool waitForClientClose();

private:
    friend class TServeThread;

    void AcceptHandler();
    void startSession(int descriptor);
    // At the bound of live sessions: the one longest without progress, marked to be cancelled.
    TGeneralServer *makeRoom();
    // The listening server releases sessions whose worker has ended.
    void customEvent(QEvent *event) override;

    bool m_isListeningServer = false;
    int m_maxSessions = kDefaultMaxSessions;
    int m_stallTimeout = kDefaultStallTimeout;
    int m_closeTimeout = kDefaultCloseTimeout;
    int m_listenBacklog = kDefaultMaxSessions;

    mutable std::mutex m_sessionsMutex;
    std::vector<std::unique_ptr<TGeneralServer>> m_sessions;
    std::vector<std::unique_ptr<TServeThread>> m_workers; // of a listening server
    std::vector<TServeThread *> m_idleWorkers;            // owner thread only
    // A release is asked for and not yet begun: the sessions that end meanwhile go with it.
    bool m_releasePosted = false; // guarded by m_sessionsMutex
    TGeneralServer *m_server = nullptr;
    TServeThread *m_worker = nullptr; // the one serving this session
    // Guarded by the listening server's m_sessionsMutex.
    bool m_ended = false;     // the worker has finished
    bool m_dismissed = false; // cancelled to make room
};
