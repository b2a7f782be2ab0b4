#include "discovery/AvahiPeerDiscovery.h"

#include "discovery/BusProbe.h"
#include "discovery/ServiceRecord.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <utility>

namespace discovery {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Avahi");
const QString kServerPath = QStringLiteral("/");
const QString kServer = QStringLiteral("org.freedesktop.Avahi.Server");
const QString kServer2 = QStringLiteral("org.freedesktop.Avahi.Server2");
const QString kEntryGroup = QStringLiteral("org.freedesktop.Avahi.EntryGroup");
const QString kBrowser = QStringLiteral("org.freedesktop.Avahi.ServiceBrowser");
const QString kCollisionError = QStringLiteral("org.freedesktop.Avahi.CollisionError");

// Avahi's numbers for "every interface" and "every protocol", and for IPv4 (the chat's).
constexpr int kUnspecified = -1;
constexpr int kIPv4 = 0;

// Server states
constexpr int kServerRunning = 2;
// Entry group states
constexpr int kGroupEstablished = 2;
constexpr int kGroupCollision = 3;
constexpr int kGroupFailure = 4;
// Lookup result flags: registered on this computer, registered by this connection.
constexpr uint kResultLocal = 8;
constexpr uint kResultOurOwn = 16;

// Resolves asked at a time: as many as the system bus lets a client wait for (128 replies),
// less a few for the announcement and the browser. A name that never resolves holds its place
// until the daemon gives up on it, about six seconds later, so the more places the sooner a
// flood of such names gives way; each free place goes in turn to the newest untried name, the
// oldest one and one that is due for another try.
constexpr int kMaxResolving = 96;
// The longest pause before a failed request goes out again.
constexpr int kMaxRetryDelayMs = 60 * 1000;
// Names followed at most. Beyond this a flood can only displace names that have failed.
constexpr qsizetype kMaxFound = 8192;

QString serviceType()
{
    return QString::fromLatin1(ServiceRecord::kType);
}

} // namespace

AvahiPeerDiscovery::AvahiPeerDiscovery(const QDBusConnection &bus, const QString &version, quint16 port,
                                       QObject *parent)
    : PeerDiscovery(parent), m_bus(bus), m_version(version), m_port(port)
{
    setUp();
    // Queued, so that whoever made this object has connected to it by then.
    QMetaObject::invokeMethod(this, &AvahiPeerDiscovery::start, Qt::QueuedConnection);
}

AvahiPeerDiscovery::AvahiPeerDiscovery(const QString &version, quint16 port, QObject *parent, int busLimitMs)
    : PeerDiscovery(parent), m_bus(QString()), m_version(version), m_port(port), m_busLimitMs(busLimitMs)
{
    setUp();
    m_busCheck.setInterval(2000);
    connect(&m_busCheck, &QTimer::timeout, this, [this] {
        if (!m_bus.isConnected())
            onBusLost();
    });
    m_reconnect.setSingleShot(true);
    connect(&m_reconnect, &QTimer::timeout, this, &AvahiPeerDiscovery::connectToSystemBus);
    connectToSystemBus();
}

void AvahiPeerDiscovery::setUp()
{
    // TXT records travel as arrays of byte arrays.
    qDBusRegisterMetaType<QByteArrayList>();
    m_clock.start();
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &AvahiPeerDiscovery::resolveWhatIsDue);
    m_publishTimer.setSingleShot(true);
    connect(&m_publishTimer, &QTimer::timeout, this, &AvahiPeerDiscovery::publish);
}

// On a thread of its own: even the handshake with a bus that hangs never holds up the caller,
// and a bus that does not answer in time is not handed to Qt at all (see busAnswers).
void AvahiPeerDiscovery::connectToSystemBus()
{
    static std::atomic<int> connections = 0;
    const QString name = QStringLiteral("plauderdeck-discovery-%1").arg(++connections);
    auto bus = std::make_shared<QDBusConnection>(QString());
    QThread *thread = QThread::create([bus, name, limit = m_busLimitMs] {
        const QString address = systemBusAddress();
        if (busAnswers(address, limit))
            *bus = QDBusConnection::connectToBus(address, name);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, bus, name] {
        if (!bus->isConnected()) {
            QDBusConnection::disconnectFromBus(name);
            setAvailable(false);
            m_reconnect.start(retryDelay(++m_busFailures));
            return;
        }
        m_busFailures = 0;
        m_ownConnection = name;
        m_bus = *bus;
        m_busCheck.start();
        start();
    });
    thread->start();
}

// The bus went away (restarted, or the system is shutting down): what was found is gone, and
// a new connection is made once the bus answers again, which announces this copy again.
void AvahiPeerDiscovery::onBusLost()
{
    m_busCheck.stop();
    reset();
    setAvailable(false);
    delete m_watcher;
    m_bus = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(std::exchange(m_ownConnection, {}));
    m_reconnect.start(retryDelay(++m_busFailures));
}

AvahiPeerDiscovery::~AvahiPeerDiscovery()
{
    // Nobody waits for these answers. The daemon also drops everything of a connection that
    // closes, so a lost message costs nothing.
    if (!m_owner.isEmpty()) {
        if (!m_groupPath.isEmpty())
            m_bus.send(
                QDBusMessage::createMethodCall(kService, m_groupPath, kEntryGroup, QStringLiteral("Free")));
        if (!m_browserPath.isEmpty())
            m_bus.send(
                QDBusMessage::createMethodCall(kService, m_browserPath, kBrowser, QStringLiteral("Free")));
    }
    if (!m_ownConnection.isEmpty())
        QDBusConnection::disconnectFromBus(m_ownConnection);
}

void AvahiPeerDiscovery::announce(const QString &chatName, const QString &computerName)
{
    if (m_wanted && chatName == m_chatName && computerName == m_computerName)
        return;
    m_wanted = true;
    m_publishFailures = 0;
    m_chatName = chatName;
    m_computerName = computerName;
    m_currentName = ServiceRecord::instanceName(chatName, computerName);
    publish();
}

void AvahiPeerDiscovery::rename(const QString &chatName)
{
    if (!m_wanted || chatName == m_chatName)
        return;
    announce(chatName, m_computerName);
}

void AvahiPeerDiscovery::withdraw()
{
    if (!m_wanted)
        return;
    m_wanted = false;
    ++m_attempt;
    m_committed = false;
    m_announcedName.clear();
    m_publishTimer.stop();
    // The group stays for a later announcement; emptied, it tells the network goodbye.
    if (!m_groupPath.isEmpty())
        call(m_groupPath, kEntryGroup, QStringLiteral("Reset"), {});
}

QList<Peer> AvahiPeerDiscovery::peers() const
{
    return m_peers;
}

bool AvahiPeerDiscovery::isAvailable() const
{
    return m_available;
}

void AvahiPeerDiscovery::start()
{
    if (!m_bus.isConnected()) {
        setAvailable(false);
        return;
    }
    // Subscribed for every sender and path before any object exists, so that no signal of a
    // new object is missed; onAvahiSignal keeps the daemon's own and sorts them by path. Naming
    // the sender would also make Qt ask the bus for its owner and wait for the answer.
    const auto subscribe = [this](const QString &interface, const char *name) {
        m_bus.connect(QString(), QString(), interface, QString::fromLatin1(name), this,
                      SLOT(onAvahiSignal(QDBusMessage)));
    };
    subscribe(kServer, "StateChanged");
    subscribe(kEntryGroup, "StateChanged");
    subscribe(kBrowser, "ItemNew");
    subscribe(kBrowser, "ItemRemove");
    subscribe(kBrowser, "Failure");

    auto *watcher = new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    m_watcher = watcher;
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &oldOwner, const QString &newOwner) {
                onOwnerChanged(oldOwner, newOwner);
            });
    contact();
}

void AvahiPeerDiscovery::contact()
{
    reset();
    call(kServerPath, kServer, QStringLiteral("GetState"), {}, [this](const QDBusMessage &reply) {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            setAvailable(false);
            return;
        }
        m_owner = reply.service();
        browse();
        onServerState(reply.arguments().constFirst().toInt());
    });
}

void AvahiPeerDiscovery::reset()
{
    ++m_session;
    m_owner.clear();
    m_serverState = 0;
    m_groupPath.clear();
    m_groupRequested = false;
    ++m_attempt;
    m_committed = false;
    m_announcedName.clear();
    m_publishFailures = 0;
    m_publishTimer.stop();
    m_browserPath.clear();
    m_browserRequested = false;
    m_early.clear();
    m_found.clear();
    m_fresh.clear();
    m_resolving = 0;
    m_retryTimer.stop();
    const QList<Peer> gone = std::exchange(m_peers, {});
    for (const Peer &peer : gone)
        Q_EMIT peerVanished(peer);
}

void AvahiPeerDiscovery::onOwnerChanged(const QString &oldOwner, const QString &newOwner)
{
    if (!newOwner.isEmpty() && newOwner == m_owner)
        return;
    if (!oldOwner.isEmpty() && newOwner.isEmpty()) {
        reset();
        setAvailable(false);
    }
    if (!newOwner.isEmpty())
        contact();
}

void AvahiPeerDiscovery::setAvailable(bool available)
{
    if (m_availableKnown && m_available == available)
        return;
    m_availableKnown = true;
    m_available = available;
    Q_EMIT availableChanged(available);
}

void AvahiPeerDiscovery::call(const QString &path, const QString &interface, const QString &method,
                              const QVariantList &arguments,
                              std::function<void(const QDBusMessage &)> onReply, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, session = m_session, onReply = std::move(onReply)] {
                watcher->deleteLater();
                if (session == m_session && onReply)
                    onReply(watcher->reply());
            });
}

int AvahiPeerDiscovery::retryDelay(int failures) const
{
    const qint64 delay = qint64(m_retryDelayMs) << std::clamp(failures - 1, 0, 16);
    return int(std::min<qint64>(delay, kMaxRetryDelayMs));
}

void AvahiPeerDiscovery::onAvahiSignal(const QDBusMessage &message)
{
    if (m_owner.isEmpty() || message.service() != m_owner)
        return;
    const QList<QVariant> args = message.arguments();
    if (message.interface() == kServer && message.path() == kServerPath && !args.isEmpty())
        onServerState(args.constFirst().toInt());
    else if (message.interface() == kEntryGroup && message.path() == m_groupPath && !args.isEmpty())
        onGroupState(args.constFirst().toInt());
    else if (message.interface() == kBrowser)
        onBrowserSignal(message);
}

void AvahiPeerDiscovery::onServerState(int state)
{
    if (state == m_serverState)
        return;
    m_serverState = state;
    if (state == kServerRunning) {
        publish();
        return;
    }
    // While the daemon settles its own host name, records cannot stay; they go back in once it
    // runs again.
    ++m_attempt;
    m_committed = false;
    m_announcedName.clear();
    if (!m_groupPath.isEmpty())
        call(m_groupPath, kEntryGroup, QStringLiteral("Reset"), {});
}

void AvahiPeerDiscovery::publish()
{
    m_publishTimer.stop();
    if (!m_wanted || m_owner.isEmpty() || m_serverState != kServerRunning)
        return;
    if (m_groupPath.isEmpty()) {
        if (m_groupRequested)
            return;
        m_groupRequested = true;
        call(kServerPath, kServer, QStringLiteral("EntryGroupNew"), {}, [this](const QDBusMessage &reply) {
            if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                m_groupRequested = false;
                publishLater();
                return;
            }
            m_groupPath = reply.arguments().constFirst().value<QDBusObjectPath>().path();
            publish();
        });
        return;
    }

    const quint64 attempt = ++m_attempt;
    m_committed = false;
    m_announcedName.clear();
    // Calls on one connection arrive in order: the reset is done before the new service goes in.
    call(m_groupPath, kEntryGroup, QStringLiteral("Reset"), {});
    const QVariantList service{kUnspecified,
                               kUnspecified,
                               0u,
                               m_currentName,
                               serviceType(),
                               QString(),
                               QString(),
                               QVariant::fromValue(m_port),
                               QVariant::fromValue(ServiceRecord::txt(m_chatName, m_version))};
    call(m_groupPath, kEntryGroup, QStringLiteral("AddService"), service,
         [this, attempt](const QDBusMessage &reply) {
             if (attempt != m_attempt)
                 return;
             if (reply.type() == QDBusMessage::ErrorMessage) {
                 // Another service on this computer has the name already.
                 if (reply.errorName() == kCollisionError)
                     takeAlternativeName();
                 else
                     publishLater();
                 return;
             }
             // Every group state reported before this reply belongs to an earlier attempt.
             m_committed = true;
             call(m_groupPath, kEntryGroup, QStringLiteral("Commit"), {}, [this, attempt](const QDBusMessage &done) {
                 if (attempt == m_attempt && done.type() == QDBusMessage::ErrorMessage)
                     publishLater();
             });
         });
}

// A daemon under load refuses what it has no room for, and says so only once: without another
// attempt this copy would stay unknown to the network.
void AvahiPeerDiscovery::publishLater()
{
    ++m_attempt;
    m_committed = false;
    m_announcedName.clear();
    if (m_wanted)
        m_publishTimer.start(retryDelay(++m_publishFailures));
}

void AvahiPeerDiscovery::takeAlternativeName()
{
    const quint64 attempt = m_attempt;
    call(kServerPath, kServer, QStringLiteral("GetAlternativeServiceName"), {m_currentName},
         [this, attempt](const QDBusMessage &reply) {
             if (attempt != m_attempt)
                 return;
             if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                 publishLater();
                 return;
             }
             m_currentName = reply.arguments().constFirst().toString();
             publish();
         });
}

void AvahiPeerDiscovery::onGroupState(int state)
{
    if (!m_committed)
        return;
    if (state == kGroupEstablished) {
        m_publishFailures = 0;
        m_announcedName = m_currentName;
        Q_EMIT announced(m_announcedName);
    } else if (state == kGroupCollision) {
        // Another computer on the network has the name: settle it the DNS-SD way, with the
        // daemon's alternative ("... #2").
        m_committed = false;
        m_announcedName.clear();
        takeAlternativeName();
    } else if (state == kGroupFailure) {
        publishLater();
    }
}

void AvahiPeerDiscovery::browse()
{
    m_browserRequested = true;
    // Prepare-then-start, where the daemon offers it, makes sure no item is reported before the
    // browser's path is known here.
    const QVariantList args{kUnspecified, kIPv4, serviceType(), QString(), 0u};
    call(kServerPath, kServer2, QStringLiteral("ServiceBrowserPrepare"), args,
         [this](const QDBusMessage &reply) {
             if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                 browseWithoutPrepare();
                 return;
             }
             m_browserPath = reply.arguments().constFirst().value<QDBusObjectPath>().path();
             call(m_browserPath, kBrowser, QStringLiteral("Start"), {}, [this](const QDBusMessage &started) {
                 setAvailable(started.type() == QDBusMessage::ReplyMessage);
             });
         });
}

void AvahiPeerDiscovery::browseWithoutPrepare()
{
    const QVariantList args{kUnspecified, kIPv4, serviceType(), QString(), 0u};
    call(kServerPath, kServer, QStringLiteral("ServiceBrowserNew"), args, [this](const QDBusMessage &reply) {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            setAvailable(false);
            return;
        }
        m_browserPath = reply.arguments().constFirst().value<QDBusObjectPath>().path();
        setAvailable(true);
        // The browser may have reported items before its path came back.
        const QList<QDBusMessage> early = std::exchange(m_early, {});
        for (const QDBusMessage &message : early)
            onBrowserSignal(message);
    });
}

void AvahiPeerDiscovery::onBrowserSignal(const QDBusMessage &message)
{
    if (m_browserPath.isEmpty()) {
        if (m_browserRequested)
            m_early.append(message);
        return;
    }
    if (message.path() != m_browserPath)
        return;
    const QList<QVariant> args = message.arguments();
    if (message.member() == QLatin1String("Failure")) {
        // The browser is dead; what it found can no longer be trusted to vanish.
        reset();
        setAvailable(false);
        return;
    }
    if (args.size() < 6)
        return;
    const Sighting sighting{args.at(0).toInt(), args.at(1).toInt(), args.at(4).toString()};
    const QString name = args.at(2).toString();
    if (message.member() == QLatin1String("ItemNew"))
        onItemNew(sighting, name, args.at(5).toUInt());
    else if (message.member() == QLatin1String("ItemRemove"))
        onItemRemove(sighting, name);
}

void AvahiPeerDiscovery::onItemNew(const Sighting &sighting, const QString &name, uint flags)
{
    // What is registered on this computer is this copy's own announcement or one that can only
    // reach this computer, whatever the order the daemon reports it in.
    if (flags & (kResultOurOwn | kResultLocal))
        return;
    auto it = m_found.find(name);
    if (it == m_found.end()) {
        if (m_found.size() >= kMaxFound && !forgetAFailedName())
            return;
        it = m_found.insert(name, Found{});
    }
    if (it->sightings.contains(sighting))
        return;
    it->sightings.append(sighting);
    // Another sighting may resolve where the earlier ones did not.
    if (it->sightings.size() == 1 || it->stage == Stage::Refused ||
        (it->stage == Stage::Waiting && it->failures > 0))
        queue(name);
}

bool AvahiPeerDiscovery::forgetAFailedName()
{
    for (auto it = m_found.begin(); it != m_found.end(); ++it) {
        if (it->stage == Stage::Waiting && it->failures > 0) {
            m_found.erase(it);
            return true;
        }
    }
    return false;
}

void AvahiPeerDiscovery::onItemRemove(const Sighting &sighting, const QString &name)
{
    const auto it = m_found.find(name);
    if (it == m_found.end())
        return;
    it->sightings.removeAll(sighting);
    if (!it->sightings.isEmpty())
        return;
    const bool shown = it->stage == Stage::Shown;
    const Peer peer = it->peer;
    m_found.erase(it);
    if (!shown)
        return;
    m_peers.removeIf([&](const Peer &p) { return p.instanceName == name; });
    Q_EMIT peerVanished(peer);
}

void AvahiPeerDiscovery::queue(const QString &name)
{
    Found &found = m_found[name];
    found.stage = Stage::Waiting;
    found.failures = 0;
    found.retryAt = 0;
    ++found.ticket;
    m_fresh.push_back(name);
    // Names that went away before their turn are left in the queue; clear them out before
    // they outnumber the ones followed.
    if (qsizetype(m_fresh.size()) > 2 * m_found.size() + kMaxResolving) {
        std::erase_if(m_fresh, [this](const QString &each) {
            const auto it = m_found.constFind(each);
            return it == m_found.cend() || it->stage != Stage::Waiting || it->failures > 0;
        });
    }
    resolveWhatIsDue();
}

void AvahiPeerDiscovery::resolveWhatIsDue()
{
    while (m_resolving < kMaxResolving) {
        const QString name = nextToResolve();
        if (name.isNull())
            break;
        resolve(name);
    }
    if (m_resolving >= kMaxResolving)
        return; // an answer makes room and looks again
    qint64 next = std::numeric_limits<qint64>::max();
    for (const Found &found : std::as_const(m_found)) {
        if (found.stage == Stage::Waiting && found.failures > 0)
            next = std::min(next, found.retryAt);
    }
    if (next == std::numeric_limits<qint64>::max())
        m_retryTimer.stop();
    else
        m_retryTimer.start(int(std::max<qint64>(0, next - m_clock.elapsed())));
}

QString AvahiPeerDiscovery::nextToResolve()
{
    // An untried name from one end of the queue, passing over those gone or tried meanwhile.
    const auto untried = [this](bool newest) {
        while (!m_fresh.empty()) {
            const QString name = newest ? m_fresh.back() : m_fresh.front();
            newest ? m_fresh.pop_back() : m_fresh.pop_front();
            const auto it = m_found.constFind(name);
            if (it != m_found.cend() && it->stage == Stage::Waiting && it->failures == 0)
                return name;
        }
        return QString();
    };
    // The longest overdue of those that failed.
    const auto overdue = [this] {
        const qint64 now = m_clock.elapsed();
        QString due;
        qint64 dueAt = std::numeric_limits<qint64>::max();
        for (auto it = m_found.cbegin(); it != m_found.cend(); ++it) {
            if (it->stage == Stage::Waiting && it->failures > 0 && it->retryAt <= now && it->retryAt < dueAt) {
                due = it.key();
                dueAt = it->retryAt;
            }
        }
        return due;
    };
    for (int asked = 0; asked < 3; ++asked) {
        const int turn = m_turn++ % 3;
        // The newest is what just appeared, behind however many that never answer; the oldest
        // keeps a steady stream of new names from starving anybody.
        const QString name = turn == 2 ? overdue() : untried(turn == 0);
        if (!name.isNull())
            return name;
    }
    return {};
}

void AvahiPeerDiscovery::resolve(const QString &name)
{
    Found &found = m_found[name];
    const Sighting sighting = found.sightings.constLast();
    found.stage = Stage::Resolving;
    const quint64 ticket = found.ticket = ++m_tickets;
    ++m_resolving;
    const QVariantList args{
        sighting.interface, sighting.protocol, name, serviceType(), sighting.domain, kIPv4, 0u};
    call(
        kServerPath, kServer, QStringLiteral("ResolveService"), args,
        [this, name, ticket](const QDBusMessage &reply) {
            --m_resolving;
            onResolved(name, ticket, reply);
            resolveWhatIsDue();
        },
        m_resolveLimitMs);
}

void AvahiPeerDiscovery::onResolved(const QString &name, quint64 ticket, const QDBusMessage &reply)
{
    const auto it = m_found.find(name);
    if (it == m_found.end() || it->ticket != ticket)
        return;
    const QList<QVariant> args = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || args.size() < 10) {
        // Refused for lack of room, not answered in time, gone for now or not reachable over
        // IPv4: tried again, less often the more it fails, as long as it is announced.
        it->stage = Stage::Waiting;
        ++it->failures;
        it->retryAt = m_clock.elapsed() + retryDelay(it->failures);
        return;
    }
    const QByteArrayList txt = qdbus_cast<QByteArrayList>(args.at(9));
    Peer &peer = it->peer;
    peer.instanceName = name;
    peer.chatName = ServiceRecord::txtValue(txt, "name");
    if (peer.chatName.isNull())
        peer.chatName = name;
    peer.hostName = args.at(5).toString();
    peer.address = args.at(7).toString();
    peer.port = static_cast<quint16>(args.at(8).toUInt());
    if (!isChatPartner(peer, args.size() > 10 ? args.at(10).toUInt() : 0u)) {
        it->stage = Stage::Refused;
        return;
    }
    it->stage = Stage::LookingUp;

    // The host name keeps working when the copy's address changes, but only where this computer
    // can resolve it (nss-mdns). A lookup that takes too long counts as "cannot".
    QHostInfo::lookupHost(peer.hostName, this, [this, name, ticket](const QHostInfo &info) {
        const QList<QHostAddress> addresses = info.addresses();
        const bool resolves = info.error() == QHostInfo::NoError &&
                              std::any_of(addresses.begin(), addresses.end(), [](const QHostAddress &a) {
                                  return a.protocol() == QAbstractSocket::IPv4Protocol;
                              });
        show(name, ticket, resolves);
    });
    QTimer::singleShot(m_hostLookupLimitMs, this, [this, name, ticket] { show(name, ticket, false); });
}

// Lines go to every copy at the port this copy listens on, and never to this computer itself: a
// record elsewhere, pointing at this computer or at loopback, can only send lines back here.
bool AvahiPeerDiscovery::isChatPartner(const Peer &peer, uint flags) const
{
    if ((flags & (kResultOurOwn | kResultLocal)) || peer.port != m_port)
        return false;
    const QHostAddress address(peer.address);
    if (address.protocol() != QAbstractSocket::IPv4Protocol || address.isLoopback() || address.isMulticast() ||
        address.isBroadcast() || address == QHostAddress::AnyIPv4)
        return false;
    return !QNetworkInterface::allAddresses().contains(address);
}

void AvahiPeerDiscovery::show(const QString &name, quint64 ticket, bool hostResolves)
{
    const auto it = m_found.find(name);
    if (it == m_found.end() || it->ticket != ticket || it->stage != Stage::LookingUp)
        return;
    it->stage = Stage::Shown;
    it->peer.addressToAdd = hostResolves ? it->peer.hostName : it->peer.address;
    m_peers.append(it->peer);
    Q_EMIT peerAppeared(it->peer);
}

} // namespace discovery
