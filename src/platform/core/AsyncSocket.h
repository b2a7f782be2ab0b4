#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

class QSocketNotifier;

// Winsock-style asynchronous IPv4 TCP sockets on top of non-blocking POSIX sockets. Readiness is
// watched by socket notifiers on the thread that owns the socket (the UI thread) and reported as
// socketEvent(event, error) with the event numbers and the error numbering of Winsock, so the
// transport above can speak of error 10061 whatever the platform calls it.
namespace platform {

// Event bits of socketEvent() and select().
enum SocketEvent : int {
    seRead = 1,
    seWrite = 2,
    seOutOfBand = 4,
    seAccept = 8,
    seConnect = 16,
    seClose = 32,
    seAll = 63,
};

// Winsock numbers of the conditions the transport cares about.
enum WinsockError : int {
    wsaWouldBlock = 10035,
    wsaNotSocket = 10038,
    wsaConnReset = 10054,
    wsaNotConnected = 10057,
    wsaTimedOut = 10060,
    wsaConnRefused = 10061,
    wsaHostNotFound = 11001,
    wsaTryAgain = 11002,
    wsaNoRecovery = 11003,
    wsaNoData = 11004,
    // A platform error Winsock has no number for: one generic text, never an unrelated row.
    wsaNoCounterpart = 19999,
};

constexpr std::uint32_t kInaddrNone = 0xFFFFFFFFu;

// The Winsock number of a POSIX errno value; 0 stays 0.
int winsockError(int posixError);

// The calling thread's last socket error in Winsock numbering (WSAGetLastError).
int lastSocketError();

// Dotted IPv4 text to an address in network byte order, like inet_addr: "a.b.c.d" and the
// shorter forms, decimal, octal or hexadecimal parts; kInaddrNone when the text is no address.
std::uint32_t inetAddr(const QByteArray &text);
// An address in network byte order as "a.b.c.d".
QString dottedAddress(std::uint32_t address);

class AsyncSocket : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AsyncSocket)

public:
    explicit AsyncSocket(QObject *parent = nullptr);
    ~AsyncSocket() override;

    // A fresh non-blocking TCP socket; false (and lastSocketError()) when none could be made.
    bool create();
    int handle() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }

    // The events to report (WSAAsyncSelect); 0 stops all reports.
    void select(int mask);

    bool setLinger(bool on, int seconds);
    bool setReuseAddress(bool on);

    // 0 on success, else -1 with lastSocketError(). A connection in progress answers -1 with
    // wsaWouldBlock; its outcome arrives as seConnect with or without an error.
    int connectTo(std::uint32_t address, std::uint16_t port);
    int bindTo(std::uint32_t address, std::uint16_t port);
    int listen(int backlog);
    // The accepted descriptor, or -1 with lastSocketError().
    int accept(std::uint32_t *peerAddress, std::uint16_t *peerPort);
    // Whether a listening socket has a connection waiting, without waiting for one.
    bool hasPendingConnection() const;
    // Byte counts, or -1 with lastSocketError() (wsaWouldBlock when nothing can move now).
    qint64 send(const char *data, qint64 length);
    qint64 recv(char *data, qint64 length);
    // 0, or -1 with lastSocketError(). The socket is invalid afterwards either way.
    int close();

    std::uint16_t localPort() const;

Q_SIGNALS:
    void socketEvent(int event, int error);

private:
    enum class State { Idle, Connecting, Connected, Listening, Failed };

    void attach(int descriptor, State state);
    void updateNotifiers();
    void readable();
    void writable();
    void report(int event, int error);

    // Made with the first descriptor: a socket that never gets one (a server session's, whose
    // connection its worker serves) costs no notifiers.
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    int m_fd = -1;
    int m_mask = 0;
    State m_state = State::Idle;
    // Like Winsock, a read or accept is reported once and again only after recv()/accept();
    // a write is reported after the connection is made and again after a send would block.
    bool m_readArmed = false;
    bool m_writeArmed = false;
    bool m_closeReported = false;
    quint64 m_generation = 0;
};

// Asynchronous name lookup answered on the owner's thread. A lookup that was aborted or
// replaced by a newer one never answers, however late its result comes.
class HostLookup : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HostLookup)

public:
    explicit HostLookup(QObject *parent = nullptr);
    ~HostLookup() override;

    void start(const QString &name);
    void abort();
    bool isRunning() const { return m_lookupId >= 0; }

Q_SIGNALS:
    // The first IPv4 address in network byte order, or 0 with a Winsock error number.
    void finished(std::uint32_t address, int error);

private:
    int m_lookupId = -1;
    quint64 m_generation = 0;
};

} // namespace platform
