#include "discovery/AvahiPeerDiscovery.h"
#include "discovery/NullPeerDiscovery.h"

#include "support/FakeAvahi.h"
#include "support/PrivateBus.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QNetworkInterface>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>

#include <functional>
#include <memory>
#include <utility>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace discovery;

namespace {

const QString kVersion = QStringLiteral("4.6.0.7");

// What a discovery reported, one line per signal, in order.
class Recorder
{
public:
    explicit Recorder(PeerDiscovery &discovery)
    {
        QObject::connect(&discovery, &PeerDiscovery::peerAppeared, &discovery, [this](const Peer &peer) {
            events << QStringLiteral("appeared %1 at %2").arg(peer.instanceName, peer.addressToAdd);
            last = peer;
        });
        QObject::connect(&discovery, &PeerDiscovery::peerVanished, &discovery, [this](const Peer &peer) {
            events << QStringLiteral("vanished ") + peer.instanceName;
        });
        QObject::connect(&discovery, &PeerDiscovery::availableChanged, &discovery,
                         [this](bool available) { events << (available ? "available" : "unavailable"); });
    }

    QStringList events;
    Peer last;
};

FakeAvahi::Remote remote(const QString &chatName, const QString &host = QStringLiteral("nowhere.invalid"),
                         int interface = 2)
{
    FakeAvahi::Remote r;
    r.name = chatName + QStringLiteral(" auf ") + host.section(QLatin1Char('.'), 0, 0);
    r.host = host;
    r.address = QStringLiteral("192.0.2.7");
    r.txt = {"name=" + chatName.toUtf8(), "version=" + kVersion.toUtf8()};
    r.interface = interface;
    return r;
}

QStringList names(const QList<FakeAvahi::Service> &services)
{
    QStringList list;
    for (const FakeAvahi::Service &s : services)
        list << s.name;
    return list;
}

class AvahiDiscovery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_TRUE(m_bus.isRunning());
        m_avahi = std::make_unique<FakeAvahi>(m_bus.connect());
    }

    AvahiPeerDiscovery &copy(bool withDaemon = true)
    {
        if (withDaemon && !m_avahiUp) {
            EXPECT_TRUE(m_avahi->appear());
            m_avahiUp = true;
        }
        m_copies.push_back(std::make_unique<AvahiPeerDiscovery>(m_bus.connect(), kVersion, 6711));
        // Host names of the fake network resolve at once or not at all; no test waits this long.
        m_copies.back()->setHostLookupLimit(kPatienceMs);
        m_copies.back()->setRetryDelay(20);
        return *m_copies.back();
    }

    bool established(const QStringList &expected)
    {
        return waitFor([&] { return names(m_avahi->established()) == expected; });
    }

    PrivateBus m_bus;
    std::unique_ptr<FakeAvahi> m_avahi;
    bool m_avahiUp = false;
    std::vector<std::unique_ptr<AvahiPeerDiscovery>> m_copies;
};

TEST_F(AvahiDiscovery, AnnouncesFollowsRenamesAndWithdraws)
{
    AvahiPeerDiscovery &anna = copy();
    anna.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
    EXPECT_EQ(anna.ownName(), QLatin1String("Anna auf rechner")); // before the network confirms it
    ASSERT_TRUE(established({QStringLiteral("Anna auf rechner")}));
    const FakeAvahi::Service service = m_avahi->established().constFirst();
    EXPECT_EQ(service.port, 6711);
    EXPECT_EQ(service.txt, (QByteArrayList{"name=Anna", "version=4.6.0.7"}));
    ASSERT_TRUE(waitFor([&] { return anna.announcedName() == QLatin1String("Anna auf rechner"); }));

    anna.rename(QStringLiteral("Berta"));
    ASSERT_TRUE(established({QStringLiteral("Berta auf rechner")}));
    EXPECT_EQ(m_avahi->established().constFirst().txt.constFirst(), "name=Berta");

    anna.withdraw();
    ASSERT_TRUE(established({}));
    EXPECT_TRUE(anna.announcedName().isEmpty());
    EXPECT_TRUE(anna.ownName().isEmpty());
    anna.rename(QStringLiteral("Carla")); // not announcing: nothing goes out
    anna.announce(QStringLiteral("Dora"), QStringLiteral("rechner"));
    ASSERT_TRUE(established({QStringLiteral("Dora auf rechner")}));
}

TEST_F(AvahiDiscovery, QuickChangesEndInTheLastName)
{
    AvahiPeerDiscovery &other = copy();
    other.announce(QStringLiteral("Berta"), QStringLiteral("rechner"));
    ASSERT_TRUE(established({QStringLiteral("Berta auf rechner")}));

    AvahiPeerDiscovery &anna = copy();
    anna.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
    anna.rename(QStringLiteral("Berta"));
    anna.rename(QStringLiteral("Carla"));
    ASSERT_TRUE(established({QStringLiteral("Berta auf rechner"), QStringLiteral("Carla auf rechner")}));
    // Once the group exists every change goes out at once; the clash of the middle name is
    // answered when that name is no longer wanted.
    anna.rename(QStringLiteral("Berta"));
    anna.rename(QStringLiteral("Dora"));
    ASSERT_TRUE(established({QStringLiteral("Berta auf rechner"), QStringLiteral("Dora auf rechner")}));
    ASSERT_TRUE(waitFor([&] { return anna.announcedName() == QLatin1String("Dora auf rechner"); }));
}

TEST_F(AvahiDiscovery, NameHeldElsewhereOnTheNetworkTakesTheAlternative)
{
    m_avahi->holdOnNetwork(QStringLiteral("Anna auf rechner"));
    m_avahi->holdOnNetwork(QStringLiteral("Anna auf rechner #2"));
    AvahiPeerDiscovery &anna = copy();
    anna.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
    ASSERT_TRUE(established({QStringLiteral("Anna auf rechner #3")}));
    ASSERT_TRUE(waitFor([&] { return anna.announcedName() == QLatin1String("Anna auf rechner #3"); }));
    EXPECT_EQ(anna.ownName(), anna.announcedName());

    // A new chat name starts from the plain name again.
    anna.rename(QStringLiteral("Berta"));
    ASSERT_TRUE(established({QStringLiteral("Berta auf rechner")}));
}

TEST_F(AvahiDiscovery, TwoCopiesOnOneComputerSettleTheirNamesAndNeitherOffersTheOther)
{
    AvahiPeerDiscovery &first = copy();
    Recorder firstSaw(first);
    first.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
    ASSERT_TRUE(established({QStringLiteral("Anna auf rechner")}));

    AvahiPeerDiscovery &second = copy();
    Recorder secondSaw(second);
    second.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
    ASSERT_TRUE(established({QStringLiteral("Anna auf rechner"), QStringLiteral("Anna auf rechner #2")}));

    // Neither offers the other: lines to this computer come back to itself. Once a copy from
    // elsewhere is shown, both have had their chance.
    m_avahi->addRemote(remote(QStringLiteral("Bert")));
    const QStringList expected{"available", "appeared Bert auf nowhere at 192.0.2.7"};
    ASSERT_TRUE(waitFor([&] { return firstSaw.events.size() == 2 && secondSaw.events.size() == 2; }));
    EXPECT_EQ(firstSaw.events, expected);
    EXPECT_EQ(secondSaw.events, expected);
}

TEST_F(AvahiDiscovery, CopiesAppearOnceAndVanishWithTheirLastSighting)
{
    AvahiPeerDiscovery &anna = copy();
    Recorder saw(anna);
    ASSERT_TRUE(waitFor([&] { return saw.events == QStringList{"available"}; }));

    m_avahi->addRemote(remote(QStringLiteral("Bert"), QStringLiteral("bert.invalid"), 2));
    m_avahi->addRemote(remote(QStringLiteral("Bert"), QStringLiteral("bert.invalid"), 3));
    ASSERT_TRUE(waitFor([&] { return saw.events.size() == 2; }));
    EXPECT_EQ(saw.last.instanceName, QStringLiteral("Bert auf bert"));
    EXPECT_EQ(saw.last.chatName, QStringLiteral("Bert"));
    EXPECT_EQ(saw.last.hostName, QStringLiteral("bert.invalid"));
    EXPECT_EQ(saw.last.address, QStringLiteral("192.0.2.7"));
    EXPECT_EQ(saw.last.port, 6711);
    EXPECT_EQ(anna.peers(), QList<Peer>{saw.last});

    m_avahi->removeRemote(QStringLiteral("Bert auf bert"), 2);
    m_avahi->addRemote(remote(QStringLiteral("Cora")));
    ASSERT_TRUE(waitFor([&] { return saw.events.size() == 3; }));
    m_avahi->removeRemote(QStringLiteral("Bert auf bert"), 3);
    ASSERT_TRUE(waitFor([&] { return saw.events.size() == 4; }));
    EXPECT_EQ(saw.events.mid(1),
              (QStringList{"appeared Bert auf bert at 192.0.2.7", "appeared Cora auf nowhere at 192.0.2.7",
                           "vanished Bert auf bert"}));
    ASSERT_EQ(anna.peers().size(), 1);
    EXPECT_EQ(anna.peers().constFirst().chatName, QStringLiteral("Cora"));
}

TEST_F(AvahiDiscovery, OffersTheHostNameOnlyWhereThisComputerResolvesIt)
{
    AvahiPeerDiscovery &anna = copy();
    Recorder saw(anna);
    m_avahi->addRemote(remote(QStringLiteral("Bert"), QStringLiteral("localhost")));
    m_avahi->addRemote(remote(QStringLiteral("Cora"), QStringLiteral("cora.invalid")));
    ASSERT_TRUE(waitFor([&] { return anna.peers().size() == 2; }));
    EXPECT_TRUE(saw.events.contains("appeared Bert auf localhost at localhost"))
        << saw.events.join('\n').toStdString();
    EXPECT_TRUE(saw.events.contains("appeared Cora auf cora at 192.0.2.7"))
        << saw.events.join('\n').toStdString();
}

TEST_F(AvahiDiscovery, OnlyCopiesElsewhereOnTheChatPortAreOffered)
{
    struct Case
    {
        const char *what;
        QString name;
        uint flags;
        QString address;
        quint16 port;
        bool shown;
    };
    QString ownAddress;
    for (const QHostAddress &a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            ownAddress = a.toString();
    }
    const QString elsewhere = QStringLiteral("192.0.2.7");
    const QString own = QStringLiteral("Anna auf rechner");
    const Case cases[] = {
        {"own name from this computer", own, FakeAvahi::kLocal, elsewhere, 6711, false},
        {"registered by this connection", QStringLiteral("Other"), FakeAvahi::kOurOwn | FakeAvahi::kLocal,
         elsewhere, 6711, false},
        {"other copy on this computer", QStringLiteral("Berta auf rechner"), FakeAvahi::kLocal, elsewhere, 6711,
         false},
        {"own name from another computer", own, 0, elsewhere, 6711, true},
        {"at loopback", QStringLiteral("Loop"), 0, QStringLiteral("127.0.0.1"), 6711, false},
        {"at this computer's address", QStringLiteral("Mirror"), 0, ownAddress, 6711, false},
        {"on another port", QStringLiteral("Shell"), 0, elsewhere, 22, false},
        {"at no address", QStringLiteral("Void"), 0, QStringLiteral("0.0.0.0"), 6711, false},
    };
    AvahiPeerDiscovery &anna = copy();
    anna.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
    ASSERT_TRUE(established({QStringLiteral("Anna auf rechner")}));
    for (const Case &c : cases) {
        if (c.address.isEmpty())
            continue; // this computer has no address but loopback
        FakeAvahi::Remote r = remote(QStringLiteral("X"));
        r.name = c.name;
        r.flags = c.flags;
        r.address = c.address;
        r.port = c.port;
        m_avahi->addRemote(r);
        // A marker reported after the case: a record that is not shown is passed over when it
        // is reported, so once the marker is shown the case has had its chance. Host lookups
        // answer in any order, so a shown case may come after the marker.
        m_avahi->addRemote(remote(QStringLiteral("Marker")));
        QStringList expected{QStringLiteral("Marker auf nowhere")};
        if (c.shown)
            expected << c.name;
        expected.sort();
        const auto shownNames = [&] {
            QStringList names;
            for (const Peer &peer : anna.peers())
                names << peer.instanceName;
            names.sort();
            return names;
        };
        ASSERT_TRUE(waitFor([&] { return shownNames().size() >= expected.size(); })) << c.what;
        EXPECT_EQ(shownNames().join(u','), expected.join(u',')) << c.what;
        m_avahi->removeRemote(c.name);
        m_avahi->removeRemote(QStringLiteral("Marker auf nowhere"));
        ASSERT_TRUE(waitFor([&] { return anna.peers().isEmpty(); })) << c.what;
    }
}

TEST_F(AvahiDiscovery, AFloodOfNamesThatNeverResolveHidesNoCopy)
{
    const int room = 128; // the system bus's limit of waiting replies per client
    m_avahi->setRoom(room);
    m_avahi->setUnresolvedDelay(200);
    AvahiPeerDiscovery &anna = copy();
    ASSERT_TRUE(waitFor([&] { return anna.isAvailable(); }));
    const int phantoms = 400;
    for (int i = 0; i < phantoms; ++i) {
        FakeAvahi::Remote phantom = remote(QStringLiteral("Phantom %1").arg(i));
        phantom.resolves = false;
        m_avahi->addRemote(phantom);
    }
    QStringList real;
    for (const char *name : {"Bert", "Cora", "Dirk", "Emil", "Frieda"}) {
        m_avahi->addRemote(remote(QLatin1String(name)));
        real << QLatin1String(name);
    }
    ASSERT_TRUE(waitFor([&] { return anna.peers().size() == real.size(); }));
    QStringList shown;
    for (const Peer &peer : anna.peers())
        shown << peer.chatName;
    shown.sort();
    EXPECT_EQ(shown, real);
    // Never more asked at a time than the bus takes, and what came last did not wait for the
    // flood to be through.
    EXPECT_EQ(m_avahi->refusedForRoom(), 0);
    EXPECT_LE(m_avahi->mostUnanswered(), room);
    QStringList order;
    for (const FakeAvahi::Asked &a : m_avahi->asked())
        order << a.name;
    for (const QString &name : real)
        EXPECT_LT(order.indexOf(name + QStringLiteral(" auf nowhere")), phantoms / 2) << name.toStdString();

    // A name that keeps failing is asked less and less often: the pauses double.
    m_avahi->setUnresolvedDelay(0);
    FakeAvahi::Remote echo = remote(QStringLiteral("Echo"));
    echo.resolves = false;
    m_avahi->addRemote(echo);
    const auto askedAt = [&] {
        QList<qint64> times;
        for (const FakeAvahi::Asked &a : m_avahi->asked()) {
            if (a.name == echo.name)
                times << a.atMs;
        }
        return times;
    };
    ASSERT_TRUE(waitFor([&] { return askedAt().size() >= 5; }));
    const QList<qint64> times = askedAt();
    for (int i = 1; i < 5; ++i) // a timer may end a little early
        EXPECT_GE(times.at(i) - times.at(i - 1), 18 << (i - 1)) << i;
}

TEST_F(AvahiDiscovery, WhatWasRefusedOrNotAnsweredIsTriedAgain)
{
    struct Case
    {
        const char *method;
        bool answered;
    };
    const Case cases[] = {
        {"ResolveService", true}, {"ResolveService", false}, {"EntryGroupNew", true},
        {"AddService", true},     {"Commit", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.method) + (c.answered ? " refused" : " not answered"));
        PrivateBus bus;
        ASSERT_TRUE(bus.isRunning());
        FakeAvahi avahi(bus.connect());
        ASSERT_TRUE(avahi.appear());
        AvahiPeerDiscovery anna(bus.connect(), kVersion, 6711);
        anna.setRetryDelay(20);
        anna.setResolveLimit(300);
        ASSERT_TRUE(waitFor([&] { return anna.isAvailable(); }));
        if (c.answered)
            avahi.refuse(QLatin1String(c.method), 2);
        else
            avahi.ignore(QLatin1String(c.method), 1);
        anna.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
        avahi.addRemote(remote(QStringLiteral("Bert")));
        EXPECT_TRUE(waitFor([&] { return names(avahi.established()) == QStringList{"Anna auf rechner"}; }));
        EXPECT_TRUE(waitFor([&] { return anna.peers().size() == 1; }));
    }
}

TEST_F(AvahiDiscovery, FindsWhatWasThereBeforeTheBrowserWithOrWithoutPrepare)
{
    for (const bool prepare : {true, false}) {
        PrivateBus bus;
        ASSERT_TRUE(bus.isRunning());
        FakeAvahi avahi(bus.connect());
        avahi.setPrepare(prepare);
        ASSERT_TRUE(avahi.appear());
        avahi.addRemote(remote(QStringLiteral("Bert")));
        AvahiPeerDiscovery anna(bus.connect(), kVersion, 6711);
        Recorder saw(anna);
        ASSERT_TRUE(waitFor([&] { return saw.events.size() == 2; })) << "prepare " << prepare;
        EXPECT_EQ(saw.events, (QStringList{"available", "appeared Bert auf nowhere at 192.0.2.7"}))
            << "prepare " << prepare;
    }
}

TEST_F(AvahiDiscovery, DaemonGoingAwayAndComingBack)
{
    AvahiPeerDiscovery &anna = copy();
    Recorder saw(anna);
    anna.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
    m_avahi->addRemote(remote(QStringLiteral("Bert")));
    ASSERT_TRUE(established({QStringLiteral("Anna auf rechner")}));
    ASSERT_TRUE(waitFor([&] { return saw.events.size() == 2; }));

    m_avahi->disappear();
    ASSERT_TRUE(waitFor([&] { return saw.events.size() == 4; }));
    EXPECT_EQ(saw.events.mid(2), (QStringList{"vanished Bert auf nowhere", "unavailable"}));
    EXPECT_TRUE(anna.peers().isEmpty());
    EXPECT_FALSE(anna.isAvailable());

    ASSERT_TRUE(m_avahi->appear());
    ASSERT_TRUE(established({QStringLiteral("Anna auf rechner")}));
    ASSERT_TRUE(waitFor([&] { return saw.events.size() == 6; }));
    EXPECT_EQ(saw.events.mid(4), (QStringList{"available", "appeared Bert auf nowhere at 192.0.2.7"}));
}

TEST_F(AvahiDiscovery, RecordsGoBackInWhenTheDaemonRunsAgain)
{
    AvahiPeerDiscovery &anna = copy();
    anna.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
    ASSERT_TRUE(established({QStringLiteral("Anna auf rechner")}));
    m_avahi->setServerState(FakeAvahi::kRegistering);
    ASSERT_TRUE(established({}));
    m_avahi->setServerState(FakeAvahi::kRunning);
    ASSERT_TRUE(established({QStringLiteral("Anna auf rechner")}));
}

TEST_F(AvahiDiscovery, ConnectsToTheSystemBusByItselfOnceItAnswersAndAgainWhenItComesBack)
{
    // A bus that takes the connection and never answers, as a hanging bus daemon does.
    QTemporaryDir dir;
    const QByteArray silentPath = QFile::encodeName(dir.filePath(QStringLiteral("silent")));
    const int silent = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::memcpy(where.sun_path, silentPath.constData(), size_t(silentPath.size()));
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr *>(&where), sizeof where), 0);
    ASSERT_EQ(::listen(silent, 8), 0);
    const auto restore = qScopeGuard([silent] {
        ::close(silent);
        qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    });
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + silentPath);

    auto bus = std::make_unique<PrivateBus>();
    ASSERT_TRUE(bus->isRunning());
    auto avahi = std::make_unique<FakeAvahi>(bus->connect());
    AvahiPeerDiscovery anna(kVersion, 6711, nullptr, 200);
    anna.setRetryDelay(20);
    Recorder saw(anna);
    anna.announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
    // Once the search has knocked, every other connection of the program keeps working, new
    // ones too: Qt makes them all on one thread, which a handshake with this bus would hold up
    // for good (this test then hangs).
    pollfd waiting{silent, POLLIN, 0};
    ASSERT_EQ(::poll(&waiting, 1, kPatienceMs), 1);
    const QDBusMessage id = bus->connect().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
        QDBus::Block, 10000);
    EXPECT_EQ(id.type(), QDBusMessage::ReplyMessage) << id.errorMessage().toStdString();
    ASSERT_TRUE(waitFor([&] { return saw.events == QStringList{"unavailable"}; }));

    // The bus answers: the search starts and this copy is announced.
    ASSERT_TRUE(avahi->appear());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus->address().toUtf8());
    const auto announced = [&] { return names(avahi->established()) == QStringList{"Anna auf rechner"}; };
    EXPECT_TRUE(waitFor(announced));

    // The bus goes away and another comes: the same again, with nothing left of the first.
    avahi->addRemote(remote(QStringLiteral("Bert")));
    ASSERT_TRUE(waitFor([&] { return anna.peers().size() == 1; }));
    avahi.reset();
    bus = std::make_unique<PrivateBus>();
    ASSERT_TRUE(waitFor([&] { return !anna.isAvailable() && anna.peers().isEmpty(); }));
    avahi = std::make_unique<FakeAvahi>(bus->connect());
    ASSERT_TRUE(avahi->appear());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus->address().toUtf8());
    EXPECT_TRUE(waitFor(announced));
    EXPECT_TRUE(anna.isAvailable());
}

TEST_F(AvahiDiscovery, WithoutTheSearchOnlyUnavailableIsSaid)
{
    struct Case
    {
        const char *what;
        std::function<std::unique_ptr<PeerDiscovery>()> make;
    };
    const Case cases[] = {
        {"no daemon", [&] { return std::make_unique<AvahiPeerDiscovery>(m_bus.connect(), kVersion, 6711); }},
        {"no bus",
         [] {
             const QDBusConnection none = QDBusConnection::connectToBus(
                 QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus"));
             return std::make_unique<AvahiPeerDiscovery>(none, kVersion, 6711);
         }},
        {"null", [] { return std::make_unique<NullPeerDiscovery>(); }},
    };
    for (const Case &c : cases) {
        const std::unique_ptr<PeerDiscovery> discovery = c.make();
        Recorder saw(*discovery);
        discovery->announce(QStringLiteral("Anna"), QStringLiteral("rechner"));
        ASSERT_TRUE(waitFor([&] { return !saw.events.isEmpty(); })) << c.what;
        QCoreApplication::processEvents();
        EXPECT_EQ(saw.events, QStringList{"unavailable"}) << c.what;
        EXPECT_FALSE(discovery->isAvailable()) << c.what;
        EXPECT_TRUE(discovery->peers().isEmpty()) << c.what;
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

} // namespace
