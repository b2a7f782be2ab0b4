#include "net/SessionStream.h"

#include "net/SockSession.h"
#include "platform/core/AsyncSocket.h"

#include <QMetaObject>

using TransportTexts::Status;

namespace {

// Data moves in chunks of at most this many bytes per receive or send.
constexpr qsizetype kChunk = 16383;

} // namespace

TSessionStream::TSessionStream(TSockSession &session, platform::AsyncSocket &socket)
    : QObject(&session), m_session(session), m_socket(socket)
{
    connect(&m_socket, &platform::AsyncSocket::socketEvent, this, [this](int event, int error) {
        try {
            HandleSocketEvent(event, error);
        } catch (...) {
            // Nothing raised while a notification is handled gets out: the waits look at the
            // flags it set, and a failed close has already recorded its error.
        }
    });
}

void TSessionStream::send(const char *data, qsizetype length)
{
    {
        std::lock_guard lock(m_session.m_mutex);
        m_sendQueue.append(data, length);
    }
    postSendMore();
}

void TSessionStream::HandleSocketEvent(int event, int error)
{
    {
        std::lock_guard lock(m_session.m_mutex);
        m_session.m_lastEventOK = error == 0;
        if (error != 0)
            m_session.m_lastError = error;
    }
    switch (event) {
    case platform::seRead:
        ReadToStream();
        break;
    case platform::seWrite:
        WriteFromStream();
        break;
    case platform::seAccept: {
        std::lock_guard lock(m_session.m_mutex);
        m_session.m_connected = true;
    }
        m_session.connectionPending();
        break;
    case platform::seConnect:
        if (error == 0) {
            {
                std::lock_guard lock(m_session.m_mutex);
                m_session.m_connected = true;
            }
            Q_EMIT m_session.OnConnect(&m_session);
        }
        break;
    case platform::seClose: {
        // Collect what the peer sent before it went.
        char scratch[kChunk];
        for (;;) {
            if (m_session.isCanceled())
                break;
            const qint64 n = m_socket.recv(scratch, kChunk);
            if (n <= 0)
                break;
            m_session.appendReceived(scratch, n);
        }
        {
            std::lock_guard lock(m_session.m_mutex);
            m_session.m_connected = false;
            m_session.m_peerGone = true;
        }
        m_session.CloseSocket();
        break;
    }
    default:
        break;
    }
}

void TSessionStream::postSendMore()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            try {
                WriteFromStream();
            } catch (...) {
                // A send that fails leaves its error and the queue for the waiting writer to see.
            }
        },
        Qt::QueuedConnection);
}

void TSessionStream::postReadMore()
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

void TSessionStream::WriteFromStream()
{
    if (m_streamBusy)
        return;
    m_streamBusy = true;
    m_session.ReportStatus(Status::WriteFromStream);
    QByteArray chunk;
    {
        std::lock_guard lock(m_session.m_mutex);
        if (!m_sendQueue.isEmpty() && !m_session.m_canceled)
            chunk = m_sendQueue.left(kChunk);
    }
    if (!chunk.isEmpty()) {
        const qint64 sent = m_socket.send(chunk.constData(), chunk.size());
        std::lock_guard lock(m_session.m_mutex);
        if (sent < 0) {
            m_session.m_lastError = platform::lastSocketError();
            // A broken connection ends the sender's wait; a full socket retries on the next
            // write notification.
            if (m_session.m_lastError != platform::wsaWouldBlock) {
                m_session.m_peerGone = true;
            }
        } else if (sent >= m_sendQueue.size()) {
            m_sendQueue.clear();
            m_session.m_sendComplete = true;
            m_session.m_lastProgress = TSockSession::Clock::now();
        } else {
            m_sendQueue.remove(0, sent);
            m_session.m_lastProgress = TSockSession::Clock::now();
            postSendMore();
        }
    }
    m_streamBusy = false;
}

void TSessionStream::ReadToStream()
{
    if (m_session.isCanceled()) {
        m_socket.select(0);
        return;
    }
    if (m_streamBusy) {
        // Nested inside a running transfer: come back later instead of losing the notification.
        postReadMore();
        return;
    }
    m_streamBusy = true;
    m_session.ReportStatus(Status::ReadToStream);
    char scratch[kChunk];
    const qint64 n = m_socket.recv(scratch, kChunk);
    if (n < 0) {
        const int error = platform::lastSocketError();
        {
            std::lock_guard lock(m_session.m_mutex);
            m_session.m_lastError = error;
        }
        m_session.ErrorToText(error);
    } else if (n > 0) {
        m_session.appendReceived(scratch, n);
        if (n == kChunk)
            postReadMore();
    }
    m_streamBusy = false;
}
