#pragma once

#include <QByteArrayList>
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QStringList>

#include <limits>

// Avahi's D-Bus interface as far as the program uses it (server, entry groups, service
// browsers, resolving), served on a private bus. Its "network" is a list of copies on other
// computers that a test makes appear and vanish, and names those computers hold. Groups and
// browsers of every client on the bus are kept, so own announcements come back to browsers
// with the flags the daemon gives them.
class FakeAvahi final : public QDBusVirtualObject
{
public:
    static constexpr int kRunning = 2;
    static constexpr int kRegistering = 1;
    static constexpr uint kLocal = 8;
    static constexpr uint kOurOwn = 16;
    // Where services announced on this computer resolve to.
    static constexpr char kLocalHost[] = "hier.invalid";
    static constexpr char kLocalAddress[] = "192.0.2.1";

    struct Remote
    {
        QString name;
        QString host;
        QString address;
        quint16 port = 6711;
        QByteArrayList txt;
        int interface = 2;
        uint flags = 0;
        // False for a name that is announced but never resolves: the daemon answers with a
        // time-out after the unresolved delay.
        bool resolves = true;
    };
    struct Service
    {
        QString name;
        quint16 port = 0;
        QByteArrayList txt;
    };

    explicit FakeAvahi(const QDBusConnection &bus);
    ~FakeAvahi() override;

    // Whether Server2.ServiceBrowserPrepare is offered (newer daemons); true unless told.
    void setPrepare(bool offered) { m_prepare = offered; }
    // The daemon starts: takes its name on the bus. False if that failed.
    bool appear();
    // The daemon goes away, and with it every group and browser.
    void disappear();

    // How long the daemon takes to give up resolving a name that does not resolve; below zero,
    // it never answers. At once unless told.
    void setUnresolvedDelay(int ms) { m_unresolvedDelayMs = ms; }
    // At most `resolves` resolves unanswered at a time; further ones are refused with
    // LimitsExceeded, as the system bus refuses a client with too many waiting replies.
    void setRoom(int resolves) { m_room = resolves; }
    // The next `times` calls of `method` are refused with LimitsExceeded, or left unanswered.
    void refuse(const QString &method, int times) { m_refusals[method] = {times, true}; }
    void ignore(const QString &method, int times) { m_refusals[method] = {times, false}; }
    // Calls refused for lack of room so far, and the most resolves unanswered at one time.
    int refusedForRoom() const { return m_refusedForRoom; }
    int mostUnanswered() const { return m_mostUnanswered; }
    // Every name asked to resolve, in order, with when it was asked (ms since this started).
    struct Asked
    {
        QString name;
        qint64 atMs = 0;
    };
    const QList<Asked> &asked() const { return m_asked; }

    // Another computer holds `name`: committing it ends in a collision.
    void holdOnNetwork(const QString &name) { m_heldElsewhere.append(name); }
    void addRemote(const Remote &remote);
    void removeRemote(const QString &name, int interface = 2);
    void setServerState(int state);

    // The services of every established group, i.e. what the network sees of this computer.
    QList<Service> established() const;
    int browserCount() const { return int(m_browsers.size()); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;
    QString introspect(const QString &path) const override;

private:
    struct Group
    {
        QString owner;
        QString path;
        QList<Service> services;
        int state = 0;
    };
    struct Browser
    {
        QString owner;
        QString path;
        bool started = false;
    };

    void reply(const QDBusMessage &call, const QVariantList &arguments = {});
    void fail(const QDBusMessage &call, const QString &error);
    void signal(const QString &to, const QString &path, const QString &interface, const QString &name,
                const QVariantList &arguments);
    void setGroupState(Group &group, int state);
    void tellBrowsers(bool appeared, const QString &name, int interface, uint flags,
                      const QString &groupOwner = {});
    void tellBrowser(const Browser &browser, bool appeared, const QString &name, int interface, uint flags);
    void startBrowser(Browser &browser);
    Group *group(const QString &path);
    bool nameTaken(const QString &name) const;

    bool refusedOrIgnored(const QDBusMessage &message);
    void answerUnresolvedLater(const QDBusMessage &call);
    bool handleServer(const QDBusMessage &message);
    bool handleGroup(const QDBusMessage &message);
    bool handleBrowser(const QDBusMessage &message);

    QDBusConnection m_bus;
    bool m_prepare = true;
    bool m_registered = false;
    int m_state = kRunning;
    int m_nextPath = 0;
    QList<Group> m_groups;
    QList<Browser> m_browsers;
    QList<Remote> m_remotes;
    QStringList m_heldElsewhere;
    struct Refusal
    {
        int times = 0;
        bool answered = true;
    };
    QHash<QString, Refusal> m_refusals;
    int m_unresolvedDelayMs = 0;
    int m_room = std::numeric_limits<int>::max();
    int m_unanswered = 0;
    int m_mostUnanswered = 0;
    int m_refusedForRoom = 0;
    QElapsedTimer m_clock;
    QList<Asked> m_asked;
};
