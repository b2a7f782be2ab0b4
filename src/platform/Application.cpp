#include "platform/Application.h"

#include "platform/Dialogs.h"
#include "platform/Error.h"
#include "platform/Fonts.h"

#include <QStatusTipEvent>

#include <exception>

namespace platform {

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

void Application::beep()
{
    QApplication::beep();
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ToolTip:
        // Hints appear in the status line only.
        event->ignore();
        return true;
    case QEvent::StatusTip:
        setHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
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
