#pragma once

#include <QByteArray>
#include <QObject>

class TSockSession;
namespace platform {
class AsyncSocket;
} // namespace platform

// The UI-thread side of a session's socket: takes the socket's notifications, receives what
// arrived into the session's buffer and sends what the session queued, a chunk per call. A full
// chunk posts the next call, so a large transfer goes on without waiting for a notification.
// Receiving and sending never run nested; a receive that comes in the middle of a transfer is
// posted for afterwards. It keeps the session's shared flags under the session's mutex.
class TSessionStream : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSessionStream)

public:
    // A child of `session`, reading and writing through its `socket`.
    TSessionStream(TSockSession &session, platform::AsyncSocket &socket);

    // Queues `length` bytes behind what waits and starts sending them.
    void send(const char *data, qsizetype length);
    // Forgets what waits to be sent; called with the session's mutex held.
    void dropQueued() { m_sendQueue.clear(); }

private:
    void HandleSocketEvent(int event, int error);
    void WriteFromStream();
    void ReadToStream();
    void postSendMore();
    void postReadMore();

    TSockSession &m_session;
    platform::AsyncSocket &m_socket;
    bool m_streamBusy = false;
    QByteArray m_sendQueue; // guarded by the session's mutex
};
