#include "platform/Application.h"

#include "platform/Dialogs.h"
#include "platform/Error.h"
#include "platform/Fonts.h"

#include <QStatusTipEvent>

#include <atomic>
#include <exception>

#if defined(__SANITIZE_THREAD__)
#define PD_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PD_TSAN 1
#endif
#endif

#ifdef PD_TSAN
extern "C" void AnnotateIgnoreReadsBegin(const char *file, int line);
extern "C" void AnnotateIgnoreReadsEnd(const char *file, int line);
#endif

namespace platform {

namespace {

// An event posted from another thread was made there and handed over under the event queue's
// lock inside Qt, which ThreadSanitizer cannot see; reading its type here is no race.
QEvent::Type eventType(const QEvent *event)
{
#ifdef PD_TSAN
    AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
    const QEvent::Type type = event->type();
    AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
    return type;
#else
    return event->type();
#endif
}

} // namespace

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    installProductFonts();
}

Application::~Application() = default;

Application *Application::instance()
{
    return qobject_cast<Application *>(QCoreApplication::instance());
}

void Application::setHint(const QString &hint)
{
    if (m_hint == hint)
        return;
    m_hint = hint;
    Q_EMIT OnHint();
}

namespace {
std::atomic<int> beeps{0};
} // namespace

void Application::beep()
{
    beeps.fetch_add(1, std::memory_order_relaxed);
    QApplication::beep();
}

int Application::beepCount()
{
    return beeps.load(std::memory_order_relaxed);
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    switch (eventType(event)) {
    case QEvent::ToolTip:
        // Hints appear in the status line only.
        event->ignore();
        return true;
    case QEvent::StatusTip:
        // Noted here once; the event still travels up to the window as usual.
        setHint(static_cast<QStatusTipEvent *>(event)->tip());
        break;
    default:
        break;
    }
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showCurrentException();
        return false;
    }
}

QString longHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void showCurrentException()
{
    QString text;
    try {
        throw;
    } catch (const Exception &error) {
        text = error.message();
    } catch (const std::exception &error) {
        text = QString::fromUtf8(error.what());
    } catch (...) {
        text = QStringLiteral("Unbekannter Fehler");
    }
    dialogs().error(text);
}

} // namespace platform
