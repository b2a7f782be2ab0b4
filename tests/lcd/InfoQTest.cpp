#include "lcd/InfoQ.h"
#include "controls/UrlLblU.h"
#include "lcd/LCDScreen.h"

#include "Version.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolTip>

namespace {

QByteArray padded(const QByteArray &text)
{
    QByteArray line(text);
    return line.isEmpty() ? line : line.leftJustified(31, ' ');
}

TEST(InfoWindow, FirstDisplayAndScrolling)
{
    TFormInfo info;
    TLCDScreen *panel = info.LEDInfo;
    EXPECT_EQ(info.windowTitle(), QStringLiteral("Plauderdeck - Info"));
    EXPECT_EQ(info.size(), QSize(422, 274));
    EXPECT_EQ(panel->geometry(), QRect(21, 16, 379, 223));
    EXPECT_FALSE(panel->animationEnabled());
    ASSERT_EQ(TFormInfo::infoLines().size(), 58);
    for (const QByteArray &line : TFormInfo::infoLines())
        EXPECT_LE(line.size(), 31) << line.constData();

    const QList<QByteArray> first = panel->displayLines();
    EXPECT_EQ(first.mid(0, 4), (QList<QByteArray>{"", "", "", padded(QByteArray("Plauderdeck ") + kProgramVersion)}));

    panel->ExecuteLine();
    EXPECT_EQ(panel->displayLines().mid(0, 3), (QList<QByteArray>{"", "", padded(QByteArray("Plauderdeck ") + kProgramVersion)}));
    for (int tick = 1; tick < 58; ++tick)
        panel->ExecuteLine();
    EXPECT_EQ(panel->displayLines(), first);
    EXPECT_TRUE(info.LCDAnimator1->currentLine() == 0);
}

TEST(InfoWindow, PanelColours)
{
    TFormInfo info;
    const QImage frame = info.LEDInfo->renderFrame();
    EXPECT_EQ(QColor(frame.pixel(0, 0)), QColor(128, 128, 128));
    EXPECT_EQ(QColor(frame.pixel(2, 2)), QColor(Qt::black));
    // Row 4 shows "Plauderdeck": the P's top-left dot is lit, the dot right of its stem unlit.
    const int x = 4 + 2;          // past frame, border space and the cell's left border dot
    const int y = 4 + 3 * 18 + 2; // fourth row, past the cell's top border dot
    EXPECT_EQ(QColor(frame.pixel(x, y)), QColor(254, 254, 0));
    EXPECT_EQ(QColor(frame.pixel(x + 2, y + 2)), QColor(96, 128, 0));
    EXPECT_EQ(QColor(frame.pixel(x - 2, y)), QColor(96, 128, 0));
}

TEST(InfoWindow, TheLinkShowsItsHintInABubble)
{
    TFormInfo info;
    info.show();
    TUrlLabel *link = info.UrlLabelFWS;
    QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), link->mapToGlobal(QPoint(1, 1)));
    QCoreApplication::sendEvent(link, &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Fernwald Softwerkbau - Website"));
    QToolTip::hideText();
}

TEST(InfoWindow, EscEnterAndTheCloseLabelClose)
{
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_A}) {
        QPointer<TFormInfo> info = new TFormInfo;
        info->show();
        QTest::keyClick(info, key);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(info.isNull(), key != Qt::Key_A) << key;
        delete info;
    }

    QPointer<TFormInfo> info = new TFormInfo;
    info->show();
    info->LEDInfo->setAnimationEnabled(true);
    TLCDScreen *panel = info->LEDInfo;
    QTest::mouseClick(info->LabelClose, Qt::LeftButton);
    EXPECT_FALSE(panel->animationEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(info.isNull());
}

TEST(InfoWindow, EveryOpeningStartsAfresh)
{
    QWidget mainWindow;
    mainWindow.show();
    QList<QList<QByteArray>> firstDisplays;
    for (int opening = 0; opening < 2; ++opening) {
        QTimer::singleShot(0, [&] {
            TFormInfo *info = nullptr;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *candidate = qobject_cast<TFormInfo *>(widget); candidate && candidate->isVisible())
                    info = candidate;
            }
            ASSERT_NE(info, nullptr);
            EXPECT_TRUE(info->LEDInfo->animationEnabled());
            firstDisplays << info->LEDInfo->displayLines();
            info->LEDInfo->ExecuteLine();
            QTest::keyClick(info, Qt::Key_Escape);
        });
        TFormInfo::execute(&mainWindow);
    }
    ASSERT_EQ(firstDisplays.size(), 2);
    EXPECT_EQ(firstDisplays.at(0), firstDisplays.at(1));
}

} // namespace
