#include "app/PeerAnnouncement.h"
#include "chat/ChatSession.h"
#include "discovery/AvahiPeerDiscovery.h"
#include "support/FakeAvahi.h"
#include "support/LoopbackPeer.h"
#include "support/PrivateBus.h"
#include "support/Wait.h"

#include <QStandardPaths>

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(PeerAnnouncementTest, FollowsTheChatNameAndEndsWithTheClose)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    FakeAvahi avahi(bus.connect());
    ASSERT_TRUE(avahi.appear());

    chat::ChatSession::Setup setup;
    setup.port = 0;
    setup.sendPort = loopback::unusedPort();
    setup.listenAddress = "127.0.0.1";
    chat::ChatSession session(setup);
    discovery::AvahiPeerDiscovery search(bus.connect(), QStringLiteral("4.6.0.7"), 6711);
    announceSession(search, session, QStringLiteral("Anna"), QStringLiteral("Küche"));

    const auto say = [&](const char *name) {
        return [&session, name] {
            session.send(QString::fromUtf8(name), QStringLiteral("sagt:"), QStringLiteral("hallo"), {});
        };
    };
    struct Step
    {
        const char *what;
        std::function<void()> act;
        QByteArrayList announced; // the TXT records' names on the network
    };
    const Step steps[] = {
        {"start", [] {}, {"name=Anna"}},
        {"joined under another name", say("Bert"), {"name=Bert"}},
        {"same name again", say("Bert"), {"name=Bert"}},
        {"renamed", say("Cora"), {"name=Cora"}},
        {"closed", [&] { session.close(QStringLiteral("Cora"), {}); }, {}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        QByteArrayList seen;
        ASSERT_TRUE(waitFor([&] {
            seen.clear();
            for (const FakeAvahi::Service &service : avahi.established())
                seen << service.txt.value(0);
            return seen == step.announced;
        })) << seen.join(',').toStdString();
        if (!step.announced.isEmpty()) {
            const QString chatName = QString::fromUtf8(step.announced.constFirst().mid(5));
            EXPECT_EQ(avahi.established().constFirst().name, chatName + QStringLiteral(" auf Küche"));
        }
    }
}

} // namespace
