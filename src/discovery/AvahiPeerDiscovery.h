#pragma once

#include "discovery/PeerDiscovery.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>

namespace discovery {

// The search over Avahi's D-Bus interface (on the system bus in the program): an entry group
// carries the announcement, a service browser and resolver find the other copies. Every call
// is asynchronous. Without the bus, without Avahi or when the daemon goes away the search is
// not available and nothing else happens; when the daemon comes back, announcing and browsing
// start again by themselves.
class AvahiPeerDiscovery final : public PeerDiscovery
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AvahiPeerDiscovery)

public:
    // `version` goes into the TXT record, `port` is where this copy receives lines.
    AvahiPeerDiscovery(const QDBusConnection &bus, const QString &version, quint16 port,
                       QObject *parent = nullptr);
    // On the system bus, connected on a thread of its own once the bus answers within
    // `busLimitMs`; connected again whenever the bus comes back after going away.
    AvahiPeerDiscovery(const QString &version, quint16 port, QObject *parent = nullptr, int busLimitMs = 3000);
    ~AvahiPeerDiscovery() override;

    void announce(const QString &chatName, const QString &computerName) override;
    void rename(const QString &chatName) override;
    void withdraw() override;
    QList<Peer> peers() const override;
    bool isAvailable() const override;
    QString ownName() const override { return m_wanted ? m_currentName : QString(); }

    // The name the network confirmed for this copy (after a clash, the alternative one); empty
    // while the announcement is not established.
    QString announcedName() const { return m_announcedName; }

    // How long a copy's host name may take to resolve on this computer before its address is
    // offered instead.
    void setHostLookupLimit(int ms) { m_hostLookupLimitMs = ms; }
    // How long the daemon may take to answer one resolve before it is given up and tried again.
    void setResolveLimit(int ms) { m_resolveLimitMs = ms; }
    // The first pause before a refused or failed request is tried again; it doubles with every
    // further failure up to a minute.
    void setRetryDelay(int ms) { m_retryDelayMs = ms; }

Q_SIGNALS:
    // The announcement is established under `instanceName`.
    void announced(const QString &instanceName);

private Q_SLOTS:
    // Signals of Avahi's objects; D-Bus signals only reach a slot named by its signature.
    void onAvahiSignal(const QDBusMessage &message);

private:
    // Where an instance was seen: the same copy shows up once per network interface.
    struct Sighting
    {
        int interface = 0;
        int protocol = 0;
        QString domain;
        bool operator==(const Sighting &) const = default;
    };
    // Waiting: for its turn to be resolved, or for its next try after a failure. Refused: it
    // resolved to something that cannot be a chat partner.
    enum class Stage { Waiting, Resolving, LookingUp, Shown, Refused };
    struct Found
    {
        QList<Sighting> sightings;
        Stage stage = Stage::Waiting;
        // Answers of a resolve or host lookup count only while this ticket is current.
        quint64 ticket = 0;
        // Failed resolves in a row, and when the next try is due (on m_clock).
        int failures = 0;
        qint64 retryAt = 0;
        Peer peer;
    };

    void setUp();
    void connectToSystemBus();
    void onBusLost();
    void start();
    void contact();
    void reset();
    void onOwnerChanged(const QString &oldOwner, const QString &newOwner);
    void setAvailable(bool available);
    void call(const QString &path, const QString &interface, const QString &method,
              const QVariantList &arguments, std::function<void(const QDBusMessage &)> onReply = {},
              int timeoutMs = -1);
    int retryDelay(int failures) const;

    void onServerState(int state);
    void publish();
    void publishLater();
    void takeAlternativeName();
    void onGroupState(int state);

    void browse();
    void browseWithoutPrepare();
    void onBrowserSignal(const QDBusMessage &message);
    void onItemNew(const Sighting &sighting, const QString &name, uint flags);
    void onItemRemove(const Sighting &sighting, const QString &name);
    bool forgetAFailedName();
    void queue(const QString &name);
    void resolveWhatIsDue();
    QString nextToResolve();
    void resolve(const QString &name);
    void onResolved(const QString &name, quint64 ticket, const QDBusMessage &reply);
    bool isChatPartner(const Peer &peer, uint flags) const;
    void show(const QString &name, quint64 ticket, bool hostResolves);

    QDBusConnection m_bus;
    // The name of the connection made here, if any; closed with this object.
    QString m_ownConnection;
    int m_busFailures = 0;
    // While the connection is made here: looks whether it still stands.
    QTimer m_busCheck;
    QTimer m_reconnect;
    QPointer<QObject> m_watcher;
    const QString m_version;
    const quint16 m_port;
    int m_busLimitMs = 3000;
    int m_hostLookupLimitMs = 2000;
    int m_resolveLimitMs = 10000;
    int m_retryDelayMs = 1000;
    QElapsedTimer m_clock;

    // The daemon's unique name on the bus; signals from anyone else are ignored.
    QString m_owner;
    // Counts contacts with the daemon; replies from an earlier one are dropped.
    quint64 m_session = 0;
    bool m_availableKnown = false;
    bool m_available = false;
    int m_serverState = 0;

    bool m_wanted = false;
    QString m_chatName;
    QString m_computerName;
    // The name being registered: the wanted one or, after a clash, an alternative.
    QString m_currentName;
    QString m_announcedName;
    QString m_groupPath;
    bool m_groupRequested = false;
    // Counts registration attempts; answers for an earlier attempt are dropped.
    quint64 m_attempt = 0;
    // Set once the commit of the current attempt went out: group states before it are stale.
    bool m_committed = false;
    // Failed registrations in a row; the next attempt waits on the timer.
    int m_publishFailures = 0;
    QTimer m_publishTimer;

    QString m_browserPath;
    bool m_browserRequested = false;
    // Browser signals that arrived before the reply naming the browser.
    QList<QDBusMessage> m_early;
    QHash<QString, Found> m_found;
    // Names not tried yet, in the order they were reported; entries whose name is gone or
    // already tried are passed over.
    std::deque<QString> m_fresh;
    // Resolves the daemon has not answered yet.
    int m_resolving = 0;
    // Which kind of name the next free place goes to: the newest, the oldest, a retry.
    int m_turn = 0;
    QTimer m_retryTimer;
    QList<Peer> m_peers;
    quint64 m_tickets = 0;
};

} // namespace discovery
