#pragma once

#include "net/SockError.h"
#include "net/TransportTexts.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace platform {
class AsyncSocket;
class HostLookup;
} // namespace platform
class TSessionStream;
class TThreadTimer;

// A TCP session with blocking-looking operations over an asynchronous socket. Socket
// notifications are handled on the UI thread by the session's stream (TSessionStream);
// operations that wait keep the UI thread's events flowing while they wait
// (platform::waitUntil). The session connects to Host:Port; the listening server and the
// sessions its workers serve build on it.
class TSockSession : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSockSession)
    // The stream moves the socket's bytes and sets the flags the waits look at.
    friend class TSessionStream;
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

    // Waits until `done` (called with the session's mutex held) holds, pumping the owner
    // thread's events meanwhile. The wait ends early, answering false, after `limit` without progress (or after `limit`, when
    // `sinceProgress` is false); 0 is no limit.
    virtual bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = {},
                         bool sinceProgress = true);
    // Hands `length` bytes to the connection and waits until they are gone, the peer went, the
    // session was cancelled or the stall limit passed; sets m_sendComplete when all went.
    virtual void transmit(const char *data, qsizetype length);
    // Called under the mutex when the session is cancelled: ends waits that do not pump
    // events.
    virtual void wakeWaits() {}
    // The listening socket has a connection to accept.
    virtual void connectionPending() {}

    // Every wait of the session, on either thread, also ends (answering false) at `deadline`;
    // none lifts it.
    void setExchangeDeadline(std::optional<Clock::time_point> deadline);
    // The end of a wait that started at `start`, as it stands now (mutex held).
    std::optional<Clock::time_point> deadlineOf(Clock::time_point start, std::chrono::milliseconds limit,
                                                bool sinceProgress) const;
    // Marks the component as being torn down: no more status or disconnect events.
    void beginDestruction() { m_componentDestroying = true; }
    void setReceiveLimit(qsizetype limit) { m_receiveLimit = limit; }
    void setStallLimit(std::chrono::milliseconds limit) { m_stallLimit = limit; }
    std::chrono::milliseconds stallLimit() const { return m_stallLimit; }
    Clock::time_point lastProgress() const;
    bool isCanceled() const;
    // Keeps received bytes, up to the receive limit, and counts them as progress.
    void appendReceived(const char *data, qsizetype length);
    platform::AsyncSocket &socket() const { return *m_socket; }
    void setPeer(std::uint32_t address, std::uint16_t port);
    std::uint32_t peerAddressValue() const { return m_peerAddress; }
    std::uint16_t peerPortValue() const { return m_peerPort; }
    void CloseSocket();

    mutable std::mutex m_mutex;

    // Shared with the thread that serves a connection, guarded by m_mutex.
    bool m_connected = false;
    bool m_canceled = false;
    bool m_lastEventOK = true;
    bool m_sendComplete = false;
    bool m_peerGone = false; // the peer closed, or the connection broke
    int m_lastError = 0;
    Clock::time_point m_lastProgress = Clock::now();

private:
    // What resolving Host came to.
    enum class Lookup { Resolved, NoAddress, TimedOut, Canceled };
    void InitializeSockets(SocketStart start);
    // Turns Host into the peer's address; what a handler raises meanwhile goes to the caller.
    Lookup ResolveHost();
    void TimerFired();
    void queueBytes(const char *data, qsizetype length);

    QString m_host;
    int m_port = 0;
    int m_timeOut = 0;
    std::atomic<int> m_reportLevel = 0;
    int m_tag = 0;
    QByteArray m_listenAddress = QByteArrayLiteral("0.0.0.0");

    platform::AsyncSocket *const m_socket;
    platform::HostLookup *const m_lookup;
    TThreadTimer *const m_timer;
    TSessionStream *const m_stream;

    std::uint32_t m_peerAddress = 0; // network byte order; 0 = none
    std::uint16_t m_peerPort = 0;
    bool m_componentDestroying = false;
    QByteArray m_replyText;
    int m_replyCode = 0;
    qsizetype m_receiveLimit = 0;
    std::chrono::milliseconds m_stallLimit{0};

    // Guarded by m_mutex.
    QString m_status;
    QByteArray m_receiveBuffer;
    bool m_timedOut = false;
    bool m_lookupAnswered = false;
    std::uint32_t m_lookupAddress = 0;
    std::optional<Clock::time_point> m_deadline;
};
