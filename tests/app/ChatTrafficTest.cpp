#include "ChatWindowWidgets.h"
#include "app/ChatHistory.h"
#include "app/ChatLineEdit.h"
#include "app/MessagerQ.h"
#include "app/ReceiveLed.h"
#include "controls/StateButton.h"
#include "net/MsgTransport.h"
#include "platform/core/Registry.h"
#include "platform/core/Text.h"
#include "platform/gui/Application.h"
#include "settings/OptionsQ.h"
#include "settings/SettingsStore.h"
#include "support/FakeDialogs.h"
#include "support/LoopbackPeer.h"
#include "support/OptionFormWidgets.h"
#include "support/TempSettings.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <memory>
#include <mutex>
#include <thread>

using platform::DialogKind;

namespace {

const QString kComputer = QStringLiteral("Küche");

QByteArray w1252(const QString &text)
{
    return platform::toWindows1252(text);
}

// A receiving peer on a free loopback port: collects every delivered line.
class Inbox
{
public:
    Inbox()
    {
        m_server.setPort(0);
        m_server.setListenAddress("127.0.0.1");
        QObject::connect(
            &m_server, &TMsgServer::OnMSG, &m_server,
            [this](TSockSession *, const QByteArray &from, const QByteArray &msg) {
                std::lock_guard lock(m_mutex);
                m_from.append(from);
                m_lines.append(msg);
            },
            Qt::DirectConnection);
        m_server.Loaded();
    }

    int port() const { return m_server.boundPort(); }
    // The acknowledgement goes out before the line is handed on: wait for the handing on.
    bool waitForLines(qsizetype count) const
    {
        return waitFor([&] { return lines().size() >= count; });
    }
    QList<QByteArray> lines() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    QList<QByteArray> senders() const
    {
        std::lock_guard lock(m_mutex);
        return m_from;
    }

private:
    mutable std::mutex m_mutex;
    QList<QByteArray> m_lines;
    QList<QByteArray> m_from;
    // Last, so it goes first: its workers may still hand on a line the test did not wait for.
    TMsgServer m_server;
};

// Gives a delivery to `silentHost` a short time-out, since only a time-out ends it, and every
// other delivery the test's patience: how soon a receiver that answers does so depends on the
// machine. The time-out of an exchange is taken once its connection stands.
void shortTimeOutOnlyFor(TForm1 &form, const QString &silentHost)
{
    TMsgClient *sender = form.session().messageSender();
    sender->setTimeOut(kPatienceMs);
    QObject::connect(sender, &TSockSession::OnConnect, &form, [sender, silentHost] {
        sender->setTimeOut(sender->host() == silentHost ? 300 : kPatienceMs);
    });
}

class ChatTrafficTest : public ::testing::Test
{
protected:
    ChatTrafficTest() { platform::setComputerNameOverride(kComputer); }
    ~ChatTrafficTest() override
    {
        m_form.reset();
        m_options.reset();
        platform::clearComputerNameOverride();
    }

    static TForm1::Setup setupFor(int sendPort, quint32 seed = 1)
    {
        TForm1::Setup setup;
        setup.port = 0;
        setup.sendPort = sendPort;
        setup.listenAddress = "127.0.0.1";
        setup.randomSeed = seed;
        return setup;
    }

    TForm1 &showForm(int sendPort, quint32 seed = 1) { return showForm(setupFor(sendPort, seed)); }

    TForm1 &showForm(const TForm1::Setup &setup)
    {
        m_form = std::make_unique<TForm1>(setup);
        m_options = std::make_unique<TOptionForm>();
        m_form->setOptionForm(m_options.get());
        m_form->show();
        return *m_form;
    }

    void setReceivers(const QList<settings::ReceiverEntry> &receivers)
    {
        m_options->setReceivers(receivers);
        m_options->ActualizeSendButtonState();
    }

    void type(const QString &name, const QString &mode, const QString &message)
    {
        ui(*m_form).NameEdit->setText(name);
        ui(*m_form).ComboBoxMode->setEditText(mode);
        ui(*m_form).MessageEdit->setText(message);
    }

    QStringList history() const
    {
        return ui(*m_form)
            .MessageMemo->toPlainText()
            .split(QChar::ParagraphSeparator)
            .join(u'\n')
            .split(u'\n');
    }

    FakeDialogs m_boxes;
    TempSettings m_settings;
    std::unique_ptr<TForm1> m_form;
    std::unique_ptr<TOptionForm> m_options;
};

QByteArray colorCode(const QColor &c)
{
    return QString::asprintf("%.3d%.3d%.3d", c.red(), c.green(), c.blue()).toLatin1();
}

} // namespace

TEST_F(ChatTrafficTest, RequestsSendTheirLinesInOrderWithColourAndStyle)
{
    Inbox inbox;
    TForm1 &form = showForm(inbox.port());
    setReceivers({{QStringLiteral("127.0.0.1"), true}});
    ASSERT_TRUE(ui(form).SendButton->isEnabled());
    form.setOwnColor(QColor(7, 200, 45));

    // First request: the join line, then the speech line.
    type(QStringLiteral("Jörg"), QStringLiteral("sagt:"), QStringLiteral("Grüß euch <b>alle</b>"));
    form.SendButtonClick();
    // Same name and colour: only the chat line. Then an action leaves the message out.
    form.SendButtonClick();
    type(QStringLiteral("Jörg"), QStringLiteral("lacht."), QStringLiteral("ungesendet"));
    form.SendButtonClick();
    // Renamed and recoloured: rename, colour change, chat line, all in the new colour.
    type(QStringLiteral("Jo"), QString(), QStringLiteral("hallo"));
    form.setOwnColor(QColor(255, 0, 10));
    form.session().setColorChanged(true);
    form.SendButtonClick();

    const QList<QByteArray> expected{
        w1252(QStringLiteral("0072000451Jörg hat den Chatroom betreten.")),
        w1252(QStringLiteral("0072000450Jörg sagt: Grüß euch <b>alle</b>")),
        w1252(QStringLiteral("0072000450Jörg sagt: Grüß euch <b>alle</b>")),
        w1252(QStringLiteral("0072000451Jörg lacht.")),
        w1252(QStringLiteral("2550000101Jörg heißt ab jetzt Jo.")),
        w1252(QStringLiteral("2550000101Das hier ist die neue Farbe von Jo")),
        w1252(QStringLiteral("2550000100Jo  hallo")),
    };
    ASSERT_TRUE(inbox.waitForLines(expected.size()));
    EXPECT_EQ(inbox.lines(), expected);
    EXPECT_EQ(inbox.senders(), QList<QByteArray>(expected.size(), w1252(kComputer)));
    // Umlauts cross as single bytes.
    EXPECT_EQ(inbox.lines().at(0).size(), 10 + 31);
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
    EXPECT_EQ(form.statusText(), QStringLiteral("127.0.0.1 hat die Nachricht erhalten."));

    // The own lines, each once, with markup shown as typed.
    const QStringList shown = history();
    ASSERT_EQ(shown.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(shown.at(i), platform::fromWindows1252(expected.at(i).mid(10)));
    EXPECT_TRUE(form.session().hasJoined());
    EXPECT_FALSE(form.session().colorChanged());
    EXPECT_EQ(form.session().lastSentName(), QStringLiteral("Jo"));
}

TEST_F(ChatTrafficTest, UnreachableReceiverGetsOneBoxAndTheOthersStillReceive)
{
    Inbox inbox;
    TForm1 &form = showForm(inbox.port());
    setReceivers({{QStringLiteral("127.0.0.1"), true},
                  {QStringLiteral("0.0.0.0"), true},
                  {QStringLiteral("127.0.0.1"), false},
                  {QStringLiteral("127.0.0.1"), true}});
    type(QStringLiteral("Ann"), QStringLiteral("ruft:"), QStringLiteral("hallo"));
    ui(form).MessageEdit->setFocus();
    form.SendButtonClick();

    const QByteArray code = colorCode(form.ownColor());
    const QByteArray join = code + "1Ann hat den Chatroom betreten.";
    const QByteArray speech = code + "0Ann ruft: hallo";
    ASSERT_TRUE(inbox.waitForLines(4));
    EXPECT_EQ(inbox.lines(), (QList<QByteArray>{join, join, speech, speech}));
    // One warning per line for the unreachable receiver, never the general box on top.
    const FakeDialogs::Box warning{DialogKind::Warning, QStringLiteral("Warnung"),
                                   QStringLiteral("Der Empfänger \"0.0.0.0\" ist nicht zu erreichen.")};
    EXPECT_EQ(m_boxes.boxes(), (QList<FakeDialogs::Box>{warning, warning}));
    EXPECT_EQ(history(), (QStringList{QStringLiteral("Ann hat den Chatroom betreten."),
                                      QStringLiteral("Ann ruft: hallo")}));
    // The message stays, selected, where the user types.
    EXPECT_EQ(ui(form).MessageEdit->text(), QStringLiteral("hallo"));
    EXPECT_EQ(ui(form).MessageEdit->selectedText(), QStringLiteral("hallo"));

    // The next request asks again.
    m_boxes.clear();
    form.SendButtonClick();
    EXPECT_EQ(m_boxes.boxes(), (QList<FakeDialogs::Box>{warning}));
}

// The session keeps the waiting lines in order within their bound; the window makes each
// request from its fields as they are when clicked and beeps at one that does not fit.
TEST_F(ChatTrafficTest, RequestsDuringADeliveryTakeTheFieldsAsTheyAreAndBeepWhenFull)
{
    Inbox inbox;
    TForm1 &form = showForm(inbox.port());
    setReceivers({{QStringLiteral("127.0.0.1"), true}});
    type(QStringLiteral("B"), QStringLiteral("sagt:"), QStringLiteral("eins"));
    const int beeps = platform::Application::beepCount();
    int requests = 0;
    QObject::connect(form.session().messageSender(), &TSockSession::OnConnect, &form, [&] {
        if (requests++ > 0)
            return;
        for (int i = 0; i <= chat::ChatSession::kMaxWaitingLines; ++i) {
            ui(form).MessageEdit->setText(QString::number(i));
            form.SendButtonClick();
        }
    });
    form.SendButtonClick();

    EXPECT_FALSE(form.session().isSending());
    EXPECT_EQ(platform::Application::beepCount(), beeps + 2);
    EXPECT_EQ(history().constLast(),
              QStringLiteral("B sagt: %1").arg(chat::ChatSession::kMaxWaitingLines - 2));
    EXPECT_EQ(ui(form).MessageEdit->text(), QString::number(chat::ChatSession::kMaxWaitingLines));
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
}

// A first receiver that fails in any way costs the second receiver nothing: it gets every line
// once, whole, whether the user clicks or presses Enter.
TEST_F(ChatTrafficTest, AMisbehavingFirstReceiverCostsTheSecondNothing)
{
    using Behaviour = loopback::ScriptedPeer::Behaviour;
    loopback::ScriptedPeer second(Behaviour::Good, 0, loopback::kLoopback + 1);
    ASSERT_TRUE(second.isValid());
    const FakeDialogs::Box sorry{DialogKind::Sorry, QStringLiteral("Sorry"),
                                 QStringLiteral("Es gab Probleme.")};
    const FakeDialogs::Box refused{
        DialogKind::Warning, QStringLiteral("Warnung"),
        QStringLiteral("Es konnte keine Verbindung zum PC \"127.0.0.1\" aufgebaut werden.")};
    struct Case
    {
        const char *name;
        std::optional<Behaviour> first; // none: nobody listens
        int bytes;
        QList<FakeDialogs::Box> boxes;
    };
    const QList<Case> cases{
        {"refuses", std::nullopt, 0, {refused, refused}},
        {"hangs up", Behaviour::Hangup, 0, {sorry, sorry}},
        {"hangs up in the name", Behaviour::HangupAfter, 6, {sorry, sorry}},
        {"hangs up in the text", Behaviour::HangupAfter, 20, {sorry, sorry}},
        {"never answers", Behaviour::Silent, 0, {sorry, sorry}},
        {"says more than its reply", Behaviour::Chatty, 0, {}},
    };
    for (const Case &c : cases) {
        for (const bool enter : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (enter ? ", Enter" : ", button"));
            std::optional<loopback::ScriptedPeer> first;
            if (c.first)
                first.emplace(*c.first, second.port(), loopback::kLoopback, c.bytes);
            const qsizetype before = second.deliveries().size();
            m_boxes.clear();
            TForm1 &form = showForm(second.port());
            shortTimeOutOnlyFor(form, QStringLiteral("127.0.0.1"));
            setReceivers({{QStringLiteral("127.0.0.1"), true}, {QStringLiteral("127.0.0.2"), true}});
            type(QStringLiteral("Ida"), QStringLiteral("sagt:"), QStringLiteral("Grüße"));
            if (enter) {
                // A real box takes the focus while it is open.
                m_boxes.setWhileOpen([](const FakeDialogs::Box &) {
                    if (QWidget *focus = QApplication::focusWidget())
                        focus->clearFocus();
                });
                form.activateWindow();
                ui(form).MessageEdit->setFocus();
                ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == ui(form).MessageEdit; }));
                QTest::keyClick(ui(form).MessageEdit, Qt::Key_Return);
                ASSERT_TRUE(
                    waitFor([&] { return form.session().hasJoined() && !form.session().isSending(); }));
                QCoreApplication::processEvents();
                m_boxes.setWhileOpen({});
            } else {
                form.SendButtonClick();
            }

            const QByteArray code = colorCode(form.ownColor());
            const QByteArray sender = MsgWire::field(w1252(kComputer));
            const QList<QByteArray> expected{
                sender + MsgWire::field(code + "1Ida hat den Chatroom betreten."),
                sender + MsgWire::field(code + w1252(QStringLiteral("0Ida sagt: Grüße"))),
            };
            ASSERT_TRUE(second.waitForDeliveries(before + 2));
            EXPECT_EQ(second.deliveries().mid(before), expected);
            EXPECT_EQ(m_boxes.boxes(), c.boxes);
            EXPECT_EQ(history().size(), 2);
            EXPECT_EQ(form.statusText(), QStringLiteral("127.0.0.2 hat die Nachricht erhalten."));
        }
    }
}

TEST_F(ChatTrafficTest, ClosingHidesAtOnceAndTheWaitingLinesThenTheFarewellGoOut)
{
    using Behaviour = loopback::ScriptedPeer::Behaviour;
    loopback::ScriptedPeer second(Behaviour::Good, 0, loopback::kLoopback + 1);
    loopback::ScriptedPeer silent(Behaviour::Silent, second.port());
    TForm1 &form = showForm(second.port());
    shortTimeOutOnlyFor(form, QStringLiteral("127.0.0.1"));
    setReceivers({{QStringLiteral("127.0.0.1"), true}, {QStringLiteral("127.0.0.2"), true}});
    type(QStringLiteral("Ole"), QStringLiteral("lacht."), QString());
    bool hidden = false;
    int connects = 0;
    QObject::connect(form.session().messageSender(), &TSockSession::OnConnect, &form, [&] {
        if (connects++ > 0)
            return;
        // The user sends again and closes while the silent receiver holds the delivery.
        type(QStringLiteral("Ole"), QStringLiteral("grinst."), QString());
        form.SendButtonClick();
        form.close();
        hidden = !form.isVisible();
    });
    form.SendButtonClick();

    const QByteArray code = colorCode(form.ownColor());
    const QByteArray sender = MsgWire::field(w1252(kComputer));
    ASSERT_TRUE(second.waitForDeliveries(4));
    EXPECT_EQ(second.deliveries(), (QList<QByteArray>{
                                       sender + MsgWire::field(code + "1Ole hat den Chatroom betreten."),
                                       sender + MsgWire::field(code + "1Ole lacht."),
                                       sender + MsgWire::field(code + "1Ole grinst."),
                                       sender + MsgWire::field(code + "1Ole hat den Chatroom verlassen."),
                                   }));
    EXPECT_TRUE(hidden);
    // The silent receiver failed after the close: no box for it.
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
}

TEST_F(ChatTrafficTest, TheStatusLineShowsATransportTextAsItIs)
{
    TForm1 &form = showForm(loopback::unusedPort());
    form.session().MessageProgStatus(form.session().messageGetter(), QStringLiteral("A & B"));
    EXPECT_EQ(ui(form).StatusLabel->text(), QStringLiteral("A & B"));
}

TEST_F(ChatTrafficTest, ReceivedLinesAreShownAndUnknownSendersOffered)
{
    TForm1 &form = showForm(loopback::unusedPort());
    setReceivers({{QStringLiteral("Keller"), false}});
    const QString question = QStringLiteral(
        "Es ist eine Nachricht von dem Computer \"Dachboden\" angekommen. Dieser Computer befindet sich "
        "aber noch nicht in Ihrer Empfänger-Liste. Soll er dort hinzugefügt werden?");
    const QString echo = QStringLiteral(
        "Toll! Du hast eine Nachricht von Dir selbst erhalten. Die zeige ich aber nicht nochmal an.");

    struct Step
    {
        const char *name;
        QByteArray from;
        QByteArray msg;
        bool shown;
        bool asked;
    };
    const QList<Step> steps{
        {"own echo", w1252(kComputer), "0000000000hi", false, false},
        {"other case is another computer", w1252(QStringLiteral("KÜCHE")), "0000000000hi", true, true},
        {"receiver known in other case", "KELLER", "0000000000hi", true, false},
        {"no sender", "", "0000000000hi", true, false},
        {"join line", "Dachboden", "0000000001Dachboden hat den Chatroom betreten.", true, false},
        {"join text as speech", "Dachboden", "0000000000Dachboden hat den Chatroom betreten.", true, true},
        {"declined, other case", "DACHBODEN", "0000000000wieder", true, false},
        {"bad colour", "Garten", "00x0000000nie", false, false},
        {"too short", "Garten", "12", false, false},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        m_boxes.clear();
        const int before = history().size() - (ui(form).MessageMemo->document()->isEmpty() ? 1 : 0);
        form.setStatusText(QString());
        form.session().MessageGetterMSG(form.session().messageGetter(), step.from, step.msg);
        const int after = history().size() - (ui(form).MessageMemo->document()->isEmpty() ? 1 : 0);
        EXPECT_EQ(after - before, step.shown ? 1 : 0);
        EXPECT_EQ(m_boxes.boxes().size(), step.asked ? 1 : 0);
        if (step.from == w1252(kComputer)) {
            EXPECT_EQ(form.statusText(), echo);
        }
        if (QByteArray(step.name) == "join text as speech") {
            EXPECT_EQ(m_boxes.boxes().value(0),
                      (FakeDialogs::Box{DialogKind::Confirmation, QStringLiteral("Bestätigung"), question}));
        }
    }
    // Both questions were answered "Nein".
    EXPECT_EQ(form.session().declinedSenders(), QStringLiteral("KÜCHE\\*\\ Dachboden\\*\\ "));
    EXPECT_EQ(m_options->receivers().size(), 1);
    EXPECT_FALSE(ui(form).SendButton->isEnabled());

    // "Ja" adds the sender as received, checked, at the end, and opens the send button.
    m_boxes.answerConfirmation(true);
    form.session().MessageGetterMSG(form.session().messageGetter(), "Flur", "0000000000hallo");
    EXPECT_EQ(m_options->receivers().last(), (settings::ReceiverEntry{QStringLiteral("Flur"), true}));
    EXPECT_TRUE(ui(*m_options).ButtonDel->isEnabled());
    EXPECT_TRUE(ui(form).SendButton->isEnabled());
    EXPECT_EQ(ui(form).SendButton->statusTip(), QStringLiteral("Senden!"));
    m_boxes.clear();
    form.session().MessageGetterMSG(form.session().messageGetter(), "flur", "0000000000noch mal");
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
}

TEST_F(ChatTrafficTest, ShownLinesCarryColourStyleAndIndents)
{
    TForm1 &form = showForm(loopback::unusedPort());
    ui(form).MessageEdit->setFocus();
    const QString longText = QString(QStringLiteral("wort ")).repeated(60);
    ASSERT_TRUE(form.DisplayText(w1252(QStringLiteral("2550000001") + longText)));
    ASSERT_TRUE(form.DisplayText(w1252(QStringLiteral("0102552560") + longText)));
    ASSERT_TRUE(form.DisplayText("000000000"));
    EXPECT_FALSE(form.DisplayText("12345678x0nie"));
    for (int i = 0; i < 30; ++i)
        form.DisplayText("1281281280Zeile");

    QTextDocument *document = ui(form).MessageMemo->document();
    ASSERT_EQ(document->blockCount(), 33);
    const qreal pt = ui(form).MessageMemo->logicalDpiX() / 72.0;
    struct Expect
    {
        QColor color;
        bool italic;
        qreal firstLine;
    };
    const Expect expects[] = {{QColor(255, 0, 0), true, 5}, {QColor(10, 255, 0), false, 0}};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const QTextBlock block = document->findBlockByNumber(i);
        QTextCursor inside(block);
        inside.movePosition(QTextCursor::Right);
        EXPECT_EQ(inside.charFormat().foreground().color(), expects[i].color);
        EXPECT_EQ(inside.charFormat().fontItalic(), expects[i].italic);
        EXPECT_FALSE(inside.charFormat().fontUnderline());
        EXPECT_NEAR(block.blockFormat().leftMargin() + block.blockFormat().textIndent(),
                    expects[i].firstLine * pt, 0.01);
        // Wrapped lines start 10 pt further in than the first.
        QTextLayout *layout = block.layout();
        ASSERT_GT(layout->lineCount(), 1);
        EXPECT_NEAR(layout->lineAt(1).x() - layout->lineAt(0).x(), 10 * pt, 0.5);
    }
    // Nine digits alone make an empty line; 256 keeps its low eight bits.
    EXPECT_TRUE(document->findBlockByNumber(2).text().isEmpty());
    EXPECT_EQ(document->findBlockByNumber(2).text(), QString());

    // The history shows its end; the focus stays in the message field.
    EXPECT_EQ(ui(form).MessageMemo->verticalScrollBar()->value(),
              ui(form).MessageMemo->verticalScrollBar()->maximum());
    EXPECT_GT(ui(form).MessageMemo->verticalScrollBar()->maximum(), 0);
    EXPECT_FALSE(ui(form).MessageMemo->textCursor().hasSelection());
}

TEST_F(ChatTrafficTest, ARunWithoutBlanksWrapsNearTheEdgeAndIsCopiedAsSent)
{
    TForm1 &form = showForm(loopback::unusedPort());
    // Digits are all equally wide.
    const QString text =
        QStringLiteral("vorne ") + QStringLiteral("0123456789").repeated(300) + QStringLiteral(" hinten");
    ASSERT_TRUE(form.DisplayText(w1252(QStringLiteral("0000000000") + text)));

    // Each line of the run ends fewer than eight digits before the edge.
    const qreal digit = QFontMetricsF(ui(form).MessageMemo->font()).horizontalAdvance(u'0');
    QTextLayout *layout = ui(form).MessageMemo->document()->lastBlock().layout();
    ASSERT_GT(layout->lineCount(), 20);
    for (int i = 1; i + 1 < layout->lineCount(); ++i) {
        SCOPED_TRACE(i);
        const QTextLine line = layout->lineAt(i);
        EXPECT_LE(line.naturalTextWidth(), line.width());
        EXPECT_LT(line.width() - line.naturalTextWidth(), 8 * digit);
    }

    ui(form).MessageMemo->selectAll();
    ui(form).MessageMemo->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->html().contains(ChatHistory::kBreakOpportunity));
}

TEST_F(ChatTrafficTest, ABurstOfReceivedLinesIsShownWholeInOrderAndLaidOut)
{
    TForm1 &form = showForm(loopback::unusedPort());
    setReceivers({{QStringLiteral("Keller"), false}});
    constexpr int kLines = 300;
    // As the server's workers raise them: from another thread, faster than a frame.
    std::thread([&form] {
        for (int i = 0; i < kLines; ++i)
            Q_EMIT form.session().messageGetter()->OnMSG(form.session().messageGetter(), "Keller",
                                                         "0000000000Zeile " + QByteArray::number(i));
    }).join();
    QTextDocument *document = ui(form).MessageMemo->document();
    ASSERT_TRUE(
        waitFor([&] { return document->lastBlock().text() == QStringLiteral("Zeile %1").arg(kLines - 1); }));
    QCoreApplication::processEvents();

    ASSERT_EQ(document->blockCount(), kLines);
    for (int i = 0; i < kLines; i += 37)
        EXPECT_EQ(document->findBlockByNumber(i).text(), QStringLiteral("Zeile %1").arg(i));
    // Laid out and in view: the history's height counts every line, and its end is shown.
    ASSERT_GT(document->lastBlock().layout()->lineCount(), 0);
    const qreal lineHeight = document->lastBlock().layout()->lineAt(0).height();
    EXPECT_GE(document->documentLayout()->documentSize().height(), kLines * lineHeight);
    EXPECT_EQ(ui(form).MessageMemo->verticalScrollBar()->value(),
              ui(form).MessageMemo->verticalScrollBar()->maximum());
    EXPECT_GT(ui(form).MessageMemo->verticalScrollBar()->maximum(), 0);
}

TEST_F(ChatTrafficTest, ABurstOfLongLinesIsShownWholeInOrderOverSeveralFrames)
{
    TForm1::Setup setup = setupFor(loopback::unusedPort());
    setup.frameCharacters = 9000; // less than one of these lines
    TForm1 &form = showForm(setup);
    setReceivers({{QStringLiteral("Keller"), false}});
    const QByteArray run = QByteArray("0123456789").repeated(900);
    constexpr int kLines = 12;
    std::thread([&form, &run] {
        for (int i = 0; i < kLines; ++i)
            Q_EMIT form.session().messageGetter()->OnMSG(form.session().messageGetter(), "Keller",
                                                         "0000000000" + QByteArray::number(i) + run);
    }).join();

    // One frame takes what its budget allows, here one line, not everything that waits.
    QTextDocument *document = ui(form).MessageMemo->document();
    form.session().receivedLines().drain();
    EXPECT_EQ(document->blockCount(), 1);

    ASSERT_TRUE(waitFor(
        [&] { return document->blockCount() == kLines && form.session().receivedLines().pending() == 0; }));
    QCoreApplication::processEvents();
    for (int i = 0; i < kLines; ++i) {
        SCOPED_TRACE(i);
        const QString shown = document->findBlockByNumber(i).text().remove(ChatHistory::kBreakOpportunity);
        EXPECT_EQ(shown, QString::number(i) + QString::fromLatin1(run));
    }
    EXPECT_GT(ui(form).MessageMemo->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(ui(form).MessageMemo->verticalScrollBar()->value(),
              ui(form).MessageMemo->verticalScrollBar()->maximum());
}

TEST_F(ChatTrafficTest, TheLineAQuestionIsAboutIsInViewWhileTheBoxIsOpen)
{
    TForm1 &form = showForm(loopback::unusedPort());
    setReceivers({{QStringLiteral("Keller"), false}});
    QTextDocument *document = ui(form).MessageMemo->document();
    bool inView = false;
    m_boxes.setWhileOpen([&](const FakeDialogs::Box &) {
        const QTextBlock asked = document->lastBlock();
        inView = asked.text() == QStringLiteral("wer bin ich") && asked.layout()->lineCount() > 0 &&
                 ui(form).MessageMemo->verticalScrollBar()->value() ==
                     ui(form).MessageMemo->verticalScrollBar()->maximum();
    });
    for (int i = 0; i < 20; ++i)
        form.session().receivedLines().push("Keller", "0000000000davor " + QByteArray::number(i));
    form.session().receivedLines().push("Dachboden", "0000000000wer bin ich");
    ASSERT_TRUE(waitFor([&] { return !m_boxes.boxes().isEmpty(); }));
    EXPECT_TRUE(inView);
}

TEST_F(ChatTrafficTest, TheHistoryDropsItsOldestWholeLinesBeyondItsBounds)
{
    struct Case
    {
        const char *name;
        qsizetype characters;
        qsizetype lines;
        int length; // of each line's text
        int count;
        bool received; // through the server's queue, a frame at a time
    };
    const Case cases[] = {
        {"characters", 3000, 1000, 120, 100, false},
        {"lines", 1000000, 16, 4, 60, false},
        {"characters, received", 3000, 1000, 120, 100, true},
        {"a line longer than the bound stays", 500, 1000, 800, 3, false},
    };
    const qreal pt = QApplication::primaryScreen()->logicalDotsPerInchX() / 72.0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TForm1::Setup setup = setupFor(loopback::unusedPort());
        setup.historyCharacters = c.characters;
        setup.historyLines = c.lines;
        TForm1 &form = showForm(setup);
        setReceivers({{QStringLiteral("Keller"), false}});
        QTextDocument *history = ui(form).MessageMemo->document();
        // Every third line is italic, so a dropped line's indents would show on the one after it.
        const auto line = [&c](int i) { return QString::number(i).leftJustified(c.length, u'.'); };
        for (int i = 0; i < c.count; ++i) {
            const QByteArray payload = (i % 3 == 0 ? "0000000001" : "0000000000") + w1252(line(i));
            if (c.received) {
                form.session().receivedLines().push("Keller", payload);
                continue;
            }
            form.DisplayText(payload);
            if (c.length <= c.characters) {
                EXPECT_LE(history->characterCount(), c.characters);
                EXPECT_LE(history->blockCount(), c.lines);
            }
        }
        ASSERT_TRUE(waitFor([&] {
            return form.session().receivedLines().pending() == 0 &&
                   !form.session().receivedLines().isDraining();
        }));
        QCoreApplication::processEvents();

        // What is left are the newest lines, whole and in order, filling more than half the bounds.
        const int kept = history->blockCount();
        for (int k = 0; k < kept; ++k)
            EXPECT_EQ(history->findBlockByNumber(k).text().remove(ChatHistory::kBreakOpportunity),
                      line(c.count - kept + k))
                << k;
        if (c.length <= c.characters) {
            EXPECT_LE(history->characterCount(), c.characters);
            EXPECT_LE(kept, c.lines);
            EXPECT_TRUE(history->characterCount() > c.characters / 2 || kept > c.lines / 2);
        } else {
            EXPECT_EQ(kept, 1);
        }
        // The first line kept has its own indents and style.
        const QTextBlock first = history->firstBlock();
        const bool italic = (c.count - kept) % 3 == 0;
        EXPECT_NEAR(first.blockFormat().leftMargin() + first.blockFormat().textIndent(),
                    (italic ? 5 : 0) * pt, 0.01);
        EXPECT_EQ(first.charFormat().fontItalic(), italic);
    }
}

TEST_F(ChatTrafficTest, TheLedBlinksInBurstsThatEndUnlit)
{
    // One window, many bursts: each burst draws its own random numbers. (A window per burst
    // made this test take minutes under ThreadSanitizer.)
    TForm1 &form = showForm(loopback::unusedPort(), 1);
    auto *led = form.findChild<ReceiveLed *>();
    auto *timer = form.findChild<QTimer *>(QStringLiteral("LEDTimer"));
    ASSERT_TRUE(led && timer);
    for (int burst = 1; burst <= 40; ++burst) {
        SCOPED_TRACE(burst);
        EXPECT_FALSE(timer->isActive());
        form.DisplayText("0000000000x");
        ASSERT_TRUE(timer->isActive());
        if (burst == 1) {
            EXPECT_EQ(timer->interval(), 50); // later bursts start at the last drawn interval
        }
        QList<int> states;
        int ticks = 0;
        while (timer->isActive() && ticks < 20) {
            led->LEDTimerTimer();
            ++ticks;
            states.append(led->state());
            if (timer->isActive()) {
                EXPECT_GE(timer->interval(), 5);
                EXPECT_LE(timer->interval(), 104);
            }
        }
        EXPECT_GE(ticks, 4);
        EXPECT_LE(ticks, 7);
        // Lit, unlit, lit, then alternating until the burst ends unlit.
        EXPECT_EQ(states.mid(0, 3), (QList<int>{1, 0, 1}));
        EXPECT_EQ(states.last(), 0);
        EXPECT_EQ(led->state(), 0);
    }
}

TEST_F(ChatTrafficTest, StartLoadsTheStoredSettings)
{
    settings::StoredSettings stored;
    stored.receivers = {{QStringLiteral("Keller"), false}, {QStringLiteral("Flur"), true}};
    stored.ownName = QStringLiteral("Gespeichert");
    stored.ownColor = QColor(10, 20, 30);
    stored.currentSkinPath = QStringLiteral("/skins/Blau/");
    settings::SaveSettings(stored);

    TForm1 &form = showForm(loopback::unusedPort());
    EXPECT_EQ(ui(form).NameEdit->text(), QStringLiteral("Gespeichert"));
    EXPECT_EQ(form.statusText(), QStringLiteral("Hallo Küche!"));
    EXPECT_EQ(form.ownColor(), QColor(10, 20, 30));
    EXPECT_EQ(ui(form).LabelColor->palette().color(QPalette::WindowText), QColor(245, 235, 225));
    EXPECT_EQ(form.currentSkinPath(), QStringLiteral("/skins/Blau/"));
    EXPECT_EQ(m_options->receivers(), stored.receivers);
    EXPECT_TRUE(ui(*m_options).SaveRegCheck->isChecked());
    EXPECT_TRUE(ui(*m_options).ButtonDelOptions->isEnabled());
    EXPECT_TRUE(ui(form).SendButton->isEnabled());
    EXPECT_EQ(ui(form).SendButton->statusTip(), QStringLiteral("Senden!"));
}

TEST_F(ChatTrafficTest, ClosingSaysGoodbyeWithoutBoxesAndSaves)
{
    Inbox inbox;
    TForm1 &form = showForm(inbox.port());
    setReceivers({{QStringLiteral("0.0.0.0"), true}, {QStringLiteral("127.0.0.1"), true}});
    ui(*m_options).SaveRegCheck->setChecked(true);
    type(QStringLiteral("Eva"), QStringLiteral("sagt:"), QStringLiteral("tschüss"));
    form.SendButtonClick();
    m_boxes.clear();

    form.close();
    ASSERT_TRUE(inbox.waitForLines(3));
    const QByteArray code = colorCode(form.ownColor());
    EXPECT_EQ(inbox.lines().last(), code + "1Eva hat den Chatroom verlassen.");
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
    const std::optional<settings::StoredSettings> saved = settings::LoadSettings();
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->ownName, QStringLiteral("Eva"));
    EXPECT_EQ(saved->receivers.size(), 2);
}

TEST_F(ChatTrafficTest, AFailedSaveStillLetsTheFarewellGo)
{
    Inbox inbox;
    TForm1 &form = showForm(inbox.port());
    setReceivers({{QStringLiteral("127.0.0.1"), true}});
    ui(*m_options).SaveRegCheck->setChecked(true);
    type(QStringLiteral("Eva"), QStringLiteral("lacht."), QString());
    form.SendButtonClick();

    // A settings folder that is a file cannot take the save.
    QTemporaryFile blocker;
    ASSERT_TRUE(blocker.open());
    platform::setSettingsRoot(blocker.fileName());
    form.close();
    platform::setSettingsRoot(m_settings.root());

    EXPECT_EQ(m_boxes.boxesOf(DialogKind::Error).size(), 1);
    // Join, action, farewell.
    ASSERT_TRUE(inbox.waitForLines(3));
    EXPECT_TRUE(inbox.lines().last().endsWith("Eva hat den Chatroom verlassen."));
}

TEST_F(ChatTrafficTest, ClosingWithoutHavingSentSendsNothing)
{
    Inbox inbox;
    TForm1 &form = showForm(inbox.port());
    setReceivers({{QStringLiteral("127.0.0.1"), true}});
    form.close();
    EXPECT_TRUE(inbox.lines().isEmpty());
}

TEST_F(ChatTrafficTest, ThePointerOverEachControlShowsItsHint)
{
    TForm1 &form = showForm(loopback::unusedPort());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    setReceivers({{QStringLiteral("Flur"), true}});
    struct Case
    {
        QWidget *control;
        QString hint;
    };
    const QList<Case> cases{
        {ui(form).LabelColor, QStringLiteral("Hier kann man sich eine Farbe aussuchen")},
        {ui(form).Move, QStringLiteral("Hier klicken und ziehen, um das Fenster zu verschieben")},
        {ui(form).ButtonClose, QStringLiteral("beendet Plauderdeck")},
        {ui(form).ButtonMinimize, QStringLiteral("minimiert das Fenster (in die Taskleiste)")},
        {ui(form).SendButton, QStringLiteral("Senden!")},
        {ui(form).BtnOptions, QStringLiteral("Optionen (Empfänger etc.)")},
        {ui(form).ComboBoxMode, QStringLiteral("Hier auswählen, wie man etwas spricht bzw. was man macht "
                                               "(Handlungen mit . am Ende!)")},
        {ui(form).MessageEdit, QStringLiteral("Hier die Nachricht eingeben, die gesendet werden soll.")},
        {ui(form).MessageMemo, QStringLiteral("Das sind die bisher empfangenen Nachrichten")},
        {ui(form).NameEdit, QString()},
        {ui(form).LabelToMove, QString()},
    };
    // The pointer arrives over the bare background first.
    QTest::mouseMove(form.windowHandle(), QPoint(3, 250));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.hint.toStdString());
        // Through the window, where a real pointer would be: inner parts count for their control.
        const QPoint centre = c.control->mapTo(&form, c.control->rect().center());
        QTest::mouseMove(form.windowHandle(), centre);
        EXPECT_TRUE(waitFor([&] { return form.statusText() == c.hint; })) << form.statusText().toStdString();
    }
}
