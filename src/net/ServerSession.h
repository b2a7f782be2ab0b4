#pragma once

#include "net/SockSession.h"

#include <chrono>
#include <cstdint>

// The server's side of one accepted connection, served by a worker thread. From the hand-over
// on the worker reads, writes and waits on the descriptor itself (poll-style waits that honour
// the stall and close limits); a cancel from the UI thread ends its waits at once through a
// wake-up counter. Nothing of its I/O goes through the UI thread.
class TServerSession : public TSockSession
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TServerSession)

public:
    TServerSession();
    ~TServerSession() override;

    // Takes over an accepted connection; the descriptor is closed and ESockError thrown when
    // it cannot be made non-blocking.
    void adopt(int descriptor, std::uint32_t peerAddress, std::uint16_t peerPort);
    // Ends the connection on the worker that served it, once nothing more is read or written.
    void closeConnection();
    // After the acknowledgement: waits until the client has closed or the session is
    // cancelled; false when the close limit passed first.
    bool waitForClientClose();
    void setCloseTimeout(std::chrono::milliseconds limit) { m_closeTimeout = limit; }

    using TSockSession::isCanceled;
    using TSockSession::lastProgress;
    using TSockSession::setReceiveLimit;
    using TSockSession::setStallLimit;

protected:
    bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = {},
                 bool sinceProgress = true) override;
    void transmit(const char *data, qsizetype length) override;
    void wakeWaits() override;

private:
    enum class Readiness { Ready, Canceled, TimedOut };
    // Waits on the descriptor for `events`, the wake-up counter or `end`.
    Readiness waitReady(short events, std::optional<Clock::time_point> end);

    int m_fd = -1;
    int m_wakeFd = -1;
    std::chrono::milliseconds m_closeTimeout{0};
};
