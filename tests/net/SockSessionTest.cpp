#include "net/SockSession.h"
#include "net/TransportTexts.h"
#include "support/LoopbackPeer.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <functional>

using loopback::ServerThread;

namespace {

QString failureOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const ESockError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

} // namespace

TEST(SockSession, ReadTakesCountsAndKeepsTheRest)
{
    ServerThread peer(0, [](loopback::Connection &c) { c.sendAll("0123456789\r\nrest\n"); });
    TSockSession session;
    session.setHost(QStringLiteral("127.0.0.1"));
    session.setPort(peer.port());
    session.Connect();
    EXPECT_EQ(session.Read(4), "0123");
    EXPECT_EQ(session.Read(6), "456789");
    EXPECT_EQ(session.ReadLn(), "\r\n");
    EXPECT_EQ(session.ReadLn(), "rest\n");
    EXPECT_EQ(session.Read(0), "");
    session.Write(""); // nothing to send returns at once
    session.Disconnect();
}

TEST(SockSession, ConnectWhileConnectedIsRefused)
{
    ServerThread peer(0, nullptr);
    TSockSession session;
    QStringList statuses;
    QObject::connect(&session, &TSockSession::OnStatus, &session,
                     [&](TSockSession *, const QString &text) { statuses << text; });
    session.setHost(QStringLiteral("127.0.0.1"));
    session.setPort(peer.port());
    session.Connect();
    session.setReportLevel(8);
    session.Cancel();
    EXPECT_EQ(failureOf([&] { session.Connect(); }), QStringLiteral("Bereits verbunden"));
    EXPECT_EQ(statuses.last(), QStringLiteral("Verbindung wird hergestellt"));
    // Canceled was cleared: a read goes ahead instead of reporting a cancel.
    QTimer::singleShot(0, &session, [&] { session.Disconnect(); });
    EXPECT_EQ(failureOf([&] { session.Read(1); }),
              QStringLiteral("Verbindung vom Empfänger vorzeitig beendet"));
}

TEST(SockSession, StatusHandlerFailingWhileANameIsResolvedLeavesNoAddress)
{
    using TransportTexts::Status;
    for (const Status failingAt : {Status::ResolveHost, Status::StartTimer, Status::StopTimer}) {
        TSockSession session;
        session.setHost(QStringLiteral("localhost"));
        session.setPort(loopback::unusedPort());
        session.setReportLevel(8);
        const QString trigger = TransportTexts::statusText(failingAt);
        QObject::connect(&session, &TSockSession::OnStatus, &session,
                         [&trigger](TSockSession *, const QString &text) {
                             if (text == trigger)
                                 throw ESockError(QStringLiteral("Anzeige gestört"));
                         });
        EXPECT_EQ(failureOf([&] { session.Connect(); }).toStdString(),
                  TransportTexts::nullAddress().toStdString())
            << trigger.toStdString();
    }
}

TEST(SockSession, CancelEndsWaits)
{
    ServerThread peer(0, nullptr);
    TSockSession session;
    session.setHost(QStringLiteral("127.0.0.1"));
    session.setPort(peer.port());
    session.Connect();
    QTimer::singleShot(0, &session, [&] { session.Cancel(); });
    EXPECT_EQ(failureOf([&] { session.Read(1); }), QStringLiteral("Socket-send abgebrochen"));
    QTimer::singleShot(0, &session, [&] { session.Cancel(); });
    EXPECT_EQ(failureOf([&] { session.ReadLn(); }), QStringLiteral("Socket-readln abgebrochen"));
    // ReadLn leaves the cancel standing: the next read ends at once.
    EXPECT_EQ(failureOf([&] { session.Read(1); }), QStringLiteral("Socket-send abgebrochen"));
    session.Disconnect();
}

TEST(SockSession, TransactionReadsReplyCode)
{
    ServerThread peer(6, [](loopback::Connection &c) { c.sendAll("250 fein\r\n"); });
    TSockSession session;
    session.setHost(QStringLiteral("127.0.0.1"));
    session.setPort(peer.port());
    session.Connect();
    EXPECT_EQ(session.Transaction("HELO"), "250 fein\r\n");
    EXPECT_EQ(session.replyCode(), 250);
    session.Disconnect();
    peer.join();
    EXPECT_EQ(peer.received(), "HELO\r\n");
}

TEST(SockSession, TransfersLongerThanAChunkArriveWholeAndInOrder)
{
    QByteArray payload(3 * 16383 + 7, Qt::Uninitialized);
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i % 251);
    ServerThread peer(static_cast<int>(payload.size()),
                      [&payload](loopback::Connection &c) { c.sendAll(payload); });
    TSockSession session;
    session.setHost(QStringLiteral("127.0.0.1"));
    session.setPort(peer.port());
    session.Connect();
    // A transfer that stops half-way would wait for ever: the cancel ends it as a failure.
    QTimer::singleShot(kPatienceMs, &session, [&] { session.Cancel(); });
    session.SendBuffer(payload);
    const QByteArray echoed = session.Read(static_cast<int>(payload.size()));
    EXPECT_TRUE(echoed == payload) << "read back " << echoed.size() << " bytes";
    session.Disconnect();
    peer.join();
    EXPECT_TRUE(peer.received() == payload) << "peer got " << peer.received().size() << " bytes";
}
