#pragma once

#include "net/SockSession.h"

#include <memory>
#include <mutex>
#include <vector>

class TServeThread;
class TServerSession;

// A server: listens on Port and serves every accepted connection with a session of its own,
// run by a worker thread. Live sessions are bounded; when the bound is reached the session
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
    bool isListening() const { return m_listenOk; }

    void Connect() override {}
    void Abort() override;

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
    // Live sessions, ended ones not yet released included.
    int sessionCount() const;

    static constexpr int kDefaultMaxSessions = 64;
    static constexpr int kDefaultStallTimeout = 30000;
    static constexpr int kDefaultCloseTimeout = 10000;

Q_SIGNALS:
    void OnClientContact(TSockSession *sender);

protected:
    // Serves one accepted connection; runs on a worker thread.
    virtual void Serve(TServerSession &session) = 0;
    // Cancels every session and waits for its worker; the most derived server calls it first
    // in its destructor, before anything the workers use is gone.
    void stopServing();
    void connectionPending() override;
    void customEvent(QEvent *event) override;

private:
    struct Served
    {
        std::unique_ptr<TServerSession> session;
        TServeThread *worker = nullptr;
        bool ended = false;     // the worker has finished with it
        bool dismissed = false; // cancelled to make room
    };

    void Listen();
    int Accept();
    void AcceptHandler();
    void startSession(int descriptor);
    // At the bound of live sessions: the one longest without progress, marked to be cancelled.
    TServerSession *makeRoom();
    // On the worker: serves `session`, closes it and asks the owner thread to release it.
    void serveOnWorker(TServerSession *session);
    // Releases the sessions whose worker has ended, on the thread their notifiers live on.
    void releaseEnded();

    int m_maxSessions = kDefaultMaxSessions;
    int m_stallTimeout = kDefaultStallTimeout;
    int m_closeTimeout = kDefaultCloseTimeout;
    int m_listenBacklog = kDefaultMaxSessions;
    bool m_listenOk = false;
    bool m_acceptReady = false;

    mutable std::mutex m_sessionsMutex;
    std::vector<Served> m_sessions; // guarded by m_sessionsMutex
    // A release is asked for and not yet begun: the sessions that end meanwhile go with it.
    bool m_releasePosted = false; // guarded by m_sessionsMutex
    std::vector<std::unique_ptr<TServeThread>> m_workers;
    std::vector<TServeThread *> m_idleWorkers; // owner thread only
};
