#include "chat/ReceivedLineQueue.h"
#include "platform/core/Error.h"
#include "support/FakeDialogs.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

QByteArray number(int i)
{
    return QByteArray::number(i);
}

// One drain lasts one time slice, and how many lines fit into it depends on the machine.
void drainAll(ReceivedLineQueue &queue)
{
    while (queue.pending() > 0)
        queue.drain();
}

} // namespace

TEST(ReceivedLineQueue, DeliversLinesFromManyThreadsInArrivalOrderOnTheOwnersThread)
{
    ReceivedLineQueue queue;
    QList<QByteArray> seen;
    bool onOwnerThread = true;
    queue.setHandler([&](const QByteArray &from, const QByteArray &msg) {
        onOwnerThread = onOwnerThread && QThread::currentThread() == queue.thread();
        seen.append(from + ':' + msg);
    });

    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&queue, t] {
            for (int i = 0; i < kLines; ++i)
                queue.push(number(t), number(i));
        });
    }
    for (std::thread &worker : workers)
        worker.join();
    ASSERT_TRUE(waitFor([&] { return seen.size() == kThreads * kLines; }));
    EXPECT_TRUE(onOwnerThread);
    EXPECT_EQ(queue.pending(), 0);

    // Each sender's lines keep their order.
    std::vector<int> next(kThreads, 0);
    for (const QByteArray &line : seen) {
        const QList<QByteArray> parts = line.split(':');
        const int t = parts[0].toInt();
        EXPECT_EQ(parts[1].toInt(), next[t]) << "thread " << t;
        next[t] = parts[1].toInt() + 1;
    }
}

TEST(ReceivedLineQueue, ALineWaitsWhileTheOneBeforeItHasAModalQuestionOpen)
{
    ReceivedLineQueue queue;
    QList<QByteArray> log;
    queue.setHandler([&](const QByteArray &, const QByteArray &msg) {
        log.append("begin " + msg);
        if (msg == "1") {
            // A modal box: its own event loop runs while it is open, and more lines arrive.
            std::thread([&queue] {
                queue.push("b", "2");
                queue.push("c", "3");
            }).join();
            QEventLoop box;
            QTimer::singleShot(20, &box, &QEventLoop::quit);
            box.exec();
            queue.drain(); // a drain started inside the box returns at once
            EXPECT_EQ(queue.pending(), 2);
        }
        log.append("end " + msg);
    });

    queue.push("a", "1");
    ASSERT_TRUE(waitFor([&] { return log.size() == 6; }));
    EXPECT_EQ(log, (QList<QByteArray>{"begin 1", "end 1", "begin 2", "end 2", "begin 3", "end 3"}));
    EXPECT_FALSE(queue.isDraining());
}

TEST(ReceivedLineQueue, AnErrorInOneLineDoesNotLoseTheOthers)
{
    FakeDialogs boxes;
    ReceivedLineQueue queue;
    QList<QByteArray> handled;
    queue.setHandler([&](const QByteArray &, const QByteArray &msg) {
        handled.append(msg);
        if (msg == "2")
            throw platform::Exception(QStringLiteral("Ungültige Zahl"));
    });
    for (int i = 1; i <= 4; ++i)
        queue.push("x", number(i));
    ASSERT_TRUE(waitFor([&] { return handled.size() == 4; }));
    EXPECT_EQ(handled, (QList<QByteArray>{"1", "2", "3", "4"}));
    ASSERT_EQ(boxes.boxes().size(), 1);
    EXPECT_EQ(boxes.boxes()[0].text, QStringLiteral("Ungültige Zahl"));
}

TEST(ReceivedLineQueue, RoomIsBoundedByLinesAndBytesAndComesBackWhenDrained)
{
    ReceivedLineQueue queue;
    for (qsizetype i = 0; i + 1 < ReceivedLineQueue::kMaxLines; ++i)
        queue.push("a", "b");
    EXPECT_TRUE(queue.hasRoomFor(2));
    queue.push("a", "b");
    EXPECT_FALSE(queue.hasRoomFor(0));
    drainAll(queue);

    const qsizetype waiting = ReceivedLineQueue::kMaxBytes - 10;
    queue.push("x", QByteArray(waiting - 1, 'y'));
    EXPECT_TRUE(queue.hasRoomFor(10));
    EXPECT_FALSE(queue.hasRoomFor(11));
    drainAll(queue);
    EXPECT_TRUE(queue.hasRoomFor(ReceivedLineQueue::kMaxBytes));
}

TEST(ReceivedLineQueue, AFloodIsHandedOverInSlicesSoOtherEventsGetIn)
{
    ReceivedLineQueue queue;
    QList<QByteArray> handled;
    queue.setHandler([&](const QByteArray &, const QByteArray &msg) {
        handled.append(msg);
        QElapsedTimer busy; // a line that takes a whole slice to show
        busy.start();
        while (busy.elapsed() <= ReceivedLineQueue::kSliceMs) {
        }
    });
    for (int i = 0; i < 3; ++i)
        queue.push("a", number(i));
    queue.drain();
    EXPECT_EQ(handled, QList<QByteArray>{"0"});
    EXPECT_EQ(queue.pending(), 2);
    ASSERT_TRUE(waitFor([&] { return handled.size() == 3; }));
    EXPECT_EQ(handled, (QList<QByteArray>{"0", "1", "2"}));
}

TEST(ReceivedLineQueue, TheHandlerEndsAFrameAndTheRestFollowsInLaterFrames)
{
    ReceivedLineQueue queue;
    QList<QByteArray> handled;
    QList<qsizetype> handledByFrame; // lines handled when each frame was done
    QObject::connect(&queue, &ReceivedLineQueue::frameDone, &queue,
                     [&] { handledByFrame.append(handled.size()); });
    // Every third line fills a frame.
    queue.setHandler([&](const QByteArray &, const QByteArray &msg) {
        handled.append(msg);
        if (handled.size() % 3 == 0)
            queue.endFrame();
    });
    constexpr int kLines = 10;
    for (int i = 0; i < kLines; ++i)
        queue.push("a", number(i));

    queue.drain();
    ASSERT_EQ(handledByFrame.size(), 1);
    EXPECT_LE(handled.size(), 3);
    EXPECT_GE(handled.size(), 1);

    ASSERT_TRUE(waitFor([&] { return handled.size() == kLines; }));
    QList<QByteArray> inOrder;
    for (int i = 0; i < kLines; ++i)
        inOrder.append(number(i));
    EXPECT_EQ(handled, inOrder);
    EXPECT_GE(handledByFrame.size(), 4);
    EXPECT_EQ(handledByFrame.last(), kLines);
    // A drain with nothing to hand over finishes no frame.
    queue.drain();
    EXPECT_EQ(handledByFrame.last(), kLines);
    EXPECT_EQ(std::count(handledByFrame.begin(), handledByFrame.end(), kLines), 1);
}

TEST(ReceivedLineQueue, WakeUpsDrainAtMostOncePerFrameAndTakeTogetherWhatCameMeanwhile)
{
    ReceivedLineQueue queue;
    QList<qint64> handledAt;
    QElapsedTimer clock;
    clock.start();
    queue.setHandler([&](const QByteArray &, const QByteArray &) { handledAt.append(clock.nsecsElapsed()); });

    // The first drain begins after this, but how long before its line is handled depends on
    // the machine.
    const qint64 firstPushedAt = clock.nsecsElapsed();
    queue.push("a", "1");
    ASSERT_TRUE(waitFor([&] { return handledAt.size() == 1; }));
    for (int i = 2; i <= 4; ++i)
        queue.push("a", number(i));
    ASSERT_TRUE(waitFor([&] { return handledAt.size() == 4; }));
    // The next frame begins a frame after the last drain began; its lines come in one drain.
    EXPECT_GE(handledAt[1] - firstPushedAt, (ReceivedLineQueue::kFrameMs - 1) * 1000000LL);
    EXPECT_LT(handledAt[3] - handledAt[1], ReceivedLineQueue::kFrameMs * 1000000LL);
}
