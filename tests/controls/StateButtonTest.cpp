#include "controls/StateButton.h"
#include "controls/KeyColor.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTest>

namespace {

const QColor Background(10, 20, 30);
const QColor UpColor(200, 40, 40);
const QColor DownColor(40, 200, 40);
const QColor OverColor(40, 40, 200);
const QColor DisabledColor(120, 120, 120);
const QColor Key(255, 0, 255);

// A bitmap of `size` in `fill` whose left quarter is the key colour (so the bottom-left pixel,
// which names the transparent colour, lies in it).
QImage makeBitmap(QSize size, const QColor &fill, const QColor &key = Key)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width() / 4, size.height(), key);
    return image;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Records the status tips that reach a window.
class TipSpy : public QObject
{
public:
    QStringList tips;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StatusTip)
            tips << static_cast<QStatusTipEvent *>(event)->tip();
        return false;
    }
};

class StateButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window.resize(300, 200);
        QPalette palette = m_window.palette();
        palette.setColor(QPalette::Window, Background);
        m_window.setPalette(palette);
        m_window.setAutoFillBackground(true);
        m_button = new TStateButton(&m_window);
        m_button->move(20, 30);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        // Start every test with the mouse away from the button (moves to the position it
        // already has would be dropped).
        QTest::mouseMove(m_window.windowHandle(), QPoint(299, 199));
    }

    // The colour the window shows at a point of the button.
    QColor shownAt(QPoint buttonPoint)
    {
        const QImage image = m_window.grab().toImage();
        return image.pixelColor(m_button->geometry().topLeft() + buttonPoint);
    }

    void setFourBitmaps()
    {
        m_button->setBitmapUp(makeBitmap({40, 20}, UpColor));
        m_button->setBitmapDown(makeBitmap({40, 20}, DownColor));
        m_button->setBitmapOver(makeBitmap({40, 20}, OverColor));
        m_button->setBitmapDisabled(makeBitmap({40, 20}, DisabledColor));
    }

    // The mouse goes through the window system, so grabs, enter/leave and double clicks are
    // what a user's mouse produces. Points are in the coordinates of `target`.
    void press(QPoint pos, Qt::MouseButton button = Qt::LeftButton, QWidget *target = nullptr)
    {
        QTest::mousePress(m_window.windowHandle(), button, {}, toWindow(pos, target));
    }
    void release(QPoint pos, Qt::MouseButton button = Qt::LeftButton, QWidget *target = nullptr)
    {
        QTest::mouseRelease(m_window.windowHandle(), button, {}, toWindow(pos, target));
    }
    void moveTo(QPoint pos) { QTest::mouseMove(m_window.windowHandle(), toWindow(pos, nullptr)); }
    QPoint toWindow(QPoint pos, QWidget *target)
    {
        return (target ? target : m_button)->mapTo(&m_window, pos);
    }

    static constexpr QPoint Opaque{30, 10};
    static constexpr QPoint Transparent{3, 10};
    static constexpr QPoint Outside{45, 25};

    QWidget m_window;
    TStateButton *m_button = nullptr;
};

TEST_F(StateButtonTest, WithoutBitmapsIs50By50PaintsNothingAndEveryPointIsAHit)
{
    EXPECT_EQ(m_button->size(), QSize(50, 50));
    EXPECT_TRUE(m_button->hitTest(0, 0));
    EXPECT_TRUE(m_button->hitTest(49, 49));
    EXPECT_FALSE(m_button->hitTest(50, 10)) << "outside the rectangle";
    EXPECT_EQ(shownAt({25, 25}), Background);
    EXPECT_EQ(m_button->transparentColor(), QColor(Qt::white));
}

TEST_F(StateButtonTest, UpBitmapGivesTheSizeAndTheRequestedPositionStays)
{
    m_button->setGeometry(104, 198, 50, 50);
    m_button->setBitmapUp(makeBitmap({113, 25}, UpColor));
    EXPECT_EQ(m_button->geometry(), QRect(104, 198, 113, 25));

    m_button->setGeometry(5, 6, 200, 200);
    EXPECT_EQ(m_button->geometry(), QRect(5, 6, 113, 25));

    m_button->setBitmapUp(makeBitmap({60, 30}, UpColor));
    EXPECT_EQ(m_button->geometry(), QRect(5, 6, 60, 30));
    EXPECT_EQ(m_button->transparentColor(), Key);
}

TEST_F(StateButtonTest, OverBitmapSizesTheButtonOnlyWithoutUpBitmap)
{
    m_button->setBitmapOver(makeBitmap({30, 12}, OverColor));
    EXPECT_EQ(m_button->size(), QSize(30, 12));
    EXPECT_FALSE(m_button->hitTest(2, 5)) << "hit area from the over bitmap";

    m_button->setBitmapUp(makeBitmap({40, 20}, UpColor));
    m_button->setBitmapOver(makeBitmap({10, 10}, OverColor));
    EXPECT_EQ(m_button->size(), QSize(40, 20));
}

TEST_F(StateButtonTest, HitAreaIsTheOpaquePartOfTheUpBitmap)
{
    QImage up = makeBitmap({40, 20}, UpColor, QColor(0, 255, 0));
    up.setPixelColor(35, 5, QColor(0, 255, 0)); // a hole inside the opaque part
    m_button->setBitmapUp(up);
    // The other bitmaps have their own outline; only the up bitmap's counts.
    m_button->setBitmapDown(makeBitmap({40, 20}, DownColor, QColor(0, 0, 0)));

    const struct
    {
        QPoint point;
        bool hit;
    } cases[] = {
        {{0, 0}, false}, {{9, 19}, false}, {{10, 0}, true},  {{39, 19}, true},  {{35, 5}, false},
        {{34, 5}, true}, {{40, 5}, false}, {{-1, 5}, false}, {{10, 20}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(m_button->hitTest(c.point.x(), c.point.y()), c.hit) << c.point.x() << "," << c.point.y();
    EXPECT_EQ(m_button->transparentColor(), QColor(0, 255, 0));
}

TEST_F(StateButtonTest, MonochromeBitmapIsKeyedOnWhite)
{
    QImage mono(16, 8, QImage::Format_Mono);
    mono.setColor(0, qRgb(255, 255, 255));
    mono.setColor(1, qRgb(0, 0, 0));
    mono.fill(1);
    for (int y = 0; y < 8; ++y)
        mono.setPixel(0, y, 0);
    mono.setPixel(15, 0, 0);
    mono.setPixel(0, 7, 1); // black bottom-left pixel: still white is transparent
    m_button->setBitmapUp(mono);
    EXPECT_EQ(m_button->transparentColor(), QColor(Qt::white));
    EXPECT_FALSE(m_button->hitTest(15, 0));
    EXPECT_FALSE(m_button->hitTest(0, 3));
    EXPECT_TRUE(m_button->hitTest(5, 3));
    EXPECT_EQ(shownAt({15, 0}), Background);
    EXPECT_EQ(shownAt({5, 3}), QColor(Qt::black));
}

TEST_F(StateButtonTest, TransparentPixelsShowTheWindowAndOpaqueOnesTheBitmap)
{
    setFourBitmaps();
    EXPECT_EQ(shownAt(Opaque), UpColor);
    EXPECT_EQ(shownAt(Transparent), Background);
}

TEST_F(StateButtonTest, EachStateShowsItsBitmap)
{
    setFourBitmaps();

    moveTo(Opaque);
    EXPECT_TRUE(m_button->isMouseInside());
    EXPECT_EQ(shownAt(Opaque), OverColor);
    moveTo(Transparent);
    EXPECT_FALSE(m_button->isMouseInside());
    EXPECT_EQ(shownAt(Opaque), UpColor) << "over a transparent point the up bitmap shows";

    moveTo(Opaque);
    press(Opaque);
    EXPECT_EQ(m_button->state(), TStateButton::State::Down);
    EXPECT_EQ(shownAt(Opaque), DownColor);
    moveTo(Transparent);
    EXPECT_EQ(shownAt(Opaque), DownColor) << "the down bitmap stays while pressed";
    moveTo(Opaque);
    release(Opaque);
    EXPECT_EQ(shownAt(Opaque), OverColor);

    moveTo(Outside);
    EXPECT_FALSE(m_button->isMouseInside());
    EXPECT_EQ(shownAt(Opaque), UpColor);

    m_button->setEnabled(false);
    EXPECT_EQ(shownAt(Opaque), DisabledColor);
    moveTo(Opaque);
    EXPECT_EQ(shownAt(Opaque), DisabledColor);
    EXPECT_EQ(shownAt(Transparent), Background);
    m_button->setEnabled(true);
    EXPECT_EQ(m_button->state(), TStateButton::State::Up);
}

TEST_F(StateButtonTest, MissingStateBitmapsFallBackToTheUpBitmap)
{
    m_button->setBitmapUp(makeBitmap({40, 20}, UpColor));
    moveTo(Opaque);
    EXPECT_EQ(shownAt(Opaque), UpColor);
    press(Opaque);
    EXPECT_EQ(m_button->state(), TStateButton::State::Down);
    EXPECT_EQ(shownAt(Opaque), UpColor);
    release(Opaque);
    m_button->setEnabled(false);
    EXPECT_EQ(shownAt(Opaque), UpColor);
}

TEST_F(StateButtonTest, StateBitmapIsCutOrLeftTransparentToTheButtonSize)
{
    m_button->setBitmapUp(makeBitmap({40, 20}, UpColor));
    QImage big(60, 30, QImage::Format_RGB32);
    big.fill(DownColor);
    big.setPixelColor(0, 29, Key);
    m_button->setBitmapDown(big);
    m_button->setBitmapDisabled(makeBitmap({20, 10}, DisabledColor));

    press(Opaque);
    EXPECT_EQ(m_button->size(), QSize(40, 20));
    EXPECT_EQ(shownAt({39, 19}), DownColor);
    EXPECT_EQ(m_window.grab().toImage().pixelColor(m_button->geometry().topLeft() + QPoint(40, 10)),
              Background);
    release(Opaque);

    m_button->setEnabled(false);
    EXPECT_EQ(shownAt({15, 5}), DisabledColor);
    EXPECT_EQ(shownAt({30, 15}), Background) << "beyond the smaller bitmap";
}

TEST_F(StateButtonTest, ReleaseOverAnOpaquePointClicks)
{
    setFourBitmaps();
    QSignalSpy clicks(m_button, &TStateButton::OnClick);

    press(Opaque);
    release(Opaque);
    EXPECT_EQ(clicks.count(), 1);

    // Pressed on a transparent point, released on an opaque one.
    press(Transparent);
    EXPECT_EQ(m_button->state(), TStateButton::State::Up);
    release(Opaque);
    EXPECT_EQ(clicks.count(), 2);

    // Right button: no down state, but the release clicks.
    press(Opaque, Qt::RightButton);
    EXPECT_EQ(m_button->state(), TStateButton::State::Up);
    release(Opaque, Qt::RightButton);
    EXPECT_EQ(clicks.count(), 3);

    press(Opaque);
    release(Transparent);
    EXPECT_EQ(clicks.count(), 3) << "release over a transparent point";
}

TEST_F(StateButtonTest, MovingOutBeforeTheReleaseGivesNoClick)
{
    setFourBitmaps();
    QSignalSpy clicks(m_button, &TStateButton::OnClick);
    press(Opaque);
    moveTo(Outside);
    EXPECT_EQ(shownAt(Opaque), DownColor);
    release(Outside);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(m_button->state(), TStateButton::State::Up);
    EXPECT_EQ(shownAt(Opaque), UpColor);

    // Without any bitmap every point inside is a hit, but a release outside still is not.
    TStateButton bare(&m_window);
    bare.move(200, 100);
    bare.show();
    QSignalSpy bareClicks(&bare, &TStateButton::OnClick);
    press({10, 10}, Qt::LeftButton, &bare);
    release({80, 10}, Qt::LeftButton, &bare);
    EXPECT_EQ(bareClicks.count(), 0);
}

TEST_F(StateButtonTest, DisabledButtonDoesNotGoDownButStillClicks)
{
    setFourBitmaps();
    m_button->setEnabled(false);
    QSignalSpy clicks(m_button, &TStateButton::OnClick);
    press(Opaque);
    EXPECT_EQ(m_button->state(), TStateButton::State::Disabled);
    EXPECT_EQ(shownAt(Opaque), DisabledColor);
    release(Opaque);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(m_button->isEnabled());
    EXPECT_TRUE(m_button->QWidget::isEnabled()) << "the widget itself stays live";
}

TEST_F(StateButtonTest, DisablingWhilePressedLeavesTheDownState)
{
    setFourBitmaps();
    press(Opaque);
    m_button->setEnabled(false);
    EXPECT_EQ(m_button->state(), TStateButton::State::Disabled);
    QSignalSpy clicks(m_button, &TStateButton::OnClick);
    release(Opaque);
    EXPECT_EQ(m_button->state(), TStateButton::State::Disabled);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(StateButtonTest, DoubleClickGivesTwoClicks)
{
    setFourBitmaps();
    QSignalSpy clicks(m_button, &TStateButton::OnClick);
    QSignalSpy downs(m_button, &TStateButton::OnMouseDown);
    QTest::mouseDClick(m_window.windowHandle(), Qt::LeftButton, {}, toWindow(Opaque, nullptr));
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(downs.count(), 2);
}

TEST_F(StateButtonTest, MouseEventsAreRaisedBeforeTheButtonReacts)
{
    setFourBitmaps();
    QSignalSpy downs(m_button, &TStateButton::OnMouseDown);
    QSignalSpy moves(m_button, &TStateButton::OnMouseMove);
    QSignalSpy ups(m_button, &TStateButton::OnMouseUp);
    TStateButton::State stateAtUp = TStateButton::State::Disabled;
    QObject::connect(m_button, &TStateButton::OnMouseUp, m_button, [&] { stateAtUp = m_button->state(); });
    moveTo(Opaque);
    press(Opaque, Qt::RightButton);
    release(Opaque, Qt::RightButton);
    press(Opaque);
    release(Opaque);
    EXPECT_EQ(downs.count(), 2);
    EXPECT_EQ(moves.count(), 1);
    ASSERT_EQ(ups.count(), 2);
    EXPECT_EQ(ups.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(ups.at(1).at(2).toPoint(), Opaque);
    EXPECT_EQ(stateAtUp, TStateButton::State::Down);
}

TEST_F(StateButtonTest, SettingTheSameEnabledValueDoesNotRedraw)
{
    setFourBitmaps();
    QWidget marker(&m_window);
    marker.setGeometry(250, 150, 20, 20);
    marker.show();
    PaintCounter buttonPaints;
    PaintCounter markerPaints;
    m_button->installEventFilter(&buttonPaints);
    marker.installEventFilter(&markerPaints);
    ASSERT_TRUE(waitFor([&] { return buttonPaints.count > 0 && markerPaints.count > 0; }));

    // Sets `Enabled` and counts the button's paints up to the next paint of the marker: that
    // repaint flushes every pending update of the window, so any redraw the button had asked
    // for has happened by then.
    auto paintsAfterSetting = [&](bool enabled) {
        buttonPaints.count = 0;
        markerPaints.count = 0;
        m_button->setEnabled(enabled);
        marker.update();
        EXPECT_TRUE(waitFor([&] { return markerPaints.count > 0; }));
        return buttonPaints.count;
    };
    EXPECT_EQ(paintsAfterSetting(true), 0);
    EXPECT_GT(paintsAfterSetting(false), 0);
    EXPECT_EQ(paintsAfterSetting(false), 0);
    EXPECT_GT(paintsAfterSetting(true), 0);
}

TEST_F(StateButtonTest, CaptionIsCentredAndMovesOnePixelWhilePressed)
{
    QPalette palette = m_button->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_button->setPalette(palette);
    m_button->setCaption(QStringLiteral("Senden"));
    m_button->setBitmapUp(makeBitmap({80, 24}, QColor(0, 0, 0), Key));
    const QRect area(20, 0, 60, 24);

    const QImage up = m_button->grab().toImage();
    QRect ink;
    for (int y = 0; y < up.height(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(up.pixel(x, y)) > 128)
                ink |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.center().x(), 40, 3);
    EXPECT_NEAR(ink.center().y(), 12, 3);

    press({40, 12});
    const QImage down = m_button->grab().toImage();
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x)
            ASSERT_EQ(down.pixel(x + 1, y + 1), up.pixel(x, y)) << x << "," << y;
    }
    release({40, 12});
}

TEST_F(StateButtonTest, AcceleratorClicksOnlyWhileEnabled)
{
    setFourBitmaps();
    m_button->setCaption(QStringLiteral("&Los"));
    m_window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    QSignalSpy clicks(m_button, &TStateButton::OnClick);

    QTest::keyClick(&m_window, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    m_button->setEnabled(false);
    QTest::keyClick(&m_window, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(StateButtonTest, HintReachesTheWindowAsStatusTipWhileTheMouseIsOver)
{
    setFourBitmaps();
    m_button->setHint(QStringLiteral("Senden!"));
    TipSpy spy;
    m_window.installEventFilter(&spy);
    moveTo(Opaque);
    moveTo(Outside);
    EXPECT_EQ(spy.tips, QStringList({QStringLiteral("Senden!"), QString()}));
    EXPECT_TRUE(m_button->toolTip().isEmpty());
}

} // namespace

namespace {
TEST(KeyColorTest, AlphaChannelOfAPicturePlaysNoPart)
{
    // Old 32-bit bitmaps often carry 0 in their fourth byte; they are still fully opaque.
    QImage picture(4, 2, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 40, 40, 0));
    picture.setPixel(0, 1, qRgba(255, 0, 255, 255));
    picture.setPixel(3, 0, qRgba(255, 0, 255, 10));
    const QImage keyed = controls::keyedTransparent(picture);
    EXPECT_EQ(controls::keyColor(picture), qRgb(255, 0, 255));
    EXPECT_EQ(keyed.pixel(1, 0), qRgba(200, 40, 40, 255));
    EXPECT_EQ(qAlpha(keyed.pixel(0, 1)), 0);
    EXPECT_EQ(qAlpha(keyed.pixel(3, 0)), 0);
}
} // namespace
