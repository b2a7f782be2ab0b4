#include "app/MessagerQ.h"
#include "ChatWindowWidgets.h"
#include "app/ChatLineEdit.h"
#include "app/PaintBox.h"
#include "app/ReceiveLed.h"
#include "controls/StateButton.h"
#include "net/MsgTransport.h"
#include "platform/core/Registry.h"
#include "support/FakeDialogs.h"
#include "support/TempSettings.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QEnterEvent>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <memory>

namespace {

const QString kNoReceivers = QStringLiteral("Es wurden noch keine Empfänger angegeben!!!");

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest() { platform::setComputerNameOverride(QStringLiteral("Küche")); }
    ~MainWindowTest() override { platform::clearComputerNameOverride(); }

    std::unique_ptr<TForm1> showForm(TForm1::Setup setup = {})
    {
        if (setup.port == chat::ChatSession::kChatPort)
            setup.port = 0;
        setup.listenAddress = "127.0.0.1";
        auto form = std::make_unique<TForm1>(setup);
        form->show();
        return form;
    }

    FakeDialogs m_boxes;
    TempSettings m_settings;
};

QColor background(QWidget *w, QPalette::ColorRole role)
{
    return w->palette().color(role);
}

} // namespace

TEST_F(MainWindowTest, ComponentsSitWhereTheyBelongInStackingOrder)
{
    auto form = showForm();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Plauderdeck"));
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(form->geometry(), QRect(195, 105, 474, 255));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(background(form.get(), QPalette::Window), QColor(128, 128, 128));
    EXPECT_EQ(background(form.get(), QPalette::WindowText), QColor(55, 55, 67));
    const QFontInfo font(form->font());
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(font.pixelSize(), 11);

    struct Component
    {
        QWidget *widget;
        QRect geometry;
        QString hint;
    };
    const QList<Component> components{
        {ui(*form).ImageMain, {0, 0, 474, 255}, {}},
        {ui(*form).BevelColor, {48, 147, 49, 20}, {}},
        {ui(*form).LabelColor, {49, 148, 47, 18}, QStringLiteral("Hier kann man sich eine Farbe aussuchen")},
        {ui(*form).Move,
         {431, 194, 34, 32},
         QStringLiteral("Hier klicken und ziehen, um das Fenster zu verschieben")},
        {ui(*form).LED, {11, 229, 14, 14}, {}},
        {ui(*form).StatusLabel,
         {32, 230, ui(*form).StatusLabel->width(), ui(*form).StatusLabel->height()},
         {}},
        {ui(*form).ButtonClose, {440, 10, 20, 20}, QStringLiteral("beendet Plauderdeck")},
        {ui(*form).ButtonMinimize,
         {416, 10, 18, 20},
         QStringLiteral("minimiert das Fenster (in die Taskleiste)")},
        {ui(*form).SendButton, {104, 198, 113, 25}, kNoReceivers},
        {ui(*form).LabelToMove, {8, 6, 401, 25}, {}},
        {ui(*form).BtnOptions, {224, 198, 113, 25}, QStringLiteral("Optionen (Empfänger etc.)")},
        {ui(*form).ImagePlauderdeckLogo, {40, 10, 133, 17}, ui(*form).ImagePlauderdeckLogo->statusTip()},
        {ui(*form).NameEdit, {101, 147, 124, 21}, {}},
        {ui(*form).ComboBoxMode,
         {232, 147, 145, 21},
         QStringLiteral(
             "Hier auswählen, wie man etwas spricht bzw. was man macht (Handlungen mit . am Ende!)")},
        {ui(*form).MessageEdit,
         {16, 170, 441, 23},
         QStringLiteral("Hier die Nachricht eingeben, die gesendet werden soll.")},
        {ui(*form).MessageMemo,
         {15, 35, 444, 103},
         QStringLiteral("Das sind die bisher empfangenen Nachrichten")},
    };
    QList<QWidget *> stacking;
    for (QObject *child : form->children()) {
        if (child->isWidgetType())
            stacking.append(static_cast<QWidget *>(child));
    }
    ASSERT_EQ(stacking.size(), components.size());
    for (qsizetype i = 0; i < components.size(); ++i) {
        const Component &c = components[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(stacking[i], c.widget);
        EXPECT_EQ(c.widget->geometry(), c.geometry);
        EXPECT_EQ(c.widget->statusTip(), c.hint);
        EXPECT_TRUE(c.widget->toolTip().isEmpty());
        EXPECT_TRUE(c.widget->isVisible());
    }
    EXPECT_FALSE(ui(*form).ImagePlauderdeckLogo->statusTip().isEmpty());
    EXPECT_FALSE(ui(*form).ImagePlauderdeckLogo->statusTip().contains(QLatin1Char('\n')));
    EXPECT_EQ(ui(*form).ImagePlauderdeckLogo->pixmap().size(), QSize(133, 17));
    EXPECT_EQ(ui(*form).Move->pixmap().size(), QSize(34, 32));
    EXPECT_EQ(ui(*form).Move->cursor().shape(), Qt::SizeAllCursor);
    const auto *led = form->findChild<ReceiveLed *>();
    ASSERT_NE(led, nullptr);
    EXPECT_EQ(led->picture(false).size(), QSize(14, 14));
    EXPECT_NE(led->picture(false).toImage(), led->picture(true).toImage());
    EXPECT_EQ(ui(*form).BevelColor->frameShadow(), QFrame::Raised);
    const auto *timer = form->findChild<QTimer *>(QStringLiteral("LEDTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->interval(), 50);
}

TEST_F(MainWindowTest, FieldsStartWithTheirTextsColoursAndFocusOrder)
{
    auto form = showForm();
    EXPECT_EQ(ui(*form).LabelColor->text(), QStringLiteral("Farbe..."));
    EXPECT_EQ(ui(*form).LabelColor->alignment(), Qt::AlignCenter);
    EXPECT_EQ(ui(*form).MessageEdit->text(), QStringLiteral("Nachricht"));
    EXPECT_EQ(ui(*form).ComboBoxMode->currentText(), QStringLiteral("sagt:"));
    EXPECT_TRUE(ui(*form).ComboBoxMode->isEditable());
    ASSERT_EQ(ui(*form).ComboBoxMode->count(), 18);
    EXPECT_EQ(ui(*form).ComboBoxMode->itemText(0), QStringLiteral("röchelt:"));
    EXPECT_EQ(ui(*form).ComboBoxMode->itemText(11), QStringLiteral("(schadenfroh):"));
    EXPECT_EQ(ui(*form).ComboBoxMode->itemText(12), QStringLiteral("lacht."));
    EXPECT_EQ(ui(*form).ComboBoxMode->itemText(17), QStringLiteral("findet das ... ."));
    for (QWidget *field :
         {static_cast<QWidget *>(ui(*form).NameEdit), static_cast<QWidget *>(ui(*form).ComboBoxMode),
          static_cast<QWidget *>(ui(*form).MessageEdit)}) {
        EXPECT_EQ(background(field, QPalette::Base), QColor(192, 216, 184));
        EXPECT_EQ(background(field, QPalette::Text), QColor(55, 55, 67));
    }
    EXPECT_EQ(background(ui(*form).MessageMemo, QPalette::Base), QColor(Qt::black));
    EXPECT_TRUE(ui(*form).MessageMemo->isReadOnly());
    EXPECT_EQ(ui(*form).MessageMemo->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(ui(*form).MessageMemo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(background(ui(*form).StatusLabel, QPalette::WindowText), QColor(172, 255, 145));
    EXPECT_FALSE(ui(*form).StatusLabel->autoFillBackground());
    EXPECT_TRUE(form->keyPreview());

    // The name field has the focus; Tab walks name, way of speaking, message and round again,
    // leaving out the history and the buttons, and never selects a field's whole text.
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), ui(*form).NameEdit);
    auto focusedField = [] {
        QWidget *w = QApplication::focusWidget();
        return w && qobject_cast<QComboBox *>(w->parentWidget()) ? w->parentWidget() : w;
    };
    const QList<QWidget *> order{ui(*form).ComboBoxMode, ui(*form).MessageEdit, ui(*form).NameEdit};
    for (QWidget *expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(focusedField(), expected);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), ui(*form).MessageEdit);
    EXPECT_FALSE(ui(*form).MessageEdit->hasSelectedText());
    EXPECT_FALSE(ui(*form).ComboBoxMode->lineEdit()->hasSelectedText());
}

TEST_F(MainWindowTest, GreetsTheComputerAndKeepsTheSendButtonShut)
{
    auto form = showForm();
    EXPECT_EQ(form->session().messageSender()->fromName(), QByteArray("K\xFC"
                                                                      "che"));
    EXPECT_EQ(ui(*form).NameEdit->text(), QStringLiteral("Küche"));
    EXPECT_EQ(form->statusText(), QStringLiteral("Hallo Küche!"));
    EXPECT_EQ(ui(*form).StatusLabel->textFormat(), Qt::PlainText);
    EXPECT_GE(ui(*form).StatusLabel->width(),
              ui(*form).StatusLabel->fontMetrics().horizontalAdvance(form->statusText()));

    EXPECT_FALSE(ui(*form).SendButton->isEnabled());
    EXPECT_EQ(ui(*form).SendButton->statusTip(), kNoReceivers);
    form->setSendButtonReady(true);
    EXPECT_TRUE(ui(*form).SendButton->isEnabled());
    EXPECT_EQ(ui(*form).SendButton->statusTip(), QStringLiteral("Senden!"));
    form->setSendButtonReady(false);
    EXPECT_FALSE(ui(*form).SendButton->isEnabled());
    EXPECT_EQ(ui(*form).SendButton->statusTip(), kNoReceivers);

    EXPECT_FALSE(form->session().hasJoined());
    EXPECT_FALSE(form->session().colorChanged());
    EXPECT_TRUE(form->session().lastSentName().isEmpty());
    EXPECT_TRUE(form->session().declinedSenders().isEmpty());
    EXPECT_TRUE(form->currentSkinPath().isEmpty());
    EXPECT_EQ(form->findChild<ReceiveLed *>()->state(), 0);
    EXPECT_EQ(form->session().messageSender()->port(), 6711);
    EXPECT_EQ(form->session().messageSender()->timeOut(), 20000);
    EXPECT_EQ(form->session().messageSender()->reportLevel(), 2);
    EXPECT_EQ(form->session().messageGetter()->reportLevel(), 2);
}

TEST_F(MainWindowTest, WithoutAComputerNameTheGreetingIsEmpty)
{
    platform::setComputerNameOverride(std::nullopt);
    auto form = showForm();
    EXPECT_EQ(form->session().messageSender()->fromName(), QByteArray());
    EXPECT_EQ(ui(*form).NameEdit->text(), QString());
    EXPECT_EQ(form->statusText(), QStringLiteral("Hallo !"));
}

TEST_F(MainWindowTest, OwnColourIsLightAndItsCaptionTheInverse)
{
    for (const quint32 seed : {0u, 1u, 4711u, 0xffffffffu}) {
        SCOPED_TRACE(seed);
        TForm1::Setup setup;
        setup.randomSeed = seed;
        auto form = showForm(setup);
        QRandomGenerator reference(seed);
        const int r = static_cast<int>(reference.bounded(138u)) + 117;
        const int g = static_cast<int>(reference.bounded(138u)) + 117;
        const int b = static_cast<int>(reference.bounded(138u)) + 117;
        const QColor own = form->ownColor();
        EXPECT_EQ(own, QColor(r, g, b));
        for (int channel : {own.red(), own.green(), own.blue()}) {
            EXPECT_GE(channel, 117);
            EXPECT_LE(channel, 254);
        }
        EXPECT_EQ(background(ui(*form).LabelColor, QPalette::Window), own);
        EXPECT_EQ(background(ui(*form).LabelColor, QPalette::WindowText),
                  QColor(255 - own.red(), 255 - own.green(), 255 - own.blue()));
        EXPECT_TRUE(ui(*form).LabelColor->autoFillBackground());
    }
}

TEST_F(MainWindowTest, HintsOfTheControlUnderThePointerShowInTheStatusLine)
{
    auto form = showForm();
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(ui(*form).MessageEdit, &enter);
    EXPECT_EQ(form->statusText(), QStringLiteral("Hier die Nachricht eingeben, die gesendet werden soll."));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(ui(*form).MessageEdit, &leave);
    EXPECT_EQ(form->statusText(), QString());
    QCoreApplication::sendEvent(ui(*form).SendButton, &enter);
    EXPECT_EQ(form->statusText(), kNoReceivers);
    QCoreApplication::sendEvent(ui(*form).SendButton, &leave);

    form->setStatusText(QStringLiteral("Müller & Söhne"));
    EXPECT_EQ(ui(*form).StatusLabel->text(), QStringLiteral("Müller & Söhne"));
}

TEST_F(MainWindowTest, ServerListensFromTheStartAndHandsLinesToTheWindow)
{
    auto form = showForm();
    ASSERT_TRUE(form->session().messageGetter()->isListening());
    const int port = form->session().messageGetter()->boundPort();
    ASSERT_GT(port, 0);
    QSignalSpy arrived(&form->session(), &chat::ChatSession::lineArrived);

    QTcpSocket peer;
    peer.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    ASSERT_TRUE(peer.waitForConnected(5000));
    const QByteArray payload = "2550000001B\xE4r lacht.";
    peer.write("0006Garten" + QByteArray::number(payload.size()).rightJustified(4, '0') + payload);
    QByteArray reply;
    ASSERT_TRUE(waitFor([&] {
        reply += peer.readAll();
        return reply.size() >= 16;
    }));
    EXPECT_EQ(reply, QByteArray("OK              "));
    peer.disconnectFromHost();

    ASSERT_TRUE(waitFor([&] { return arrived.size() == 1; }));
    EXPECT_EQ(arrived[0][0].toByteArray(), QByteArray("Garten"));
    EXPECT_EQ(arrived[0][1].toByteArray(), payload);
    // The caller's address stands between the quotes.
    EXPECT_EQ(form->statusText(), QStringLiteral("Der PC \"127.0.0.1\" verbindet sich mit diesem PC."));
}

TEST_F(MainWindowTest, ATakenPortIsReportedInTheStatusLine)
{
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    TForm1::Setup setup;
    setup.port = holder.serverPort();
    auto form = showForm(setup);
    EXPECT_FALSE(form->session().messageGetter()->isListening());
    EXPECT_EQ(form->statusText(),
              QStringLiteral(
                  "Hallo Küche! Achtung: Port %1 ist belegt – es können keine Nachrichten empfangen werden.")
                  .arg(holder.serverPort()));
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
}
