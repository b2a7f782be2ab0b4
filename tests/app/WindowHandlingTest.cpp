#include "ChatWindowWidgets.h"
#include "app/ChatLineEdit.h"
#include "app/ColorChoice.h"
#include "app/MessagerQ.h"
#include "app/WindowDragger.h"
#include "controls/StateButton.h"
#include "platform/core/Registry.h"
#include "platform/gui/Application.h"
#include "support/FakeDialogs.h"
#include "support/TempSettings.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include <memory>

namespace {

const QString kTooDark = QStringLiteral("Die Farbe ist zu dunkel und wird deshalb nicht akzeptiert.");
const QString kNoReceivers = QStringLiteral("Es wurden noch keine Empfänger angegeben!!!");

// The chat window with the windows it opens elsewhere replaced by a record of their opening.
class WatchedForm : public TForm1
{
public:
    using TForm1::TForm1;
    QStringList opened;

protected:
    void showInfoWindow() override { opened << QStringLiteral("info"); }
    void showSkinDialog() override { opened << QStringLiteral("skins"); }
};

class WindowHandlingTest : public ::testing::Test
{
protected:
    WindowHandlingTest()
    {
        platform::setComputerNameOverride(QStringLiteral("Küche"));
        TForm1::Setup setup;
        setup.port = 0;
        setup.listenAddress = "127.0.0.1";
        setup.randomSeed = 7;
        m_form = std::make_unique<WatchedForm>(setup);
        m_form->show();
    }
    ~WindowHandlingTest() override { platform::clearComputerNameOverride(); }

    // A mouse event on `control` at `local`, with the screen position the window would report.
    void mouse(QWidget *control, QEvent::Type type, QPoint local, Qt::MouseButton button = Qt::LeftButton)
    {
        const QPoint global = m_form->geometry().topLeft() + control->pos() + local;
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent event(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(control, &event);
    }

    // A pointer held on `control` that moves on the screen by the given steps: each step is
    // reported relative to where the control is at that moment.
    void dragBy(QWidget *control, QPoint start, const QList<QPoint> &steps)
    {
        QPoint global = m_form->geometry().topLeft() + control->pos() + start;
        const auto send = [&](QEvent::Type type) {
            const QPoint local = global - m_form->geometry().topLeft() - control->pos();
            QMouseEvent event(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(control, &event);
        };
        send(QEvent::MouseButtonPress);
        for (const QPoint &step : steps) {
            global += step;
            send(QEvent::MouseMove);
            m_pointerOffsets << global - m_form->geometry().topLeft();
        }
        send(QEvent::MouseButtonRelease);
    }

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : m_form.get();
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(target, &event);
    }

    QImage handle() const { return ui(*m_form).Move->pixmap().toImage(); }
    ColorChoice &colorChoice() const { return *m_form->findChild<ColorChoice *>(); }
    WindowDragger &dragger() const { return *m_form->findChild<WindowDragger *>(); }

    FakeDialogs m_boxes;
    TempSettings m_settings;
    std::unique_ptr<WatchedForm> m_form;
    QList<QPoint> m_pointerOffsets; // where the pointer was in the window after each step
};

} // namespace

TEST_F(WindowHandlingTest, DarkColoursAreRejectedExactlyByTheRule)
{
    struct Case
    {
        QColor chosen;
        bool accepted;
    };
    const QList<Case> cases{
        {QColor(110, 90, 9), false}, // every part low and the sum 209
        {QColor(110, 90, 10), true}, // the sum reaches 210
        {QColor(111, 0, 0), true},   // red above its bound
        {QColor(0, 91, 0), true},    // green above its bound
        {QColor(0, 0, 131), true},   // blue above its bound
        {QColor(0, 0, 0), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.chosen.name().toStdString());
        const QColor before(200, 180, 160);
        m_form->setOwnColor(before);
        m_boxes.clear();
        m_boxes.answerColor(c.chosen);
        const bool changedBefore = m_form->session().colorChanged();

        colorChoice().ButtonColorClick();

        // The picker always comes first, preset with the own colour.
        ASSERT_FALSE(m_boxes.boxes().isEmpty());
        EXPECT_EQ(m_boxes.boxes().first().kind, platform::DialogKind::Color);
        EXPECT_EQ(m_boxes.boxes().first().text, before.name());
        const QColor label = ui(*m_form).LabelColor->palette().color(QPalette::Window);
        const QColor caption = ui(*m_form).LabelColor->palette().color(QPalette::WindowText);
        if (c.accepted) {
            EXPECT_EQ(m_boxes.boxes().size(), 1);
            EXPECT_EQ(label, c.chosen);
            EXPECT_EQ(caption, QColor(255 - c.chosen.red(), 255 - c.chosen.green(), 255 - c.chosen.blue()));
            EXPECT_TRUE(m_form->session().colorChanged());
        } else {
            const QList<FakeDialogs::Box> expected{
                {platform::DialogKind::Color, platform::dialogCaption(platform::DialogKind::Color),
                 before.name()},
                {platform::DialogKind::Warning, QStringLiteral("Warnung"), kTooDark}};
            EXPECT_EQ(m_boxes.boxes(), expected);
            EXPECT_EQ(label, before);
            EXPECT_EQ(caption, QColor(55, 75, 95));
            EXPECT_EQ(m_form->session().colorChanged(), changedBefore);
        }
    }
}

TEST_F(WindowHandlingTest, TheSameColourOrACancelChangesNothing)
{
    const QColor own = m_form->ownColor();
    const QPalette palette = ui(*m_form).LabelColor->palette();

    m_boxes.answerColor(own);
    colorChoice().ButtonColorClick();
    colorChoice().ButtonColorClick(); // unscripted: cancelled

    EXPECT_EQ(m_boxes.boxesOf(platform::DialogKind::Color).size(), 2);
    EXPECT_TRUE(m_boxes.boxesOf(platform::DialogKind::Warning).isEmpty());
    EXPECT_FALSE(m_form->session().colorChanged());
    EXPECT_EQ(ui(*m_form).LabelColor->palette(), palette);
}

TEST_F(WindowHandlingTest, ClickOnTheColourLabelOpensThePickerWhileTheFrameIsLowered)
{
    QFrame::Shadow whilePicking = QFrame::Plain;
    m_boxes.setWhileOpen(
        [&](const FakeDialogs::Box &) { whilePicking = ui(*m_form).BevelColor->frameShadow(); });
    m_boxes.answerColor(QColor(250, 250, 250));

    mouse(ui(*m_form).LabelColor, QEvent::MouseButtonPress, {5, 5});
    EXPECT_EQ(ui(*m_form).BevelColor->frameShadow(), QFrame::Sunken);
    EXPECT_TRUE(m_boxes.boxes().isEmpty()); // the press alone opens nothing
    mouse(ui(*m_form).LabelColor, QEvent::MouseButtonRelease, {5, 5});

    EXPECT_EQ(whilePicking, QFrame::Sunken);
    EXPECT_EQ(ui(*m_form).BevelColor->frameShadow(), QFrame::Raised);
    EXPECT_EQ(m_form->ownColor(), QColor(250, 250, 250));

    // Released outside the label: no click, but the frame comes up again.
    m_boxes.clear();
    mouse(ui(*m_form).LabelColor, QEvent::MouseButtonPress, {5, 5});
    mouse(ui(*m_form).LabelColor, QEvent::MouseButtonRelease, {200, 5});
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
    EXPECT_EQ(ui(*m_form).BevelColor->frameShadow(), QFrame::Raised);
}

TEST_F(WindowHandlingTest, ActionsDisableAndDarkenTheMessageField)
{
    const QColor field(192, 216, 184);
    const auto messageColor = [this] { return ui(*m_form).MessageEdit->palette().color(QPalette::Base); };

    ui(*m_form).ComboBoxMode->setCurrentText(QStringLiteral("grinst."));
    EXPECT_FALSE(ui(*m_form).MessageEdit->isEnabled());
    EXPECT_EQ(messageColor(), QColor(90, 114, 82));

    // Clearing the way of speaking leaves the field as it was.
    ui(*m_form).ComboBoxMode->setCurrentText(QString());
    EXPECT_FALSE(ui(*m_form).MessageEdit->isEnabled());
    EXPECT_EQ(messageColor(), QColor(90, 114, 82));

    ui(*m_form).ComboBoxMode->setCurrentIndex(ui(*m_form).ComboBoxMode->findText(QStringLiteral("sagt:")));
    EXPECT_TRUE(ui(*m_form).MessageEdit->isEnabled());
    EXPECT_EQ(messageColor(), field);

    // Typing counts like choosing: the dot at the end makes it an action.
    ui(*m_form).ComboBoxMode->lineEdit()->setText(QStringLiteral("winkt"));
    EXPECT_TRUE(ui(*m_form).MessageEdit->isEnabled());
    ui(*m_form).ComboBoxMode->lineEdit()->insert(QStringLiteral("."));
    EXPECT_FALSE(ui(*m_form).MessageEdit->isEnabled());
}

TEST_F(WindowHandlingTest, DarkenedFieldFollowsTheNameFieldAndStopsAtBlack)
{
    QPalette palette = ui(*m_form).NameEdit->palette();
    palette.setColor(QPalette::Base, QColor(50, 200, 102));
    ui(*m_form).NameEdit->setPalette(palette);

    ui(*m_form).ComboBoxMode->setCurrentText(QStringLiteral("lacht."));
    // No part borrows from its neighbour.
    EXPECT_EQ(ui(*m_form).MessageEdit->palette().color(QPalette::Base), QColor(0, 98, 0));

    ui(*m_form).ComboBoxMode->setCurrentText(QStringLiteral("ruft:"));
    EXPECT_EQ(ui(*m_form).MessageEdit->palette().color(QPalette::Base), QColor(50, 200, 102));
}

TEST_F(WindowHandlingTest, EnterWithoutReceiversShowsTheHintAndBeeps)
{
    ui(*m_form).NameEdit->setFocus();
    m_form->setStatusText(QStringLiteral("vorher"));
    const int beeps = platform::Application::beepCount();

    key(Qt::Key_Return);
    EXPECT_EQ(m_form->statusText(), kNoReceivers);
    EXPECT_EQ(platform::Application::beepCount(), beeps + 1);

    // The keypad's Enter and Enter with a modifier count the same.
    key(Qt::Key_Enter, Qt::KeypadModifier);
    key(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(platform::Application::beepCount(), beeps + 3);

    // Other keys are left to the field.
    ui(*m_form).NameEdit->setText(QString());
    key(Qt::Key_A);
    EXPECT_EQ(platform::Application::beepCount(), beeps + 3);
}

TEST_F(WindowHandlingTest, F1AndTheLogoOpenTheInfoWindowAltSTheSkinDialog)
{
    // The windows open once the key has gone its way.
    ui(*m_form).MessageEdit->setFocus();
    key(Qt::Key_F1);
    EXPECT_TRUE(waitFor([&] { return m_form->opened == QStringList{QStringLiteral("info")}; }));
    key(Qt::Key_F1);
    EXPECT_TRUE(waitFor([&] { return m_form->opened.size() == 2; }));

    mouse(ui(*m_form).ImagePlauderdeckLogo, QEvent::MouseButtonPress, {10, 5});
    mouse(ui(*m_form).ImagePlauderdeckLogo, QEvent::MouseButtonRelease, {10, 5});
    EXPECT_EQ(m_form->opened.size(), 3);

    m_form->opened.clear();
    key(Qt::Key_S);
    key(Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(waitFor([&] { return !m_form->opened.isEmpty(); }));
    EXPECT_EQ(m_form->opened, QStringList{QStringLiteral("skins")});
}

TEST_F(WindowHandlingTest, HoldingTheHandleExchangesRedAndBlueAndReleaseRestoresIt)
{
    const QImage original = handle();
    ASSERT_NE(original, original.rgbSwapped()); // the handle must have colour to exchange

    for (QWidget *area :
         {static_cast<QWidget *>(ui(*m_form).Move), static_cast<QWidget *>(ui(*m_form).LabelToMove)}) {
        SCOPED_TRACE(area == ui(*m_form).Move ? "Move" : "LabelToMove");
        mouse(area, QEvent::MouseButtonPress, {3, 4});
        EXPECT_TRUE(dragger().isDragging());
        EXPECT_EQ(handle(), original.rgbSwapped());

        // A second press while held, or other buttons, change nothing.
        mouse(area, QEvent::MouseButtonPress, {3, 4});
        mouse(area, QEvent::MouseButtonPress, {3, 4}, Qt::RightButton);
        mouse(area, QEvent::MouseButtonRelease, {3, 4}, Qt::RightButton);
        EXPECT_EQ(handle(), original.rgbSwapped());

        mouse(area, QEvent::MouseButtonRelease, {3, 4});
        EXPECT_FALSE(dragger().isDragging());
        EXPECT_EQ(handle(), original);

        // A stray release keeps the picture.
        mouse(area, QEvent::MouseButtonRelease, {3, 4});
        EXPECT_EQ(handle(), original);
    }
}

TEST_F(WindowHandlingTest, TheWindowFollowsThePointerExactly)
{
    for (QWidget *area :
         {static_cast<QWidget *>(ui(*m_form).Move), static_cast<QWidget *>(ui(*m_form).LabelToMove)}) {
        SCOPED_TRACE(area == ui(*m_form).Move ? "Move" : "LabelToMove");
        m_pointerOffsets.clear();
        const QPoint start = m_form->pos();

        dragBy(area, {10, 10}, {{1, 0}, {0, 1}, {5, -3}, {-2, 7}, {1, 1}, {30, 0}, {0, -40}});

        // The pointer keeps its place on the window all the way.
        for (const QPoint &offset : std::as_const(m_pointerOffsets))
            EXPECT_EQ(offset, area->pos() + QPoint(10, 10));
        EXPECT_EQ(m_form->pos(), start + QPoint(35, -34));
        EXPECT_EQ(m_form->size(), QSize(474, 255));
    }

    // A press and release without movement leaves the window in place.
    const QPoint before = m_form->pos();
    dragBy(ui(*m_form).Move, {10, 10}, {});
    EXPECT_EQ(m_form->pos(), before);
}

TEST_F(WindowHandlingTest, HandlersMoveTheWindowByTheReportedCoordinates)
{
    // The reports a window moving under a resting pointer produces in between are skipped.
    const QPoint start = m_form->pos();
    dragger().MoveMouseDown(10, 10);
    dragger().MoveMouseMove(14, 12); // moves by (4, 2)
    EXPECT_EQ(m_form->pos(), start + QPoint(4, 2));
    dragger().MoveMouseMove(10, 10); // the moved window's own report
    EXPECT_EQ(m_form->pos(), start + QPoint(4, 2));
    dragger().MoveMouseUp(7, 10); // the release adds its own difference
    EXPECT_EQ(m_form->pos(), start + QPoint(1, 2));

    // Without a press, moves do nothing.
    dragger().MoveMouseMove(100, 100);
    EXPECT_EQ(m_form->pos(), start + QPoint(1, 2));
}

TEST_F(WindowHandlingTest, CloseAndMinimiseButtons)
{
    Q_EMIT ui(*m_form).ButtonMinimize->OnClick();
    EXPECT_TRUE(m_form->isMinimized());
    m_form->showNormal();
    EXPECT_FALSE(m_form->isMinimized());

    Q_EMIT ui(*m_form).ButtonClose->OnClick();
    EXPECT_FALSE(m_form->isVisible());
}
