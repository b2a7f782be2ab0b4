#include "discovery/BusProbe.h"

#include "support/PrivateBus.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A socket at `path` (abstract where it starts with '@') that takes connections into its queue
// and never says a word; or, closed again at once, a socket file nobody listens at.
int listenAt(const QByteArray &path, bool keepListening)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::memcpy(where.sun_path, path.constData(), size_t(path.size()));
    if (path.startsWith('@'))
        where.sun_path[0] = '\0';
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size());
    if (::bind(fd, reinterpret_cast<sockaddr *>(&where), length) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    if (!keepListening) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST(BusProbe, OnlyABusThatAnswersInTimeCounts)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QTemporaryDir dir;
    const QByteArray silent = QFile::encodeName(dir.filePath(QStringLiteral("silent")));
    const QByteArray deaf = QFile::encodeName(dir.filePath(QStringLiteral("deaf")));
    const QByteArray abstract = "@plauderdeck-probe-" + QByteArray::number(::getpid());
    const int silentFd = listenAt(silent, true);
    const int abstractFd = listenAt(abstract, true);
    ASSERT_GE(silentFd, 0);
    ASSERT_GE(abstractFd, 0);
    listenAt(deaf, false);

    struct Case
    {
        QString address;
        bool answers;
    };
    const Case cases[] = {
        {bus.address(), true},
        {QStringLiteral("unix:path=") + QString::fromUtf8(silent), false}, // accepts, never answers
        {QStringLiteral("unix:abstract=") + QString::fromUtf8(abstract.mid(1)), false},
        {QStringLiteral("unix:path=") + QString::fromUtf8(deaf), false}, // no bus running there
        {QStringLiteral("unix:path=/nonexistent/bus"), false},
        {QStringLiteral("unix:path=/nonexistent/bus;") + bus.address(), false}, // the first is asked
        {QStringLiteral("tcp:host=192.0.2.1,port=1"), true}, // cannot be asked here: left to Qt
        {QString(), false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(discovery::busAnswers(c.address, 200), c.answers) << c.address.toStdString();
    ::close(silentFd);
    ::close(abstractFd);
}
