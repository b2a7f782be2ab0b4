#include "controls/AccessibleControls.h"
#include "controls/StateButton.h"
#include "controls/UrlLblU.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

namespace {

QString accessibleText(QObject *object, QAccessible::Text kind)
{
    return QAccessible::queryAccessibleInterface(object)->text(kind);
}

TEST(AccessibleControlsTest, StateButtonIsAButtonWithItsOwnStateAndLiveHint)
{
    TStateButton button;
    button.setCaption(QStringLiteral("&Senden"));
    button.setHint(QStringLiteral("Es wurden noch keine Empfänger angegeben!!!"));
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(&button);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->role(), QAccessible::Button);
    EXPECT_EQ(access->text(QAccessible::Name), QStringLiteral("Senden")); // caption, no accelerator
    button.setAccessibleName(QStringLiteral("Nachricht senden"));
    EXPECT_EQ(access->text(QAccessible::Name), QStringLiteral("Nachricht senden"));
    button.setHint(QStringLiteral("Senden!"));
    EXPECT_EQ(access->text(QAccessible::Description), QStringLiteral("Senden!"));

    // The widget stays enabled for the mouse; the button's own flag is what a reader hears.
    button.setEnabled(false);
    EXPECT_TRUE(access->state().disabled);
    EXPECT_FALSE(access->state().focusable);
    button.setEnabled(true);
    EXPECT_FALSE(access->state().disabled);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(access->state().pressed);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(60, 60)); // outside: no click
    EXPECT_FALSE(access->state().pressed);

    // "Press" clicks after the request has been answered, as a mouse click would.
    QSignalSpy clicks(&button, &TStateButton::OnClick);
    access->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(waitFor([&] { return clicks.count() == 1; }));
}

TEST(AccessibleControlsTest, UrlLabelIsALinkToItsTarget)
{
    TUrlLabel label;
    label.setText(QStringLiteral("www.fernwald.example.org"));
    label.setGoURL(QStringLiteral("https://www.fernwald.example.org/"));
    label.setStatusTip(QStringLiteral("Fernwald Softwerkbau - Website"));
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(&label);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->role(), QAccessible::Link);
    EXPECT_EQ(access->text(QAccessible::Name), label.text());
    EXPECT_EQ(access->text(QAccessible::Description), label.statusTip());
    EXPECT_EQ(access->text(QAccessible::Value), label.goURL());
    EXPECT_EQ(access->actionInterface()->actionNames(),
              QStringList{QAccessibleActionInterface::pressAction()});
}

TEST(AccessibleControlsTest, DescribedControlsTakeNameHintAndNamedScrollBars)
{
    QTextEdit history;
    history.setStatusTip(QStringLiteral("Das sind die bisher empfangenen Nachrichten"));
    controls::describeControl(&history, QStringLiteral("Verlauf"));
    EXPECT_EQ(accessibleText(&history, QAccessible::Name), QStringLiteral("Verlauf"));
    EXPECT_EQ(accessibleText(&history, QAccessible::Description), history.statusTip());
    for (QScrollBar *bar : {history.verticalScrollBar(), history.horizontalScrollBar()})
        EXPECT_TRUE(accessibleText(bar, QAccessible::Name).startsWith(QStringLiteral("Verlauf ")))
            << bar->orientation();
}

} // namespace
