#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

class QSocketNotifier;
class QTimer;

#include <deque>
#include <functional>
#include <mutex>

// Carries received chat lines from the server's worker threads to the window's thread.
//
// push() may be called from any thread; it wakes the owner's thread through an event counter
// that the owner's event loop watches (nothing is allocated on the pushing thread), and there
// drain() hands the lines to the handler one at a time in arrival order. A drain started while another is
// running (for example from the event loop of a modal box that the handler opened for the previous line)
// returns at once: the running drain takes the new line when the handler has returned, so no line
// overtakes another or runs nested inside another's handling, and none is lost.
class ReceivedLineQueue : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(const QByteArray &sFrom, const QByteArray &sMsg)>;

    explicit ReceivedLineQueue(QObject *parent = nullptr);
    ~ReceivedLineQueue() override;
    Q_DISABLE_COPY_MOVE(ReceivedLineQueue)

    void setHandler(Handler handler) { m_handler = std::move(handler); }

    // Lines waiting here are bounded: a server asks before it acknowledges a line, so a flood
    // while a question box is open cannot take all memory, and no line is dropped unseen.
    static constexpr qsizetype kMaxLines = 2000;
    static constexpr qsizetype kMaxBytes = 8 * 1024 * 1024;
    // One drain hands over lines for at most this long before it lets other events in.
    static constexpr int kSliceMs = 15;
    // A wake-up drains at most once per frame: lines that arrive in between are shown together,
    // with one layout and one paint, and meanwhile the thread is free to take new connections.
    static constexpr int kFrameMs = 16;

    // Any thread.
    void push(const QByteArray &sFrom, const QByteArray &sMsg);
    qsizetype pending() const;
    // Whether a line of `bytes` bytes (sender and text) fits behind the waiting ones.
    bool hasRoomFor(qsizetype bytes) const;

    // The owner's thread, at once (wake-ups wait for the next frame). An error thrown by the
    // handler ends the drain after that line; the lines behind it are drained by a new wake-up.
    void drain();
    bool isDraining() const { return m_draining; }
    // From the handler: the line being handled is the last of this frame, the lines behind it
    // wait for the next one. The handler knows what its lines cost, the time slice only how long
    // handing them over took.
    void endFrame() { m_frameFull = true; }

Q_SIGNALS:
    // A drain has handed over its lines and is about to let other events in: what the lines
    // changed is finished now, as part of the same frame.
    void frameDone();

private:
    struct Line
    {
        QByteArray from;
        QByteArray msg;
    };

    bool take(Line &line);
    void wake();
    void onWake();

    mutable std::mutex m_mutex;
    std::deque<Line> m_lines;
    qsizetype m_bytes = 0; // of the waiting lines
    const int m_wakeFd;
    QSocketNotifier *const m_wakeNotifier;
    QTimer *const m_frameTimer; // drains when the current frame is over
    QElapsedTimer m_lastDrain;  // since the last drain began
    bool m_draining = false;
    bool m_frameFull = false;
    Handler m_handler;
};
