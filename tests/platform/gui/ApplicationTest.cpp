#include "platform/core/Error.h"
#include "platform/gui/Application.h"
#include "platform/gui/Fonts.h"
#include "platform/gui/Shell.h"
#include "support/FakeDialogs.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>
#include <QToolTip>

#include <stdexcept>
#include <string>

namespace {

// Throws from its event handler for every posted user event, as a handler with an uncaught
// error does.
class Thrower : public QObject
{
public:
    int handled = 0;
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        ++handled;
        if (handled == 1)
            throw platform::Exception(QStringLiteral("Konnte Daten für 'OwnName' nicht setzen"));
        if (handled == 2)
            throw std::runtime_error("kaputt");
        return true;
    }
};

} // namespace

TEST(Application, ShowsErrorsThatEscapeAHandlerAndKeepsRunning)
{
    FakeDialogs fake;
    Thrower thrower;
    for (int i = 0; i < 3; ++i)
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&thrower, QEvent::User);
    EXPECT_EQ(thrower.handled, 3);

    // Also from a timer, the way most handlers run.
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &thrower,
                     [] { throw platform::Exception(QStringLiteral("Zeit")); });
    timer.start(0);
    ASSERT_TRUE(waitFor([&] { return fake.boxes().size() == 3; }));

    ASSERT_EQ(fake.boxes().size(), 3);
    EXPECT_EQ(fake.boxes()[0].kind, platform::DialogKind::Error);
    EXPECT_EQ(fake.boxes()[0].text, QStringLiteral("Konnte Daten für 'OwnName' nicht setzen"));
    EXPECT_EQ(fake.boxes()[1].text, QStringLiteral("kaputt"));
    EXPECT_EQ(fake.boxes()[2].text, QStringLiteral("Zeit"));
}

TEST(Application, HintFollowsTheControlUnderThePointer)
{
    auto *app = platform::Application::instance();
    ASSERT_NE(app, nullptr);
    QWidget window;
    auto *withHint = new QLabel(&window);
    withHint->setStatusTip(QStringLiteral("kurz|Hier die Nachricht eingeben"));
    auto *without = new QLabel(&window);
    window.show();

    QSignalSpy hints(app, &platform::Application::OnHint);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(withHint, &enter);
    EXPECT_EQ(app->hint(), QStringLiteral("kurz|Hier die Nachricht eingeben"));
    EXPECT_EQ(platform::longHint(app->hint()), QStringLiteral("Hier die Nachricht eingeben"));
    EXPECT_EQ(hints.count(), 1);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(withHint, &leave);
    QCoreApplication::sendEvent(without, &enter);
    EXPECT_EQ(app->hint(), QString());
    EXPECT_EQ(hints.count(), 2);

    // (hint, long part, short part)
    const std::tuple<QString, QString, QString> parts[] = {
        {QStringLiteral("ganz"), QStringLiteral("ganz"), QStringLiteral("ganz")},
        {QStringLiteral("a|b|c"), QStringLiteral("b|c"), QStringLiteral("a")},
        {QStringLiteral("|lang"), QStringLiteral("lang"), QString()},
    };
    for (const auto &[hint, longPart, shortPart] : parts) {
        EXPECT_EQ(platform::longHint(hint), longPart) << hint.toStdString();
        EXPECT_EQ(platform::shortHint(hint), shortPart) << hint.toStdString();
    }
}

TEST(Application, OnlyAControlThatShowsItsHintGetsABubble)
{
    const struct
    {
        const char *name;
        const char *hint;
        const char *toolTip;
        bool showHint;
        const char *bubble; // empty: none shows
    } cases[] = {
        {"hint for the status line only", "kurz|lang", "Blase", false, ""},
        {"shown hint", "ACCESS TO INFORMATION", "", true, "ACCESS TO INFORMATION"},
        {"shown hint, short part", "kurz|lang", "Blase", true, "kurz"},
        {"shown, but no hint", "", "Blase", true, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QToolTip::hideText();
        ASSERT_TRUE(waitFor([] { return !QToolTip::isVisible(); }));
        QLabel control;
        control.setStatusTip(QString::fromUtf8(c.hint));
        control.setToolTip(QString::fromUtf8(c.toolTip));
        platform::setShowHint(&control, c.showHint);
        control.show();
        QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), control.mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(&control, &help);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string(), c.bubble);
    }
    QToolTip::hideText();
}

TEST(Application, WindowsDefaultFontMapsToAnInstalledFamilyAtElevenPixels)
{
    const QFontInfo info(platform::programFont());
    EXPECT_EQ(info.family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(info.pixelSize(), 11);
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), QStringLiteral("DejaVu Sans"));
}

TEST(Shell, ClipboardTextRoundTrips)
{
    platform::setClipboardText(QStringLiteral("Grüße an 192.168.0.7"));
    EXPECT_EQ(platform::clipboardText(), QStringLiteral("Grüße an 192.168.0.7"));
}
