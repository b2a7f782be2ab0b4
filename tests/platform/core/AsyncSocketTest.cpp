#include "platform/core/AsyncSocket.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>

using platform::inetAddr;

TEST(AsyncSocket, DottedAddresses)
{
    const struct
    {
        const char *text;
        const char *address; // nullptr: no address
    } cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {"0.0.0.0", "0.0.0.0"},
        {"192.168.1", "192.168.0.1"},
        {"10.1", "10.0.0.1"},
        {"0x7f.1", "127.0.0.1"},
        {"255.255.255.255", nullptr}, // indistinguishable from the failure value, as with Winsock
        {"256.1.1.1", nullptr},
        {"localhost", nullptr},
        {"1.2.3.4.5", nullptr},
        {"", nullptr},
    };
    for (const auto &c : cases) {
        const std::uint32_t value = inetAddr(c.text);
        if (c.address)
            EXPECT_EQ(platform::dottedAddress(value), QLatin1String(c.address)) << c.text;
        else
            EXPECT_EQ(value, platform::kInaddrNone) << c.text;
    }
}

TEST(AsyncSocket, ErrorsInWinsockNumbering)
{
    const std::pair<int, int> cases[] = {
        {0, 0},
        {ECONNREFUSED, 10061},
        {ECONNRESET, 10054},
        {EPIPE, 10054},
        {ETIMEDOUT, 10060},
        {EWOULDBLOCK, 10035},
        {EINPROGRESS, 10036},
        {EADDRINUSE, 10048},
        {ENOTCONN, 10057},
        {EHOSTUNREACH, 10065},
        {EPROTO, platform::wsaNoCounterpart},
        {EIO, platform::wsaNoCounterpart},
    };
    for (const auto &[posix, winsock] : cases)
        EXPECT_EQ(platform::winsockError(posix), winsock) << posix;
}

TEST(HostLookup, AnswersOnceAndNeverForAGivenUpLookup)
{
    platform::HostLookup lookup;
    int answers = 0;
    std::uint32_t address = 0;
    QObject::connect(&lookup, &platform::HostLookup::finished, &lookup, [&](std::uint32_t a, int) {
        ++answers;
        address = a;
    });
    lookup.start(QStringLiteral("localhost"));
    lookup.abort();
    lookup.start(QStringLiteral("localhost")); // replaces nothing: the first was given up
    ASSERT_TRUE(waitFor([&] { return answers > 0; }));
    EXPECT_EQ(platform::dottedAddress(address), QStringLiteral("127.0.0.1"));
    // A lookup given up while running: its object may go at once.
    auto *late = new platform::HostLookup;
    late->start(QStringLiteral("localhost"));
    delete late;
    lookup.start(QStringLiteral("localhost"));
    ASSERT_TRUE(waitFor([&] { return answers == 2; }));
    EXPECT_FALSE(lookup.isRunning());
}
