#include "controls/GradBtn.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QColor Begin(0, 0, 0);
const QColor End(250, 100, 50);

QColor pixel(TGradBtn &button, QPoint at)
{
    return button.grab().toImage().pixelColor(at);
}

bool near(const QColor &a, const QColor &b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The options window's skin button.
void makeSkinButton(TGradBtn &button)
{
    button.resize(145, 25);
    button.setBeginColor(QColor(64, 64, 64));
    button.setEndColor(QColor(192, 192, 192));
    button.setGradientStyle(TGradBtn::gsElliptic);
    button.setTextStyle(TGradBtn::tsInset);
    button.setBtnFrameSize(2);
    button.setBtnHiliteClr(QColor(192, 192, 192));
    button.setBtnShadowClr(QColor(128, 128, 128));
}

} // namespace

TEST(GradBtn, ColourStepsTruncateTowardZero)
{
    struct Case
    {
        QColor begin, end;
        int i, n;
        QColor expected;
    };
    const Case cases[] = {
        {{10, 10, 10}, {0, 0, 0}, 1, 3, {7, 7, 7}}, // -10 / 3 is -3, not -4
        {{0, 0, 0}, {255, 128, 3}, 1, 2, {127, 64, 1}},
        {{0, 0, 0}, {255, 128, 3}, 2, 2, {255, 128, 3}},
        {{200, 0, 50}, {0, 200, 50}, 128, 255, {100, 100, 50}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TGradBtn::gradientStep(c.begin, c.end, c.i, c.n), c.expected) << c.i << "/" << c.n;
}

TEST(GradBtn, EachStyleRunsFromTheBeginColourToTheEndColour)
{
    // A 100 x 40 button: where fewer pixels than steps share a side, the outermost pixel shows
    // one of the first steps, not step 0 itself.
    struct Case
    {
        TGradBtn::TGradientStyle style;
        QPoint beginAt, endAt;
        int beginTolerance, endTolerance;
    };
    const Case cases[] = {
        {TGradBtn::gsHorizontal, {0, 20}, {99, 20}, 2, 0},
        {TGradBtn::gsVertical, {50, 0}, {50, 39}, 6, 0},
        {TGradBtn::gsElliptic, {0, 0}, {50, 20}, 40, 10},
        {TGradBtn::gsRectangle, {0, 0}, {50, 20}, 1, 4},
        {TGradBtn::gsVertCenter, {50, 39}, {50, 20}, 0, 0},
        {TGradBtn::gsHorizCenter, {99, 20}, {50, 20}, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.style);
        TGradBtn button;
        button.resize(100, 40);
        button.setBtnFrameSize(0);
        button.setBeginColor(Begin);
        button.setEndColor(End);
        button.setGradientStyle(c.style);
        const QColor begin = pixel(button, c.beginAt);
        const QColor end = pixel(button, c.endAt);
        EXPECT_TRUE(near(begin, Begin, c.beginTolerance)) << begin.name().toStdString();
        EXPECT_TRUE(near(end, End, c.endTolerance)) << end.name().toStdString();
    }
}

TEST(GradBtn, SkinButtonHasADarkRimALightCentreAndSwapsWhilePressed)
{
    TGradBtn button;
    makeSkinButton(button);
    button.show();
    const QPoint rim(2, 2);
    const QPoint centre(72, 12);
    EXPECT_LT(pixel(button, rim).red(), 100);
    EXPECT_TRUE(near(pixel(button, centre), QColor(192, 192, 192), 6));
    EXPECT_EQ(pixel(button, {0, 0}), QColor(192, 192, 192));   // lit edge
    EXPECT_EQ(pixel(button, {144, 0}), QColor(128, 128, 128)); // top-right corner is shaded

    QTest::mousePress(&button, Qt::LeftButton, {}, {140, 20});
    ASSERT_TRUE(button.isPressed());
    EXPECT_GT(pixel(button, rim).red(), 156);
    EXPECT_TRUE(near(pixel(button, centre), QColor(64, 64, 64), 6));
    EXPECT_EQ(pixel(button, {0, 0}), QColor(128, 128, 128));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {140, 20});
    EXPECT_LT(pixel(button, rim).red(), 100);
}

TEST(GradBtn, FrameSizeIsRefusedAboveHalfTheSideLessFive)
{
    TGradBtn button;
    makeSkinButton(button);
    button.setBtnFrameSize(8);
    EXPECT_EQ(button.btnFrameSize(), 2);
    button.setBtnFrameSize(7);
    EXPECT_EQ(button.btnFrameSize(), 7);
    button.setBtnFrameSize(-1);
    EXPECT_EQ(button.btnFrameSize(), 7);
}

TEST(GradBtn, OnlyAHeldLeftButtonSwapsAndTheClickSeesTheButtonUp)
{
    TGradBtn button;
    makeSkinButton(button);
    button.show();
    QColor beginInHandler;
    int clicks = 0;
    QObject::connect(&button, &TGradBtn::clicked, &button, [&] {
        beginInHandler = button.beginColor();
        ++clicks;
    });

    QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(button.beginColor(), QColor(192, 192, 192));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(beginInHandler, QColor(64, 64, 64));

    QTest::mousePress(&button, Qt::RightButton, {}, {10, 10});
    EXPECT_FALSE(button.isPressed());
    EXPECT_EQ(button.beginColor(), QColor(64, 64, 64));
    QTest::mouseRelease(&button, Qt::RightButton, {}, {10, 10});

    QTest::keyClick(&button, Qt::Key_Return);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(beginInHandler, QColor(64, 64, 64));

    // Released outside: up again, no click.
    QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {300, 10});
    EXPECT_FALSE(button.isPressed());
    EXPECT_EQ(button.beginColor(), QColor(64, 64, 64));
    EXPECT_EQ(clicks, 2);
}

TEST(GradBtn, EnterClicksAndSpaceNeitherPressesNorOpensTheMenu)
{
    TGradBtn button;
    makeSkinButton(button);
    button.show();
    QMenu menu;
    menu.addAction(QStringLiteral("Eins"));
    int menuShows = 0;
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&] {
        ++menuShows;
        QTimer::singleShot(0, &menu, &QMenu::close);
    });
    QSignalSpy clicks(&button, &TGradBtn::clicked);
    const std::pair<Qt::Key, int> cases[] = {
        {Qt::Key_Space, 0}, {Qt::Key_Select, 0}, {Qt::Key_Return, 1}, {Qt::Key_Enter, 1}};
    for (QMenu *dropdown : {static_cast<QMenu *>(nullptr), &menu}) {
        button.setDropdownMenu(dropdown);
        for (const auto &[key, expectedClicks] : cases) {
            SCOPED_TRACE(testing::Message() << "key " << key << (dropdown ? ", menu" : ""));
            clicks.clear();
            menuShows = 0;
            QTest::keyPress(&button, key);
            EXPECT_FALSE(button.isPressed());
            EXPECT_EQ(button.beginColor(), QColor(64, 64, 64));
            QTest::keyRelease(&button, key);
            EXPECT_EQ(clicks.count(), expectedClicks);
            EXPECT_EQ(menuShows, 0);
        }
    }

    // Space while the mouse holds the button down clicks it no more than a release outside does.
    button.setDropdownMenu(nullptr);
    clicks.clear();
    QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_TRUE(button.isPressed());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {300, 10});
    EXPECT_EQ(clicks.count(), 0);
}

TEST(GradBtn, AcceleratorMarkersAreDroppedOrHalved)
{
    TGradBtn button;
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("&Skin"), QStringLiteral("Skin")},
        {QStringLiteral("Rot && Grün"), QStringLiteral("Rot & Grün")},
        {QStringLiteral("a&&&b"), QStringLiteral("a&b")},
    };
    for (const auto &[caption, shown] : cases) {
        button.setText(caption);
        EXPECT_EQ(button.displayCaption(), shown);
    }
}

TEST(GradBtn, AcceleratorClicksWithoutThePressedLook)
{
    QWidget window;
    auto *button = new TGradBtn(&window);
    button->setText(QStringLiteral("&Skin"));
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy clicks(button, &TGradBtn::clicked);
    const QColor begin = button->beginColor();
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->beginColor(), begin);
}

TEST(GradBtn, DropdownMenuOpensBelowAndThatPressNeverClicks)
{
    QWidget window;
    auto *button = new TGradBtn(&window);
    button->move(10, 10);
    QMenu menu;
    menu.addAction(QStringLiteral("Eins"));
    button->setDropdownMenu(&menu);
    window.show();
    QSignalSpy clicks(button, &TGradBtn::clicked);
    QPoint openedAt;
    QTimer::singleShot(0, &menu, [&] {
        openedAt = menu.pos();
        menu.close();
    });
    QTest::mousePress(button, Qt::LeftButton, {}, {5, 5});
    QTest::mouseRelease(button, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(openedAt, button->mapToGlobal(QPoint(0, button->height())));
    EXPECT_FALSE(button->isPressed());
    EXPECT_EQ(clicks.count(), 0);
}
