#include "ChatWindowWidgets.h"
#include "app/ChatLineEdit.h"
#include "app/MessagerQ.h"
#include "controls/StateButton.h"
#include "net/MsgTransport.h"
#include "platform/core/Registry.h"
#include "settings/OptionsQ.h"
#include "support/FakeDialogs.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>

#include <memory>

namespace {

// One complete chat program: its window, its options window, its own computer name and
// settings folder. Each listens on a free loopback port and sends to the other's.
struct Copy
{
    QTemporaryDir settingsFolder;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TOptionForm> options;

    void start(const QString &computerName, int sendPort)
    {
        platform::setSettingsRoot(settingsFolder.path());
        platform::setComputerNameOverride(computerName);
        TForm1::Setup setup;
        setup.port = 0;
        setup.sendPort = sendPort;
        setup.listenAddress = "127.0.0.1";
        form = std::make_unique<TForm1>(setup);
        options = std::make_unique<TOptionForm>();
        form->setOptionForm(options.get());
        form->show();
    }

    int port() const { return form->session().messageGetter()->boundPort(); }
    QTextDocument *history() const { return ui(*form).MessageMemo->document(); }
    QString lastLine() const { return history()->lastBlock().text(); }
};

QTextCharFormat formatOfLastLine(const Copy &copy)
{
    QTextCursor cursor(copy.history()->lastBlock());
    cursor.movePosition(QTextCursor::Right);
    return cursor.charFormat();
}

} // namespace

TEST(TwoWindows, LinesTravelBothWaysAndUnknownSendersAreOffered)
{
    FakeDialogs boxes;
    Copy anna;
    Copy bert;
    // Bert's port is known only once he listens; Anna sends there, Bert to Anna's.
    bert.start(QStringLiteral("bert-pc"), 0);
    anna.start(QStringLiteral("127.0.0.1"), bert.port());
    bert.form->session().messageSender()->setPort(anna.port());
    platform::clearComputerNameOverride();

    anna.options->setReceivers({{QStringLiteral("127.0.0.1"), true}});
    anna.options->ActualizeSendButtonState();
    ui(*anna.form).NameEdit->setText(QStringLiteral("Anna"));
    anna.form->setOwnColor(QColor(200, 120, 40));
    ui(*anna.form).MessageEdit->setText(QStringLiteral("Grüß dich!"));
    // Bert's window handles the lines while Anna's send waits, so his answer is given first.
    boxes.answerConfirmation(true);
    Q_EMIT ui(*anna.form).SendButton->OnClick();

    // Bert sees the join line in italics, then the speech line upright, both in Anna's colour;
    // the join line alone asks nothing, the speech line asks about Anna's computer.
    ASSERT_TRUE(waitFor([&] { return bert.lastLine() == QStringLiteral("Anna sagt: Grüß dich!"); }));
    EXPECT_EQ(bert.history()->blockCount(), 2);
    EXPECT_EQ(bert.history()->firstBlock().text(), QStringLiteral("Anna hat den Chatroom betreten."));
    EXPECT_EQ(formatOfLastLine(bert).foreground().color(), QColor(200, 120, 40));
    EXPECT_FALSE(formatOfLastLine(bert).fontItalic());
    QTextCursor first(bert.history()->firstBlock());
    first.movePosition(QTextCursor::Right);
    EXPECT_TRUE(first.charFormat().fontItalic());
    ASSERT_TRUE(waitFor([&] { return boxes.boxes().size() == 1; }));
    EXPECT_EQ(boxes.boxes().at(0).kind, platform::DialogKind::Confirmation);
    EXPECT_TRUE(boxes.boxes().at(0).text.contains(QStringLiteral("\"127.0.0.1\"")));
    // Accepted: Anna's computer is Bert's checked receiver now, and he can answer.
    EXPECT_EQ(bert.options->receivers(),
              (QList<settings::ReceiverEntry>{{QStringLiteral("127.0.0.1"), true}}));
    EXPECT_TRUE(ui(*bert.form).SendButton->isEnabled());
    // Anna shows her own lines herself.
    EXPECT_EQ(anna.lastLine(), QStringLiteral("Anna sagt: Grüß dich!"));

    ui(*bert.form).NameEdit->setText(QStringLiteral("Bert"));
    bert.form->setOwnColor(QColor(120, 250, 130));
    ui(*bert.form).ComboBoxMode->setEditText(QStringLiteral("lacht."));
    boxes.clear();
    Q_EMIT ui(*bert.form).SendButton->OnClick();
    ASSERT_TRUE(waitFor([&] { return anna.lastLine() == QStringLiteral("Bert lacht."); }));
    EXPECT_EQ(formatOfLastLine(anna).foreground().color(), QColor(120, 250, 130));
    EXPECT_TRUE(formatOfLastLine(anna).fontItalic());
    // Bert's computer name is unknown to Anna: she is asked (and, unscripted, declines).
    ASSERT_TRUE(waitFor([&] { return boxes.boxes().size() == 1; }));
    EXPECT_TRUE(boxes.boxes().at(0).text.contains(QStringLiteral("\"bert-pc\"")));
    EXPECT_EQ(anna.form->session().declinedSenders(), QStringLiteral("bert-pc\\*\\ "));
    EXPECT_EQ(anna.options->receivers().size(), 1);

    platform::setSettingsRoot(QString());
}
