#pragma once

#include "support/Wait.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Raw blocking sockets on 127.0.0.1 for transport tests: the other end of a connection,
// written without any of the program's own socket code. Every blocking call gives up after a
// generous deadline so a broken transport fails a test instead of hanging it.
namespace loopback {

// How a connection ended, seen from the reading side.
enum class Ending { Open, Orderly, Reset };

class Connection
{
public:
    Connection() = default;
    explicit Connection(int fd) : m_fd(fd) {}
    ~Connection();
    Connection(Connection &&other) noexcept;
    Connection &operator=(Connection &&other) noexcept;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // A blocking connect to 127.0.0.1:port; an invalid connection on failure.
    static Connection connectTo(std::uint16_t port);
    // Starts a connect to 127.0.0.1:port without waiting for it to complete.
    static Connection startConnect(std::uint16_t port);

    bool isValid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    bool sendAll(const QByteArray &bytes);
    // Reads until `count` bytes, the peer's close or the deadline; returns what arrived.
    QByteArray readExactly(int count, int ms = kPatienceMs);
    // Reads until the peer closes (or the deadline); `ending` tells how it closed.
    QByteArray readToEnd(Ending *ending = nullptr, int ms = kPatienceMs);
    // Reads what has arrived without waiting; `ending` (if given) turns from Open when the
    // peer has closed.
    QByteArray readAvailable(Ending *ending = nullptr);
    // Bytes waiting to be read right now, without consuming them.
    int pendingBytes() const;
    // Close resetting the connection (linger 0) instead of the orderly close.
    void closeWithReset();
    void close();

private:
    int m_fd = -1;
};

// 127.0.0.1; the rest of 127.0.0.0/8 is loopback too, for a second receiver on the same port.
constexpr std::uint32_t kLoopback = 0x7F000001;

class Listener
{
public:
    explicit Listener(int backlog = 16, std::uint16_t port = 0, std::uint32_t address = kLoopback);
    ~Listener();
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    bool isValid() const { return m_fd >= 0; }
    std::uint16_t port() const { return m_port; }
    // Waits for one connection; an invalid connection after `ms`.
    Connection accept(int ms = kPatienceMs);
    // True when a connection is waiting to be accepted right now.
    bool hasPending() const;

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

// A port on 127.0.0.1 that nobody listens on (bound once, then released).
std::uint16_t unusedPort();

// A one-connection peer on its own thread: accepts, reads `expect` bytes, runs `reply` with the
// connection (write an answer, close, ...), then reads until the client closes.
class ServerThread
{
public:
    using Reply = std::function<void(Connection &)>;
    ServerThread(int expect, Reply reply);
    ~ServerThread();

    std::uint16_t port() const { return m_listener.port(); }
    // Waits for the thread to finish its connection.
    void join();
    QByteArray received() const;
    Ending ending() const;

private:
    Listener m_listener;
    int m_expect;
    Reply m_reply;
    mutable std::mutex m_mutex;
    QByteArray m_received;
    Ending m_ending = Ending::Open;
    std::thread m_thread;
};

// Sends the 16-byte acknowledgement of a chat line.
void replyOk(Connection &connection);

// A receiver of chat lines on its own thread that serves every connection the same way, good or
// misbehaving the way real receivers do, and records the bytes each connection brought.
class ScriptedPeer
{
public:
    enum class Behaviour {
        Good,        // reads both fields, acknowledges, waits for the close
        Hangup,      // accepts and closes at once
        HangupAfter, // reads `bytes` bytes, then closes
        Silent,      // accepts and never reads or answers
        Chatty,      // acknowledges, then sends more bytes before the close
    };
    ScriptedPeer(Behaviour behaviour, std::uint16_t port = 0, std::uint32_t address = kLoopback,
                 int bytes = 0);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer &) = delete;
    ScriptedPeer &operator=(const ScriptedPeer &) = delete;

    bool isValid() const { return m_listener.isValid(); }
    std::uint16_t port() const { return m_listener.port(); }
    // What each finished connection brought, in order.
    QList<QByteArray> deliveries() const;
    bool waitForDeliveries(qsizetype count, int ms = kPatienceMs) const;

private:
    void serve(Connection connection);

    const Behaviour m_behaviour;
    const int m_bytes;
    Listener m_listener;
    std::atomic<bool> m_stop = false;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_delivered;
    QList<QByteArray> m_deliveries;
    std::thread m_thread;
};

} // namespace loopback
