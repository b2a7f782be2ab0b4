#include "app/MessagerQ.h"
#include "net/MsgTransport.h"
#include "platform/core/Registry.h"
#include "platform/core/Text.h"
#include "support/FakeAttention.h"
#include "support/FakeDialogs.h"
#include "support/TempSettings.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

namespace {

// A line asks for attention only when the user may not see it.
TEST(LineAttentionTest, ALineAsksForAttentionOnlyWhenTheWindowIsNotInFront)
{
    FakeDialogs boxes;
    TempSettings settings;
    FakeAttention attention;
    platform::setComputerNameOverride(QStringLiteral("Küche"));
    TForm1::Setup setup;
    setup.port = 0;
    setup.listenAddress = "127.0.0.1";
    setup.randomSeed = 1;
    TForm1 form(setup);
    QWidget other;

    enum class Window { Active, Behind, Minimised };
    struct Case
    {
        const char *name;
        Window window;
        QByteArray from;
        QByteArray msg;
        bool asks;
    };
    const QList<Case> cases{
        {"active window", Window::Active, "Dachboden", "0000000000hallo", false},
        {"another window in front", Window::Behind, "Dachboden", "0000000000Grüß dich", true},
        {"minimised", Window::Minimised, "Dachboden", "0000000001Dachboden lacht.", true},
        {"own echo", Window::Behind, platform::toWindows1252(QStringLiteral("Küche")), "0000000000hallo",
         false},
        {"line not shown", Window::Behind, "Dachboden", "00x0000000hallo", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        attention.clear();
        form.showNormal();
        QWidget *const front = c.window == Window::Active ? static_cast<QWidget *>(&form) : &other;
        if (c.window == Window::Behind)
            other.show();
        front->activateWindow();
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == front; }));
        if (c.window == Window::Minimised)
            form.showMinimized();

        form.session().MessageGetterMSG(form.session().messageGetter(), c.from, c.msg);
        const QString text = platform::fromWindows1252(c.msg.mid(10));
        QList<FakeAttention::Request> expected;
        if (c.asks)
            expected.append({&form, QStringLiteral("Dachboden"), text});
        EXPECT_EQ(attention.requests(), expected);
    }
    platform::clearComputerNameOverride();
}

} // namespace
