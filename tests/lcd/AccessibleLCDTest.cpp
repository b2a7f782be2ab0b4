#include "lcd/LCDScreen.h"

#include <gtest/gtest.h>

#include <QAccessible>

namespace {

// A screen reader hears the panel as a status bar: what it shows now as its value, all of its
// lines as its description, without padding, empty lines or the codes that switch effects.
TEST(AccessibleLCDTest, PanelReadsAsStatusBarWithShownAndAllLines)
{
    TLCDScreen panel;
    panel.setNoOfLines(3);
    panel.setNoOfChars(12);
    panel.setLines({"", "  Plauderdeck",
                    "A\x0a"
                    "B\x0b"
                    "C",
                    "unten"});
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(&panel);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->role(), QAccessible::StatusBar);
    EXPECT_EQ(access->text(QAccessible::Value), QStringLiteral("Plauderdeck\nABC"));
    EXPECT_EQ(access->text(QAccessible::Description), QStringLiteral("Plauderdeck\nABC\nunten"));
    panel.setAccessibleDescription(QStringLiteral("Anleitung"));
    EXPECT_EQ(access->text(QAccessible::Description), QStringLiteral("Anleitung"));
}

} // namespace
