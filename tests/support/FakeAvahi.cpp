#include "support/FakeAvahi.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Avahi");
const QString kServer = QStringLiteral("org.freedesktop.Avahi.Server");
const QString kServer2 = QStringLiteral("org.freedesktop.Avahi.Server2");
const QString kEntryGroup = QStringLiteral("org.freedesktop.Avahi.EntryGroup");
const QString kBrowser = QStringLiteral("org.freedesktop.Avahi.ServiceBrowser");
const QString kUnknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
const QString kLimitsExceeded = QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded");
const QString kTimeout = QStringLiteral("org.freedesktop.Avahi.TimeoutError");

constexpr int kGroupUncommitted = 0;
constexpr int kGroupRegistering = 1;
constexpr int kGroupEstablished = 2;
constexpr int kGroupCollision = 3;

// "name" -> "name #2" -> "name #3"
QString alternative(const QString &name)
{
    static const QRegularExpression numbered(QStringLiteral("^(.*) #(\\d+)$"));
    const QRegularExpressionMatch match = numbered.match(name);
    if (match.hasMatch())
        return match.captured(1) + QStringLiteral(" #") + QString::number(match.captured(2).toInt() + 1);
    return name + QStringLiteral(" #2");
}

} // namespace

FakeAvahi::FakeAvahi(const QDBusConnection &bus) : m_bus(bus)
{
    m_clock.start();
    qDBusRegisterMetaType<QByteArrayList>();
}

FakeAvahi::~FakeAvahi()
{
    disappear();
}

bool FakeAvahi::appear()
{
    m_state = kRunning;
    m_registered = m_bus.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath) &&
                   m_bus.registerService(kService);
    return m_registered;
}

void FakeAvahi::disappear()
{
    if (!m_registered)
        return;
    m_registered = false;
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
    m_groups.clear();
    m_browsers.clear();
}

void FakeAvahi::addRemote(const Remote &remote)
{
    m_remotes.append(remote);
    tellBrowsers(true, remote.name, remote.interface, remote.flags);
}

void FakeAvahi::removeRemote(const QString &name, int interface)
{
    for (qsizetype i = 0; i < m_remotes.size(); ++i) {
        if (m_remotes.at(i).name == name && m_remotes.at(i).interface == interface) {
            const Remote gone = m_remotes.takeAt(i);
            tellBrowsers(false, gone.name, gone.interface, gone.flags);
            return;
        }
    }
}

void FakeAvahi::setServerState(int state)
{
    m_state = state;
    signal({}, QStringLiteral("/"), kServer, QStringLiteral("StateChanged"), {state, QString()});
}

QList<FakeAvahi::Service> FakeAvahi::established() const
{
    QList<Service> services;
    for (const Group &g : m_groups) {
        if (g.state == kGroupEstablished)
            services += g.services;
    }
    return services;
}

QString FakeAvahi::introspect(const QString &) const
{
    return {};
}

bool FakeAvahi::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    if (refusedOrIgnored(message))
        return true;
    if (message.path() == QLatin1String("/") &&
        (message.interface() == kServer || message.interface() == kServer2))
        return handleServer(message);
    if (message.interface() == kEntryGroup)
        return handleGroup(message);
    if (message.interface() == kBrowser)
        return handleBrowser(message);
    fail(message, kUnknownMethod);
    return true;
}

bool FakeAvahi::refusedOrIgnored(const QDBusMessage &message)
{
    const auto it = m_refusals.find(message.member());
    if (it == m_refusals.end() || it->times <= 0)
        return false;
    --it->times;
    if (it->answered)
        fail(message, kLimitsExceeded);
    return true;
}

void FakeAvahi::answerUnresolvedLater(const QDBusMessage &call)
{
    if (m_unresolvedDelayMs == 0) {
        fail(call, kTimeout);
        return;
    }
    m_mostUnanswered = std::max(m_mostUnanswered, ++m_unanswered);
    if (m_unresolvedDelayMs < 0)
        return;
    QTimer::singleShot(m_unresolvedDelayMs, this, [this, call] {
        --m_unanswered;
        fail(call, kTimeout);
    });
}

bool FakeAvahi::handleServer(const QDBusMessage &message)
{
    const QString method = message.member();
    const QList<QVariant> args = message.arguments();
    if (method == QLatin1String("GetState")) {
        reply(message, {m_state});
    } else if (method == QLatin1String("GetAlternativeServiceName") && args.size() == 1) {
        reply(message, {alternative(args.at(0).toString())});
    } else if (method == QLatin1String("EntryGroupNew")) {
        Group g{message.service(),
                QStringLiteral("/Client1/EntryGroup%1").arg(++m_nextPath),
                {},
                kGroupUncommitted};
        m_groups.append(g);
        reply(message, {QVariant::fromValue(QDBusObjectPath(g.path))});
    } else if ((method == QLatin1String("ServiceBrowserNew") ||
                (method == QLatin1String("ServiceBrowserPrepare") && message.interface() == kServer2 &&
                 m_prepare)) &&
               args.size() == 5) {
        Browser b{message.service(), QStringLiteral("/Client1/ServiceBrowser%1").arg(++m_nextPath), false};
        m_browsers.append(b);
        // A browser made by ServiceBrowserNew starts at once and may report what it knows before
        // its creator has the reply; the daemon behaves the same.
        if (method == QLatin1String("ServiceBrowserNew"))
            startBrowser(m_browsers.last());
        reply(message, {QVariant::fromValue(QDBusObjectPath(b.path))});
    } else if (method == QLatin1String("ResolveService") && args.size() == 7) {
        if (m_unanswered >= m_room) {
            ++m_refusedForRoom;
            fail(message, kLimitsExceeded);
            return true;
        }
        const QString name = args.at(2).toString();
        m_asked.append({name, m_clock.elapsed()});
        for (const Remote &r : std::as_const(m_remotes)) {
            if (r.name == name && r.interface == args.at(0).toInt()) {
                if (!r.resolves)
                    answerUnresolvedLater(message);
                else
                    reply(message, {r.interface, 0, r.name, args.at(3), args.at(4), r.host, 0, r.address,
                                    QVariant::fromValue(r.port), QVariant::fromValue(r.txt), r.flags});
                return true;
            }
        }
        for (const Group &g : std::as_const(m_groups)) {
            for (const Service &s : g.services) {
                if (s.name == name && g.state == kGroupEstablished) {
                    reply(message, {args.at(0), 0, s.name, args.at(3), args.at(4),
                                    QString::fromLatin1(kLocalHost), 0, QString::fromLatin1(kLocalAddress),
                                    QVariant::fromValue(s.port), QVariant::fromValue(s.txt), kLocal});
                    return true;
                }
            }
        }
        fail(message, kTimeout);
    } else {
        fail(message, kUnknownMethod);
    }
    return true;
}

bool FakeAvahi::handleGroup(const QDBusMessage &message)
{
    Group *g = group(message.path());
    if (!g) {
        fail(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
        return true;
    }
    const QString method = message.member();
    const QList<QVariant> args = message.arguments();
    if (method == QLatin1String("AddService") && args.size() == 9) {
        const QString name = args.at(3).toString();
        if (nameTaken(name)) {
            fail(message, QStringLiteral("org.freedesktop.Avahi.CollisionError"));
            return true;
        }
        g->services.append(
            {name, static_cast<quint16>(args.at(7).toUInt()), qdbus_cast<QByteArrayList>(args.at(8))});
        reply(message);
    } else if (method == QLatin1String("Commit")) {
        reply(message);
        setGroupState(*g, kGroupRegistering);
        bool clash = false;
        for (const Service &s : std::as_const(g->services))
            clash = clash || m_heldElsewhere.contains(s.name);
        setGroupState(*g, clash ? kGroupCollision : kGroupEstablished);
    } else if (method == QLatin1String("Reset") || method == QLatin1String("Free")) {
        reply(message);
        setGroupState(*g, kGroupUncommitted);
        g->services.clear();
        if (method == QLatin1String("Free"))
            m_groups.removeIf([&](const Group &each) { return each.path == message.path(); });
    } else {
        fail(message, kUnknownMethod);
    }
    return true;
}

bool FakeAvahi::handleBrowser(const QDBusMessage &message)
{
    const auto it = std::find_if(m_browsers.begin(), m_browsers.end(),
                                 [&](const Browser &b) { return b.path == message.path(); });
    if (it == m_browsers.end()) {
        fail(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
        return true;
    }
    if (message.member() == QLatin1String("Start")) {
        reply(message);
        startBrowser(*it);
    } else if (message.member() == QLatin1String("Free")) {
        reply(message);
        m_browsers.erase(it);
    } else {
        fail(message, kUnknownMethod);
    }
    return true;
}

void FakeAvahi::reply(const QDBusMessage &call, const QVariantList &arguments)
{
    m_bus.send(call.createReply(arguments));
}

void FakeAvahi::fail(const QDBusMessage &call, const QString &error)
{
    m_bus.send(call.createErrorReply(error, error));
}

void FakeAvahi::signal(const QString &to, const QString &path, const QString &interface, const QString &name,
                       const QVariantList &arguments)
{
    QDBusMessage message = to.isEmpty() ? QDBusMessage::createSignal(path, interface, name)
                                        : QDBusMessage::createTargetedSignal(to, path, interface, name);
    message.setArguments(arguments);
    m_bus.send(message);
}

void FakeAvahi::setGroupState(Group &group, int state)
{
    if (group.state == state)
        return;
    const bool wasUp = group.state == kGroupEstablished;
    group.state = state;
    signal(group.owner, group.path, kEntryGroup, QStringLiteral("StateChanged"), {state, QString()});
    if (wasUp != (state == kGroupEstablished)) {
        for (const Service &s : std::as_const(group.services))
            tellBrowsers(!wasUp, s.name, 1, kLocal, group.owner);
    }
}

void FakeAvahi::tellBrowsers(bool appeared, const QString &name, int interface, uint flags,
                             const QString &groupOwner)
{
    for (const Browser &b : std::as_const(m_browsers)) {
        if (b.started)
            tellBrowser(b, appeared, name, interface,
                        flags | (!groupOwner.isEmpty() && groupOwner == b.owner ? kOurOwn : 0u));
    }
}

void FakeAvahi::tellBrowser(const Browser &browser, bool appeared, const QString &name, int interface,
                            uint flags)
{
    signal(browser.owner, browser.path, kBrowser,
           appeared ? QStringLiteral("ItemNew") : QStringLiteral("ItemRemove"),
           {interface, 0, name, QStringLiteral("_plauderdeck._tcp"), QStringLiteral("local"), flags});
}

void FakeAvahi::startBrowser(Browser &browser)
{
    browser.started = true;
    for (const Remote &r : std::as_const(m_remotes))
        tellBrowser(browser, true, r.name, r.interface, r.flags);
    for (const Group &g : std::as_const(m_groups)) {
        if (g.state != kGroupEstablished)
            continue;
        for (const Service &s : g.services)
            tellBrowser(browser, true, s.name, 1, kLocal | (g.owner == browser.owner ? kOurOwn : 0u));
    }
    signal(browser.owner, browser.path, kBrowser, QStringLiteral("AllForNow"), {});
}

FakeAvahi::Group *FakeAvahi::group(const QString &path)
{
    for (Group &g : m_groups) {
        if (g.path == path)
            return &g;
    }
    return nullptr;
}

bool FakeAvahi::nameTaken(const QString &name) const
{
    for (const Group &g : m_groups) {
        for (const Service &s : g.services) {
            if (s.name == name)
                return true;
        }
    }
    return false;
}
