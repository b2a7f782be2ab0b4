#include "net/MsgTransport.h"
#include "support/LoopbackPeer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

using loopback::Connection;
using loopback::Ending;

namespace {

const QByteArray kOk = QByteArrayLiteral("OK              ");

struct Line
{
    TSockSession *sender;
    QByteArray from;
    QByteArray message;
    bool replyWasOut;
};

// A listening server on a free loopback port that records every line it raises.
class Receiver
{
public:
    explicit Receiver(const std::function<void(TMsgServer &)> &configure = {})
    {
        server->setListenAddress("127.0.0.1");
        server->setPort(0);
        if (configure)
            configure(*server);
        QObject::connect(
            server.get(), &TMsgServer::OnMSG, server.get(),
            [this](TSockSession *sender, const QByteArray &from, const QByteArray &message) {
                std::lock_guard lock(m_mutex);
                const bool replyWasOut = m_watched && m_watched->pendingBytes() >= 16;
                m_lines.push_back({sender, from, message, replyWasOut});
            },
            Qt::DirectConnection);
        server->Loaded();
    }

    // The server goes first: its workers may still hand on a line the test did not wait for.
    ~Receiver() { server.reset(); }
    Receiver(const Receiver &) = delete;
    Receiver &operator=(const Receiver &) = delete;

    std::uint16_t port() const { return static_cast<std::uint16_t>(server->boundPort()); }
    std::vector<Line> lines() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    std::size_t lineCount() const { return lines().size(); }
    // The handler notes whether this client already had the acknowledgement.
    void watch(const Connection *connection)
    {
        std::lock_guard lock(m_mutex);
        m_watched = connection;
    }

    std::unique_ptr<TMsgServer> server = std::make_unique<TMsgServer>();

private:
    mutable std::mutex m_mutex;
    std::vector<Line> m_lines;
    const Connection *m_watched = nullptr;
};

// Collects what the server sends until it closes the connection or `ms` pass; the UI thread
// keeps serving meanwhile.
QByteArray collectUntilClosed(Connection &connection, Ending *ending, int ms = kPatienceMs)
{
    QByteArray bytes;
    *ending = Ending::Open;
    waitFor(
        [&] {
            bytes += connection.readAvailable(ending);
            return *ending != Ending::Open;
        },
        ms);
    return bytes;
}

QByteArray collect(Connection &connection, int count)
{
    QByteArray bytes;
    waitFor([&] {
        bytes += connection.readAvailable();
        return bytes.size() >= count;
    });
    return bytes;
}

} // namespace

TEST(MsgServer, ReceivesALineFromTheClient)
{
    Receiver receiver;
    ASSERT_TRUE(receiver.server->isListening());
    int contacts = 0;
    QObject::connect(receiver.server.get(), &TGeneralServer::OnClientContact, receiver.server.get(),
                     [&](TSockSession *sender) {
                         EXPECT_EQ(sender, receiver.server.get());
                         ++contacts;
                     });
    TMsgClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(receiver.port());
    client.setFromName("Rechner\xe4");
    EXPECT_EQ(client.SendMsg("000255000Hallo <b>%1</b>"), kOk);
    ASSERT_TRUE(waitFor([&] { return receiver.lineCount() == 1; }));
    const Line line = receiver.lines().front();
    EXPECT_EQ(line.from, "Rechner\xe4");
    EXPECT_EQ(line.message, "000255000Hallo <b>%1</b>") << "passed on as received";
    EXPECT_NE(line.sender, receiver.server.get()) << "the sender is the connection's own session";
    EXPECT_EQ(contacts, 1);
    EXPECT_EQ(receiver.server->peerAddress(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(waitFor([&] { return receiver.server->sessionCount() == 0; }));
}

TEST(MsgServer, ReadsFieldsByTheirLengths)
{
    const struct
    {
        QByteArray wire;
        bool delivered;
        QByteArray from, message;
    } cases[] = {
        {"0004Hans0005Hallo", true, "Hans", "Hallo"},
        {"00000000", true, "", ""},
        {"-0010003abc", true, "", "abc"},
        {"$00AHallo Welt0000", true, "Hallo Welt", ""},
        {"0x02ab0X01c", true, "ab", "c"},
        {"  01a+001b", true, "a", "b"},
        {"0001a0001bbytes after the fields", true, "a", "b"},
        {"0001a0001b" + QByteArray(100000, 'z'), true, "a", "b"},
        {"12ab", false, {}, {}},
        {"0002ab1 2 ", false, {}, {}},
        {"    ", false, {}, {}},
        {"0x  ", false, {}, {}},
    };
    Receiver receiver;
    std::size_t expectedLines = 0;
    for (const auto &c : cases) {
        Connection peer = Connection::connectTo(receiver.port());
        ASSERT_TRUE(peer.isValid());
        receiver.watch(&peer);
        peer.sendAll(c.wire);
        if (c.delivered) {
            // Nothing reads the reply before the line is raised, so the handler can see it.
            ++expectedLines;
            ASSERT_TRUE(waitFor([&] { return receiver.lineCount() == expectedLines; }))
                << c.wire.left(30).toStdString();
            EXPECT_EQ(collect(peer, 16), kOk) << c.wire.left(30).toStdString();
            const Line line = receiver.lines().back();
            EXPECT_EQ(line.from, c.from);
            EXPECT_EQ(line.message, c.message);
            EXPECT_TRUE(line.replyWasOut) << "acknowledged before the line is raised";
            peer.close();
        } else {
            Ending ending;
            EXPECT_EQ(collectUntilClosed(peer, &ending), "") << c.wire.toStdString();
            EXPECT_NE(ending, Ending::Open) << "a malformed length ends the session";
        }
        receiver.watch(nullptr);
        ASSERT_TRUE(waitFor([&] { return receiver.server->sessionCount() == 0; }));
    }
    EXPECT_EQ(receiver.lineCount(), expectedLines);
}

TEST(MsgServer, LinesOfOneSenderAreRaisedInTheOrderSent)
{
    // Each line has its own connection and worker; a slow handler for one line must not let
    // the sender's next line, acknowledged-and-raised by another worker, overtake it.
    Receiver receiver([](TMsgServer &server) {
        QObject::connect(
            &server, &TMsgServer::OnMSG, &server,
            [](TSockSession *, const QByteArray &, const QByteArray &message) {
                if (message.endsWith('0'))
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
            },
            Qt::DirectConnection);
    });
    TMsgClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(receiver.port());
    std::vector<QByteArray> sent;
    for (int i = 0; i < 30; ++i) {
        sent.push_back(QByteArray::number(i));
        client.SendMsg(sent.back());
    }
    ASSERT_TRUE(waitFor([&] { return receiver.lineCount() == sent.size(); }));
    std::vector<QByteArray> raised;
    for (const Line &line : receiver.lines())
        raised.push_back(line.message);
    EXPECT_EQ(raised, sent);
}

TEST(MsgServer, TwoClientsAtOnce)
{
    Receiver receiver;
    Connection a = Connection::connectTo(receiver.port());
    Connection b = Connection::connectTo(receiver.port());
    a.sendAll("0001A");
    ASSERT_TRUE(waitFor([&] { return receiver.server->sessionCount() == 2; }));
    b.sendAll("0001B0002bb"); // b completes while a is half-way
    EXPECT_EQ(collect(b, 16), kOk);
    ASSERT_TRUE(waitFor([&] { return receiver.lineCount() == 1; }));
    a.sendAll("0002aa");
    EXPECT_EQ(collect(a, 16), kOk);
    ASSERT_TRUE(waitFor([&] { return receiver.lineCount() == 2; }));
    const auto lines = receiver.lines();
    EXPECT_EQ(lines[0].from + lines[0].message, "Bbb");
    EXPECT_EQ(lines[1].from + lines[1].message, "Aaa");
    EXPECT_NE(lines[0].sender, lines[1].sender);
}

TEST(MsgServer, EndsStalledAndLingeringConnectionsEachByItsOwnLimit)
{
    // The limit that does not apply is longer than the test waits, so only the right one ends
    // the connection.
    constexpr int kShort = 150;
    constexpr int kNever = 2 * kPatienceMs;
    const struct
    {
        const char *name;
        int stallTimeout;
        int closeTimeout;
        QByteArray wire;
        QByteArray trickled; // then a byte at a time, each well within the stall limit
        QByteArray answer;
        std::size_t lines;
    } cases[] = {
        {"stalls inside the sender name", kShort, kNever, "0010ab", "", "", 0},
        {"takes the acknowledgement and never closes", kNever, kShort, "0001a0001b", "", kOk, 1},
        // Slower in all than the stall limit, but never stalled for as long.
        {"sends slowly but steadily", 1000, kShort, "0001a0030", QByteArray(30, 'b'), kOk, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Receiver receiver([&c](TMsgServer &server) {
            server.setStallTimeout(c.stallTimeout);
            server.setCloseTimeout(c.closeTimeout);
        });
        Connection peer = Connection::connectTo(receiver.port());
        peer.sendAll(c.wire);
        std::thread trickler([&] {
            for (const char byte : c.trickled) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                peer.sendAll(QByteArray(1, byte));
            }
        });
        Ending ending;
        EXPECT_EQ(collectUntilClosed(peer, &ending), c.answer);
        trickler.join();
        EXPECT_NE(ending, Ending::Open);
        EXPECT_EQ(receiver.lineCount(), c.lines);
        EXPECT_TRUE(waitFor([&] { return receiver.server->sessionCount() == 0; }));
    }
}

TEST(MsgServer, PeerThatLeavesMidMessageEndsItsSession)
{
    Receiver receiver; // default limits: only the close can end these sessions quickly
    for (bool reset : {false, true}) {
        Connection peer = Connection::connectTo(receiver.port());
        peer.sendAll("0010ab");
        ASSERT_TRUE(waitFor([&] { return receiver.server->sessionCount() == 1; }));
        reset ? peer.closeWithReset() : peer.close();
        EXPECT_TRUE(waitFor([&] { return receiver.server->sessionCount() == 0; }));
    }
    EXPECT_EQ(receiver.lineCount(), 0u);
}

TEST(MsgServer, StalledPeersCannotLockOutAnHonestOne)
{
    constexpr int kBound = 4;
    Receiver receiver([](TMsgServer &server) { server.setMaxSessions(kBound); });
    std::vector<Connection> stalled;
    for (int i = 0; i < 12; ++i) {
        stalled.push_back(Connection::connectTo(receiver.port()));
        stalled.back().sendAll("00");
        // Accepted one at a time so each finds the sessions before it.
        ASSERT_TRUE(waitFor([&] { return receiver.server->sessionCount() >= std::min(i + 1, kBound); }));
        EXPECT_LE(receiver.server->sessionCount(), kBound + 1);
    }
    TMsgClient honest;
    honest.setHost(QStringLiteral("127.0.0.1"));
    honest.setPort(receiver.port());
    honest.setFromName("ehrlich");
    EXPECT_EQ(honest.SendMsg("Hallo"), kOk);
    ASSERT_TRUE(waitFor([&] { return receiver.lineCount() == 1; }));
    EXPECT_EQ(receiver.lines().front().from, "ehrlich");
    // The oldest stalled peers made room: their connections were ended.
    std::vector<Ending> endings(stalled.size(), Ending::Open);
    const auto endedCount = [&] {
        int ended = 0;
        for (std::size_t i = 0; i < stalled.size(); ++i) {
            if (endings[i] == Ending::Open)
                stalled[i].readAvailable(&endings[i]);
            ended += endings[i] != Ending::Open;
        }
        return ended;
    };
    EXPECT_TRUE(waitFor([&] { return endedCount() >= 12 - kBound + 1; })) << endedCount();
    EXPECT_TRUE(waitFor([&] { return receiver.server->sessionCount() <= kBound - 1; }));
    EXPECT_NE(endings.front(), Ending::Open) << "the oldest went first";
    EXPECT_EQ(endings.back(), Ending::Open) << "the newest stays";
}

TEST(MsgServer, DestroyingTheServerEndsItsSessions)
{
    Receiver receiver;
    std::vector<Connection> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(Connection::connectTo(receiver.port()));
        peers.back().sendAll("0005ab");
    }
    ASSERT_TRUE(waitFor([&] { return receiver.server->sessionCount() == 3; }));
    receiver.server.reset();
    for (Connection &c : peers) {
        Ending ending;
        c.readToEnd(&ending);
        EXPECT_NE(ending, Ending::Open);
    }
}

TEST(MsgServer, TakenPortIsReported)
{
    loopback::Listener occupant;
    TMsgServer server;
    server.setListenAddress("127.0.0.1");
    server.setPort(occupant.port());
    server.Loaded();
    EXPECT_FALSE(server.isListening());
    EXPECT_EQ(server.lastError(), 10048);

    Receiver free;
    EXPECT_TRUE(free.server->isListening());
}

TEST(MsgServer, ALineWithNoRoomToWaitIsNotAcknowledged)
{
    std::atomic<bool> room = false;
    Receiver receiver([&](TMsgServer &server) {
        server.setLineGate([&](qsizetype bytes) {
            EXPECT_EQ(bytes, 3 + 4);
            return room.load();
        });
    });
    for (const bool hasRoom : {false, true}) {
        SCOPED_TRACE(hasRoom);
        room = hasRoom;
        Connection client = Connection::connectTo(receiver.port());
        ASSERT_TRUE(client.sendAll("0003Ann0004Hallo"));
        Ending ending;
        if (hasRoom) {
            // Acknowledged, and the server waits for the client to close.
            EXPECT_EQ(collect(client, 16), kOk);
            EXPECT_EQ(collectUntilClosed(client, &ending, 300), QByteArray());
            EXPECT_EQ(ending, Ending::Open);
        } else {
            EXPECT_EQ(collectUntilClosed(client, &ending), QByteArray());
            EXPECT_NE(ending, Ending::Open);
        }
    }
    EXPECT_TRUE(waitFor([&] { return receiver.lineCount() == 1; }));
}
