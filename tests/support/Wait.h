#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

// Spins the event loop until `done` holds or `ms` milliseconds have passed; returns `done()`.
// Tests wait on events with this instead of sleeping: it blocks in the event loop and a short
// repeating timer guarantees a look at `done` at least every few milliseconds.
inline bool waitFor(const std::function<bool()> &done, int ms = 5000)
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
