#include "platform/gui/Attention.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>
#include <QWidget>

#include <utility>

namespace platform {

namespace {

Attention *g_attention = nullptr;

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// How long a notification stays up, in ms.
constexpr int kExpireMs = 8000;

} // namespace

void DesktopAttention::requestAttention(QWidget *window, const QString &title, const QString &text)
{
    if (window)
        QApplication::alert(window);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    // Lets the desktop show the program's name and icon and group its notifications.
    const QString entry = QGuiApplication::desktopFileName();
    hints.insert(QStringLiteral("desktop-entry"), entry);
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    // Notification servers may read the body as markup; a chat line is plain text.
    notify << QApplication::applicationDisplayName() << m_lastNotification << entry << title.toHtmlEscaped()
           << text.toHtmlEscaped() << QStringList() << hints << kExpireMs;
    // Asynchronous, so a desktop without the service never holds up the chat window. A failed
    // call (no service) is simply not answered with an id.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify), qApp);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, qApp, [this, watcher] {
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isValid())
            m_lastNotification = reply.value();
        watcher->deleteLater();
    });
}

Attention &attention()
{
    static DesktopAttention desktop;
    return g_attention ? *g_attention : desktop;
}

Attention *setAttention(Attention *attention)
{
    return std::exchange(g_attention, attention);
}

} // namespace platform
