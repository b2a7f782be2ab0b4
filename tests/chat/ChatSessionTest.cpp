#include "chat/ChatSession.h"
#include "chat/ReceiverListModel.h"
#include "platform/core/Text.h"
#include "support/LoopbackPeer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

using chat::ChatSession;
using chat::LineColor;

namespace {

// A session on a free loopback port that records what it reports.
struct Recorder
{
    explicit Recorder(int sendPort) : Recorder(setup(sendPort)) {}
    explicit Recorder(const ChatSession::Setup &setup) : session(setup)
    {
        session.setReceivers(&receivers);
        session.messageSender()->setFromName(platform::toWindows1252(QStringLiteral("Küche")));
        QObject::connect(&session, &ChatSession::lineToShow,
                         [this](const QByteArray &p) { shown.append(p); });
        QObject::connect(&session, &ChatSession::unknownSender,
                         [this](const QString &s) { asked.append(s); });
        QObject::connect(&session, &ChatSession::lineWantsAttention,
                         [this](const QByteArray &from, const QByteArray &) { attention.append(from); });
        QObject::connect(&session, &ChatSession::statusText, [this](const QString &t) {
            status = t;
            statuses.append(t);
        });
        QObject::connect(&session, &ChatSession::warning, [this](const QString &t) { boxes.append(t); });
        QObject::connect(&session, &ChatSession::sorry, [this](const QString &t) { boxes.append(t); });
    }

    static ChatSession::Setup setup(int sendPort)
    {
        ChatSession::Setup s;
        s.port = 0;
        s.sendPort = sendPort;
        s.listenAddress = "127.0.0.1";
        return s;
    }

    chat::ReceiverListModel receivers;
    ChatSession session;
    QList<QByteArray> shown;
    QStringList asked;
    QList<QByteArray> attention;
    QString status;
    QStringList statuses;
    QStringList boxes;
};

TEST(ChatSessionTest, RequestsJoinRenameAndRecolourBeforeWhatTheUserSays)
{
    Recorder r(loopback::unusedPort());
    const LineColor c{200, 201, 202};
    struct Request
    {
        QString name;
        QString mode;
        bool colorChanged;
        QList<QByteArray> lines;
    };
    const Request requests[] = {
        {"Anna", "sagt:", true, {"2002012021Anna hat den Chatroom betreten.", "2002012020Anna sagt: hallo"}},
        {"Anna", "lacht.", false, {"2002012021Anna lacht."}},
        {"Anna",
         "sagt:",
         true,
         {"2002012021Das hier ist die neue Farbe von Anna", "2002012020Anna sagt: hallo"}},
        {"Bert",
         "sagt:",
         true,
         {"2002012021Anna heißt ab jetzt Bert.", "2002012021Das hier ist die neue Farbe von Bert",
          "2002012020Bert sagt: hallo"}},
        // The name is compared as typed: another letter case is a new name.
        {"BERT", "sagt:", false, {"2002012021Bert heißt ab jetzt BERT.", "2002012020BERT sagt: hallo"}},
    };
    for (const Request &request : requests) {
        SCOPED_TRACE(request.name.toStdString() + " " + request.mode.toStdString());
        r.shown.clear();
        r.session.setColorChanged(request.colorChanged);
        ASSERT_TRUE(r.session.send(request.name, request.mode, QStringLiteral("hallo"), c));
        QList<QByteArray> expected;
        for (const QByteArray &line : request.lines)
            expected.append(platform::toWindows1252(QString::fromUtf8(line)));
        EXPECT_EQ(r.shown, expected);
        EXPECT_FALSE(r.session.colorChanged());
        EXPECT_EQ(r.session.lastSentName(), request.name);
    }

    // A new session starts over.
    r.session.begin();
    r.shown.clear();
    r.session.send(QStringLiteral("BERT"), QStringLiteral("sagt:"), QStringLiteral("x"), c);
    EXPECT_EQ(r.shown.value(0), QByteArray("2002012021BERT hat den Chatroom betreten."));

    // A sender declined in the last session is asked about again.
    r.session.declineSender(QStringLiteral("Flur"));
    r.session.begin();
    r.session.MessageGetterMSG(nullptr, "Flur", "0000000000hallo");
    EXPECT_EQ(r.asked, QStringList{QStringLiteral("Flur")});
}

// Every checked receiver, the first and the last too, is tried with every line and gets its own
// box for each failure; while the session closes nothing is reported in a box.
TEST(ChatSessionTest, EachFailingReceiverGetsItsOwnBoxButNoneWhileClosing)
{
    loopback::ScriptedPeer peer(loopback::ScriptedPeer::Behaviour::Good);
    const QString warnInvalid = QStringLiteral("Der Empfänger \"0.0.0.0\" ist nicht zu erreichen.");
    const QString warnRefused =
        QStringLiteral("Es konnte keine Verbindung zum PC \"127.0.0.1\" aufgebaut werden.");
    const QString sorry = QStringLiteral("Es gab Probleme.");
    struct Case
    {
        const char *name;
        QString receiver;
        int sendPort;
        QString message;
        QString status; // after the request
        QStringList boxes;
        qsizetype delivered; // lines the peer got, the farewell included
    };
    const Case cases[] = {
        {"invalid host", QStringLiteral("0.0.0.0"), peer.port(), QStringLiteral("hallo"),
         QStringLiteral("Konnte die Nachricht an \"0.0.0.0\" nicht senden."), QStringList(4, warnInvalid), 0},
        {"refused", QStringLiteral("127.0.0.1"), loopback::unusedPort(), QStringLiteral("hallo"),
         QStringLiteral("Verbindung mit Empfänger-PC \"127.0.0.1\" konnte nicht hergestellt werden."),
         QStringList(4, warnRefused), 0},
        // Too long for its length field: refused before it goes out, never sent cut.
        {"line too long", QStringLiteral("127.0.0.1"), peer.port(), QString(9999, QLatin1Char('x')),
         QStringLiteral("Es ist ein Fehler aufgetreten."), QStringList(2, sorry), 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = peer.deliveries().size();
        Recorder r(c.sendPort);
        r.receivers.setEntries(
            {{c.receiver, true}, {QStringLiteral("nicht.gefragt"), false}, {c.receiver, true}});
        ASSERT_TRUE(r.session.send(QStringLiteral("Anna"), QStringLiteral("sagt:"), c.message, {}));
        EXPECT_EQ(r.boxes, c.boxes);
        EXPECT_EQ(r.status, c.status);
        // A line that failed still counts as said: it is shown, once.
        EXPECT_EQ(r.shown.size(), 2);
        EXPECT_TRUE(r.session.hasJoined());

        r.boxes.clear();
        r.session.close(QStringLiteral("Anna"), {});
        EXPECT_TRUE(r.boxes.isEmpty());
        EXPECT_TRUE(r.shown.constLast().endsWith("Anna hat den Chatroom verlassen."));
        ASSERT_TRUE(peer.waitForDeliveries(before + c.delivered));
        for (const QByteArray &delivery : peer.deliveries().mid(before))
            EXPECT_FALSE(delivery.contains("sagt:"));
    }
}

TEST(ChatSessionTest, LinesSentDuringADeliveryWaitWithinTheirBoundAndFollowInOrder)
{
    loopback::ScriptedPeer peer(loopback::ScriptedPeer::Behaviour::Good);
    Recorder r(peer.port());
    r.receivers.setEntries({{QStringLiteral("127.0.0.1"), true}});
    QList<bool> accepted;
    QObject::connect(r.session.messageSender(), &TSockSession::OnConnect, &r.session, [&] {
        if (!accepted.isEmpty())
            return;
        for (qsizetype i = 0; i <= ChatSession::kMaxWaitingLines; ++i)
            accepted.append(
                r.session.send(QStringLiteral("B"), QStringLiteral("sagt:"), QString::number(i), {}));
    });
    ASSERT_TRUE(r.session.send(QStringLiteral("B"), QStringLiteral("sagt:"), QStringLiteral("eins"), {}));

    // The join is under way and the first request's own line waits already.
    const qsizetype fit = ChatSession::kMaxWaitingLines - 1;
    EXPECT_EQ(accepted.indexOf(false), fit);
    EXPECT_EQ(accepted.count(true), fit);
    QList<QByteArray> lines{"0000000001B hat den Chatroom betreten.", "0000000000B sagt: eins"};
    for (qsizetype i = 0; i < fit; ++i)
        lines.append("0000000000B sagt: " + QByteArray::number(i));
    EXPECT_EQ(r.shown, lines);
    ASSERT_TRUE(peer.waitForDeliveries(lines.size()));
    const QByteArray sender = MsgWire::field(r.session.messageSender()->fromName());
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(peer.deliveries().at(i), sender + MsgWire::field(lines.at(i))) << i;
}

TEST(ChatSessionTest, ReportsNewChatNamesAndTheEndOfTheCloseAfterItsLastLine)
{
    loopback::ScriptedPeer peer(loopback::ScriptedPeer::Behaviour::Good);
    Recorder r(peer.port());
    r.receivers.setEntries({{QStringLiteral("127.0.0.1"), true}});
    QStringList events;
    QObject::connect(&r.session, &ChatSession::chatNameChanged, [&](const QString &name) { events << name; });
    QObject::connect(&r.session, &ChatSession::lineToShow, [&](const QByteArray &) { events << "line"; });
    QObject::connect(&r.session, &ChatSession::closed, [&] { events << "closed"; });

    for (const char *name : {"Anna", "Anna", "Bert", "BERT"})
        r.session.send(QString::fromLatin1(name), QStringLiteral("sagt:"), QStringLiteral("x"), {});
    // A new name is told before its lines go out.
    EXPECT_EQ(events,
              QStringList({"Anna", "line", "line", "line", "Bert", "line", "line", "BERT", "line", "line"}));

    events.clear();
    r.session.close(QStringLiteral("BERT"), {});
    r.session.close(QStringLiteral("BERT"), {});
    EXPECT_EQ(events, QStringList({"line", "closed"}));
    ASSERT_TRUE(peer.waitForDeliveries(8));
    EXPECT_TRUE(peer.deliveries().constLast().contains("BERT hat den Chatroom verlassen."));

    // Without a join there is no farewell: the close is over at once.
    Recorder quiet(loopback::unusedPort());
    bool closed = false;
    QObject::connect(&quiet.session, &ChatSession::closed, [&] { closed = true; });
    quiet.session.close(QStringLiteral("Anna"), {});
    EXPECT_TRUE(closed);
    EXPECT_TRUE(quiet.shown.isEmpty());
}

TEST(ChatSessionTest, TheCloseGivesUpWhatIsLeftWhenItsGraceTimeIsOver)
{
    using Behaviour = loopback::ScriptedPeer::Behaviour;
    loopback::ScriptedPeer last(Behaviour::Good, 0, loopback::kLoopback + 1);
    loopback::ScriptedPeer silent(Behaviour::Silent, last.port());
    ChatSession::Setup setup = Recorder::setup(last.port());
    setup.closeGraceMs = 200;
    Recorder r(setup);
    r.receivers.setEntries({{QStringLiteral("127.0.0.1"), false}, {QStringLiteral("127.0.0.2"), true}});
    r.session.send(QStringLiteral("Ole"), QStringLiteral("lacht."), QString(), {});
    ASSERT_TRUE(last.waitForDeliveries(2));

    // The silent receiver would hold the farewell for its whole time-out, which is far longer
    // than the grace: the grace ends the delivery, and the receiver after it is not tried.
    r.receivers.setEntries({{QStringLiteral("127.0.0.1"), true}, {QStringLiteral("127.0.0.2"), true}});
    r.session.messageSender()->setTimeOut(kPatienceMs / 3);
    bool closed = false;
    QObject::connect(&r.session, &ChatSession::closed, [&] { closed = true; });
    r.statuses.clear();
    r.session.close(QStringLiteral("Ole"), {});
    EXPECT_TRUE(closed);
    EXPECT_FALSE(r.session.isSending());
    EXPECT_TRUE(r.boxes.isEmpty());
    EXPECT_EQ(r.statuses.filter(QStringLiteral("Sende an")),
              QStringList{QStringLiteral("Sende an 127.0.0.1...")});
}

TEST(ChatSessionTest, ConnectionEventsWriteTheStatusLine)
{
    loopback::ScriptedPeer peer(loopback::ScriptedPeer::Behaviour::Good);
    Recorder r(peer.port());
    r.receivers.setEntries({{QStringLiteral("127.0.0.1"), true}});
    r.session.SendToAll(QStringLiteral("x"), false, {});
    // A dotted address needs no lookup, so no text says it was resolved.
    EXPECT_EQ(r.statuses, (QStringList{
                              QStringLiteral("Sende an 127.0.0.1..."),
                              QStringLiteral("Mit Empfänger-PC \"127.0.0.1\" verbunden."),
                              QStringLiteral("Nachricht an Empfänger-PC \"127.0.0.1\" erfolgreich gesendet."),
                              QStringLiteral("Verbindung mit Empfänger-PC \"127.0.0.1\" getrennt."),
                              QStringLiteral("127.0.0.1 hat die Nachricht erhalten."),
                          }));
}

TEST(ChatSessionTest, ReceivedLinesAreShownAndOnlyUnknownSendersAskedAbout)
{
    Recorder r(loopback::unusedPort());
    r.receivers.setEntries({{QStringLiteral("Keller"), false}});
    r.session.declineSender(QStringLiteral("Dachboden"));
    struct Case
    {
        const char *name;
        QByteArray from;
        QByteArray msg;
        bool handedOver; // to the view, which shows what it can read
        bool attention;
        bool asked;
    };
    const Case cases[] = {
        {"own echo", platform::toWindows1252(QStringLiteral("Küche")), "0000000000hi", false, false, false},
        {"own name in other case", platform::toWindows1252(QStringLiteral("KÜCHE")), "0000000000hi", true,
         true, true},
        {"receiver in other case", "KELLER", "0000000000hi", true, true, false},
        {"no sender", "", "0000000000hi", true, true, false},
        {"join line", "Flur", "0000000001Flur hat den Chatroom betreten.", true, true, false},
        {"join text as speech", "Flur", "0000000000Flur hat den Chatroom betreten.", true, true, true},
        {"declined, other case", "DACHBODEN", "0000000000wieder", true, true, false},
        {"end of a declined name", "boden", "0000000000wieder", true, true, false},
        {"bad colour", "Garten", "00x0000000nie", true, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        r.shown.clear();
        r.asked.clear();
        r.attention.clear();
        r.session.MessageGetterMSG(nullptr, c.from, c.msg);
        EXPECT_EQ(r.shown.size(), c.handedOver ? 1 : 0);
        EXPECT_EQ(r.attention.size(), c.attention ? 1 : 0);
        EXPECT_EQ(r.asked.size(), c.asked ? 1 : 0);
    }
    // The own echo only says so in the status line.
    r.session.MessageGetterMSG(nullptr, platform::toWindows1252(QStringLiteral("Küche")), "0000000000hi");
    EXPECT_EQ(r.status,
              QStringLiteral("Toll! Du hast eine Nachricht von Dir selbst erhalten. Die zeige ich aber "
                             "nicht nochmal an."));
}

} // namespace
