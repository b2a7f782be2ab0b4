#include "platform/core/EventPump.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <atomic>
#include <thread>

TEST(EventPump, WaitEndsOnEventsAndOnOtherThreadsFlags)
{
    bool fromEvent = false;
    QTimer::singleShot(0, [&] { fromEvent = true; });
    platform::waitUntil([&] { return fromEvent; });
    EXPECT_TRUE(fromEvent);

    // No event announces this flag: the wait's own wake-up must see it.
    std::atomic<bool> fromThread = false;
    std::thread setter([&] { fromThread = true; });
    platform::waitUntil([&] { return fromThread.load(); });
    setter.join();

    // Nested waits: an event handled inside a wait may wait itself, and the UI stays live.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] { ++ticks; });
    ticker.start(1);
    bool innerDone = false;
    QTimer::singleShot(0, [&] {
        platform::waitUntil([&] { return ticks >= 3; });
        innerDone = true;
    });
    platform::waitUntil([&] { return innerDone; });
    EXPECT_GE(ticks, 3);
}
