#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

// How long a test waits for something that is bound to happen. A passing test never waits this
// long; the deadline only ends a broken one, so it leaves room for a sanitized build on a machine
// that is busy with other work.
constexpr int kPatienceMs = 30000;

// Spins the event loop until `done` holds or `ms` milliseconds have passed; returns `done()`.
// Tests wait on events with this instead of sleeping: it blocks in the event loop and a short
// repeating timer guarantees a look at `done` at least every few milliseconds.
inline bool waitFor(const std::function<bool()> &done, int ms = kPatienceMs)
{
    QDeadlineTimer deadline(ms);
    QTimer tick;
    tick.start(2);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
