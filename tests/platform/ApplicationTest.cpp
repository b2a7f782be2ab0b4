#include "platform/Application.h"
#include "platform/Error.h"
#include "platform/Fonts.h"
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
    QObject::connect(&timer, &QTimer::timeout, &thrower, [] { throw platform::Exception(QStringLiteral("Zeit")); });
    timer.start(0);
    ASSERT_TRUE(waitFor([&] { return fake.boxes().size() == 3; }));

    ASSERT_EQ(fake.boxes().size(), 3);
    EXPECT_EQ(fake.boxes()[0].kind, platform::DialogKind::Error);
    EXPECT_EQ(fake.boxes()[0].text, QStringLiteral("Konnte Daten für 'OwnName' nicht setzen"));
    EXPECT_EQ(fake.boxes()[1].text, QStringLiteral("kaputt"));
    EXPECT_EQ(fake.boxes()[2].text, QStringLiteral("Zeit"));
}

TEST(Application, HintFollowsTheControlUnderThePointerAndNoBubbleShows)
{
    auto *app = platform::Application::instance();
    ASSERT_NE(app, nullptr);
    QWidget window;
    auto *withHint = new QLabel(&window);
    withHint->setStatusTip(QStringLiteral("kurz|Hier die Nachricht eingeben"));
    withHint->setToolTip(QStringLiteral("Blase"));
    auto *without = new QLabel(&window);
    window.show();

    QSignalSpy hints(app, &platform::Application::OnHint);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(withHint, &enter);
    EXPECT_EQ(app->hint(), QStringLiteral("kurz|Hier die Nachricht eingeben"));
    EXPECT_EQ(platform::longHint(app->hint()), QStringLiteral("Hier die Nachricht eingeben"));
    EXPECT_EQ(hints.count(), 1);

    QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), withHint->mapToGlobal(QPoint(1, 1)));
    QCoreApplication::sendEvent(withHint, &help);
    EXPECT_FALSE(QToolTip::isVisible());

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(withHint, &leave);
    QCoreApplication::sendEvent(without, &enter);
    EXPECT_EQ(app->hint(), QString());
    EXPECT_EQ(hints.count(), 2);

    EXPECT_EQ(platform::longHint(QStringLiteral("ganz")), QStringLiteral("ganz"));
    EXPECT_EQ(platform::longHint(QStringLiteral("a|b|c")), QStringLiteral("b|c"));
}

TEST(Application, ProductFontMapsToAnInstalledFamilyAtElevenPixels)
{
    const QFontInfo info(platform::productFont());
    EXPECT_EQ(info.family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(info.pixelSize(), 11);
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), QStringLiteral("DejaVu Sans"));
}
