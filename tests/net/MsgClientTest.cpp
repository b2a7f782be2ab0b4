#include "net/MsgTransport.h"
#include "net/TransportTexts.h"
#include "support/LoopbackPeer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <thread>


using loopback::Ending;
using loopback::ServerThread;

namespace {

// Records the client's events in the order they came.
struct EventLog
{
    explicit EventLog(TMsgClient &client)
    {
        QObject::connect(&client, &TSockSession::OnHostResolved, &client,
                         [this](TSockSession *) { events << "resolved"; });
        QObject::connect(&client, &TSockSession::OnConnect, &client,
                         [this](TSockSession *) { events << "connect"; });
        QObject::connect(&client, &TMsgClient::OnMessageSent, &client,
                         [this](TSockSession *) { events << "sent"; });
        QObject::connect(&client, &TSockSession::OnDisconnect, &client,
                         [this](TSockSession *) { events << "disconnect"; });
        QObject::connect(&client, &TSockSession::OnConnectionFailed, &client,
                         [this](TSockSession *) { events << "failed"; });
        QObject::connect(&client, &TSockSession::OnStatus, &client,
                         [this](TSockSession *, const QString &text) { statuses << text; });
    }
    QStringList events;
    QStringList statuses;
};

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

TEST(MsgClient, DeliversExactBytesAndReturnsReply)
{
    struct Case
    {
        QByteArray from, text, wire;
        QString host;
        QStringList events;
    } cases[] = {
        {"Hans", "Hallo", "0004Hans0005Hallo", "127.0.0.1", {"connect", "sent", "disconnect"}},
        {"", "", "00000000", "127.0.0.1", {"connect", "sent", "disconnect"}},
        {"PC\xe4",
         QByteArray("a\0b", 3),
         QByteArray("0003PC\xe4"
                    "0003a\0b",
                    14),
         "localhost",
         {"resolved", "connect", "sent", "disconnect"}},
    };
    for (const Case &c : cases) {
        ServerThread peer(static_cast<int>(c.wire.size()), loopback::replyOk);
        TMsgClient client;
        EventLog log(client);
        client.setHost(c.host);
        client.setPort(peer.port());
        client.setTimeOut(kPatienceMs);
        client.setFromName(c.from);
        EXPECT_EQ(client.SendMsg(c.text), QByteArrayLiteral("OK              "));
        peer.join();
        EXPECT_EQ(peer.received(), c.wire) << "nothing more, nothing less";
        EXPECT_NE(peer.ending(), Ending::Open) << "the client closes after the reply";
        EXPECT_EQ(log.events, c.events);
        EXPECT_FALSE(client.isConnected());
    }
}

TEST(MsgClient, FirstConnectionResetsOnCloseLaterOnesCloseOrderly)
{
    TMsgClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setFromName("A");
    for (Ending expected : {Ending::Reset, Ending::Orderly, Ending::Orderly}) {
        ServerThread peer(10, loopback::replyOk);
        client.setPort(peer.port());
        client.SendMsg("x");
        peer.join();
        EXPECT_EQ(peer.received(), "0001A0001x");
        EXPECT_EQ(peer.ending(), expected);
    }
}

TEST(MsgClient, TwoClientsAtOnce)
{
    ServerThread peerA(11, loopback::replyOk);
    ServerThread peerB(11, loopback::replyOk);
    TMsgClient a, b;
    a.setHost(QStringLiteral("127.0.0.1"));
    b.setHost(QStringLiteral("127.0.0.1"));
    a.setPort(peerA.port());
    b.setPort(peerB.port());
    a.setFromName("A");
    b.setFromName("B");
    // The second delivery runs inside the first one's wait; the busy client refuses a second
    // delivery of its own.
    QByteArray replyB;
    QString refusal;
    QTimer::singleShot(0, &b, [&] {
        EXPECT_TRUE(a.isBusy());
        refusal = failureOf([&] { a.SendMsg("again"); });
        replyB = b.SendMsg("bb");
    });
    EXPECT_EQ(a.SendMsg("aa"), "OK              ");
    EXPECT_FALSE(a.isBusy());
    EXPECT_EQ(refusal, QStringLiteral("Bereits verbunden"));
    ASSERT_TRUE(waitFor([&] { return !replyB.isEmpty(); }));
    peerA.join();
    peerB.join();
    EXPECT_EQ(peerA.received(), "0001A0002aa");
    EXPECT_EQ(peerB.received(), "0001B0002bb");
}

TEST(MsgClient, InvalidHost)
{
    loopback::Listener listener;
    struct Case
    {
        bool handler;
        bool setHandled;
        QString correctedHost;
        int expectedOffers;
        QString error;
    } cases[] = {
        {false, false, {}, 0, QStringLiteral("Null Externe Adresse")},
        {true, false, {}, 1, QStringLiteral("Null Externe Adresse")},
        {true, true, {}, 1, QStringLiteral("Null Externe Adresse")}, // asked once, not twice
        {true, true, QStringLiteral("127.0.0.1"), 1,
         QStringLiteral("Verbindung vom Empfänger vorzeitig beendet")},
    };
    for (const Case &c : cases) {
        TMsgClient client;
        EventLog log(client);
        client.setHost(QStringLiteral("0.0.0.0"));
        client.setPort(listener.port());
        int offers = 0;
        if (c.handler) {
            QObject::connect(
                &client, &TSockSession::OnInvalidHost, &client,
                [&](bool &handled) {
                    ++offers;
                    handled = c.setHandled;
                    if (!c.correctedHost.isEmpty())
                        client.setHost(c.correctedHost);
                },
                Qt::DirectConnection);
        }
        if (!c.correctedHost.isEmpty()) {
            // The repaired host is reached: it takes the line and hangs up without replying.
            std::thread peer([&listener] {
                loopback::Connection connection = listener.accept();
                connection.readExactly(8);
            });
            EXPECT_EQ(failureOf([&] { client.SendMsg(""); }), c.error);
            peer.join();
            EXPECT_TRUE(log.events.contains(QStringLiteral("connect")));
        } else {
            EXPECT_EQ(failureOf([&] { client.SendMsg("x"); }), c.error);
            EXPECT_TRUE(log.events.isEmpty()) << log.events.join(',').toStdString();
            EXPECT_FALSE(listener.hasPending()) << "nothing is sent to an invalid host";
        }
        EXPECT_EQ(offers, c.expectedOffers);
    }
}

TEST(MsgClient, RefusedConnection)
{
    // A delivery that ran out of time leaves no time limit behind for the next connection.
    loopback::ScriptedPeer silent(loopback::ScriptedPeer::Behaviour::Silent);
    for (const bool afterATimeOut : {false, true}) {
        SCOPED_TRACE(afterATimeOut);
        TMsgClient client;
        client.setHost(QStringLiteral("127.0.0.1"));
        if (afterATimeOut) {
            client.setPort(silent.port());
            client.setTimeOut(300);
            EXPECT_EQ(failureOf([&] { client.SendMsg("x"); }),
                      QStringLiteral("Zeitüberschreitung beim Empfang"));
            client.setTimeOut(kPatienceMs);
        }
        EventLog log(client);
        client.setPort(loopback::unusedPort());
        EXPECT_EQ(failureOf([&] { client.SendMsg("x"); }), QStringLiteral("Verbindung fehlgeschlagen"));
        EXPECT_EQ(log.events, QStringList{QStringLiteral("failed")});
        EXPECT_EQ(client.lastError(), 10061);
        EXPECT_EQ(client.ErrorToText(client.lastError()), QStringLiteral("10061:Connection refused"));

        // The session is usable again afterwards.
        ServerThread peer(9, loopback::replyOk);
        client.setPort(peer.port());
        EXPECT_EQ(client.SendMsg("x"), "OK              ");
    }
}

TEST(MsgClient, ConnectTimesOutAgainstAFullBacklog)
{
    loopback::Listener listener(1);
    // Fill the backlog of a listener that never accepts.
    std::vector<loopback::Connection> fillers;
    for (int i = 0; i < 3; ++i)
        fillers.push_back(loopback::Connection::startConnect(listener.port()));
    TMsgClient client;
    EventLog log(client);
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(listener.port());
    client.setTimeOut(300);
    client.setReportLevel(8);
    EXPECT_EQ(failureOf([&] { client.SendMsg("x"); }), QStringLiteral("Zeitüberschreitung bei Verbindung"));
    EXPECT_EQ(log.events, QStringList{QStringLiteral("failed")});
    EXPECT_TRUE(log.statuses.contains(QStringLiteral("Zeitgeber ausgelöst")));
}

TEST(MsgClient, ReportLevelFiltersStatusTexts)
{
    const struct
    {
        int level;
        QStringList present;
        QStringList absent;
    } cases[] = {
        {2, {}, {QStringLiteral("Puffer senden")}},
        {4,
         {QStringLiteral("Puffer senden"), QStringLiteral("Schließen des Socket anfordern")},
         {QStringLiteral("Verbindung wird hergestellt"), QStringLiteral("Read( 16 )")}},
        {8,
         {QStringLiteral("Puffer senden"), QStringLiteral("Verbindung wird hergestellt"),
          QStringLiteral("Write"), QStringLiteral("Read( 16 )"),
          QStringLiteral("Verbindung wird unterbrochen"), QStringLiteral("ReadToStream")},
         {QStringLiteral("Überprüfung eines Fehlers im Fehler-Manager")}},
        {16, {QStringLiteral("Überprüfung eines Fehlers im Fehler-Manager")}, {}},
    };
    for (const auto &c : cases) {
        ServerThread peer(10, loopback::replyOk);
        TMsgClient client;
        EventLog log(client);
        client.setHost(QStringLiteral("127.0.0.1"));
        client.setPort(peer.port());
        client.setReportLevel(c.level);
        client.setFromName("A");
        client.SendMsg("x");
        for (const QString &text : c.present)
            EXPECT_TRUE(log.statuses.contains(text)) << c.level << " " << text.toStdString();
        for (const QString &text : c.absent)
            EXPECT_FALSE(log.statuses.contains(text)) << c.level << " " << text.toStdString();
        if (c.level == 2) {
            EXPECT_TRUE(log.statuses.isEmpty());
            EXPECT_TRUE(client.status().isEmpty());
        } else {
            EXPECT_EQ(client.status(), log.statuses.last());
        }
    }
}

TEST(MsgClient, PeerClosingBeforeTheReplyFailsTheDelivery)
{
    loopback::ScriptedPeer good(loopback::ScriptedPeer::Behaviour::Good);
    for (bool reset : {false, true}) {
        ServerThread peer(10, [reset](loopback::Connection &c) {
            c.sendAll("OK"); // part of the reply only
            reset ? c.closeWithReset() : c.close();
        });
        TMsgClient client;
        EventLog log(client);
        client.setHost(QStringLiteral("127.0.0.1"));
        client.setPort(peer.port());
        client.setFromName("A");
        EXPECT_EQ(failureOf([&] { client.SendMsg("x"); }),
                  QStringLiteral("Verbindung vom Empfänger vorzeitig beendet"));
        EXPECT_FALSE(client.isConnected());
        EXPECT_EQ(log.events.last(), QStringLiteral("disconnect"));

        // The part of a reply that came is no part of the next one.
        client.setPort(good.port());
        EXPECT_EQ(client.SendMsg("y"), QByteArray("OK              "));
    }
}

TEST(MsgClient, RefusesFieldsLongerThanTheLengthCanAnnounce)
{
    loopback::Listener listener;
    TMsgClient client;
    EventLog log(client);
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(listener.port());
    const QString tooLong = QStringLiteral("Nachricht zu lang (höchstens 9999 Bytes)");
    EXPECT_EQ(failureOf([&] { client.SendMsg(QByteArray(10000, 'x')); }), tooLong);
    client.setFromName(QByteArray(10000, 'n'));
    EXPECT_EQ(failureOf([&] { client.SendMsg("x"); }), tooLong);
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_FALSE(listener.hasPending()) << "refused before connecting";
}

TEST(MsgClient, LongestFieldsArriveWhole)
{
    const QByteArray name(9999, 'n');
    const QByteArray text(9999, 't');
    const QByteArray wire = "9999" + name + "9999" + text;
    ServerThread peer(static_cast<int>(wire.size()), loopback::replyOk);
    TMsgClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(peer.port());
    client.setFromName(name);
    client.SendMsg(text);
    peer.join();
    EXPECT_EQ(peer.received(), wire);
}

TEST(MsgClient, CancelledLookupIsGivenUpAndItsLateAnswerIgnored)
{
    TMsgClient client;
    EventLog log(client);
    client.setHost(QStringLiteral("localhost"));
    // Runs inside the lookup's wait, before the answer can have come.
    QTimer::singleShot(0, &client, [&] { client.Cancel(); });
    EXPECT_EQ(failureOf([&] { client.SendMsg("x"); }), QStringLiteral("Host-Lookup wurde abgebrochen"));
    EXPECT_TRUE(log.events.isEmpty());

    ServerThread peer(9, loopback::replyOk);
    client.setPort(peer.port());
    EXPECT_EQ(client.SendMsg("x"), "OK              ");
    EXPECT_EQ(log.events, (QStringList{"resolved", "connect", "sent", "disconnect"}))
        << "one answer, one resolution";
}

// Each delivery stands alone: whatever one receiver did, the next connection starts clean, every
// wait ends within the time-out and the connection's end is reported once.
TEST(MsgClient, AMisbehavingReceiverLeavesNothingForTheNext)
{
    using Behaviour = loopback::ScriptedPeer::Behaviour;
    loopback::ScriptedPeer good(Behaviour::Good);
    const struct
    {
        const char *name;
        Behaviour behaviour;
        int bytes;
        const char16_t *failure;
    } cases[] = {
        {"hangs up", Behaviour::Hangup, 0, u"Verbindung vom Empfänger vorzeitig beendet"},
        {"hangs up in the text", Behaviour::HangupAfter, 9, u"Verbindung vom Empfänger vorzeitig beendet"},
        {"never answers", Behaviour::Silent, 0, u"Zeitüberschreitung beim Empfang"},
        {"says more than its reply", Behaviour::Chatty, 0, u"(no error)"},
    };
    TMsgClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setFromName("Bea");
    EventLog log(client);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        loopback::ScriptedPeer bad(c.behaviour, 0, loopback::kLoopback, c.bytes);
        log.events.clear();
        client.setPort(bad.port());
        // Only the silent receiver needs the time-out to end the delivery; every other one
        // answers, and how soon depends on the machine.
        client.setTimeOut(c.behaviour == Behaviour::Silent ? 300 : kPatienceMs);
        EXPECT_EQ(failureOf([&] { client.SendMsg("erste Zeile"); }), QString::fromUtf16(c.failure));
        EXPECT_EQ(log.events.count(QStringLiteral("disconnect")), 1);
        EXPECT_FALSE(client.isConnected());

        client.setTimeOut(kPatienceMs);
        client.setPort(good.port());
        const qsizetype before = good.deliveries().size();
        EXPECT_EQ(client.SendMsg("zweite"), QByteArray("OK              "));
        ASSERT_TRUE(good.waitForDeliveries(before + 1));
        EXPECT_EQ(good.deliveries().last(), QByteArray("0003Bea0006zweite"));
    }
}
