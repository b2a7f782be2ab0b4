#include "platform/gui/Application.h"

#include "platform/core/Error.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Fonts.h"

#include <QHelpEvent>
#include <QLibraryInfo>
#include <QStatusTipEvent>
#include <QToolTip>
#include <QWidget>

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

// The widget property that marks a control whose hint shows in a hint window.
constexpr char kShowHint[] = "ShowHint";

// Shows the short part of `control`'s hint at the pointer; the bubble goes when the pointer
// leaves the control.
void showHintWindow(QWidget *control, const QHelpEvent *help)
{
    const QString text = shortHint(control->statusTip());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, control, control->rect());
}

} // namespace

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    installProgramFonts();
    // Without the translations (package qt6-translations-l10n) the toolkit's texts stay English;
    // the program still works.
    m_toolkitGerman = m_toolkitTexts.load(QStringLiteral("qtbase_de"),
                                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                      installTranslator(&m_toolkitTexts);
    if (!m_toolkitGerman)
        qWarning("The toolkit's German texts (qtbase_de.qm) are missing: its menus and dialogs speak English.");
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
        // Hints appear in the status line, and in a bubble only for a control that asks for one:
        // the toolkit's own bubbles would show every control's hint a second time.
        if (auto *control = qobject_cast<QWidget *>(receiver); control && showsHint(control))
            showHintWindow(control, static_cast<QHelpEvent *>(event));
        else
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

QString shortHint(const QString &hint)
{
    return hint.section(QLatin1Char('|'), 0, 0);
}

void setShowHint(QWidget *control, bool show)
{
    control->setProperty(kShowHint, show);
}

bool showsHint(const QWidget *control)
{
    return control->property(kShowHint).toBool();
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
