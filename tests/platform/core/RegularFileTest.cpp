#include "platform/core/RegularFile.h"
#include "support/SpecialFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using platform::FileReadError;

namespace {

const QByteArray kContent = "Name=Nacht\r\n";

} // namespace

TEST(RegularFile, OnlyRegularFilesAreReadAndNoReadGoesBeyondItsLimit)
{
    QTemporaryDir dir;
    const auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    QFile regular(path("regular"));
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly) && regular.write(kContent) == kContent.size());
    regular.close();
    ASSERT_TRUE(QFile::link(path("regular"), path("link")));
    ASSERT_TRUE(QFile::link(path("missing"), path("dangling")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path("zero")));
    // Reports a size of 0 whatever it holds.
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/status"), path("proc")));
    ASSERT_TRUE(QDir().mkpath(path("folder")));
    ASSERT_TRUE(makePipe(path("pipe")));
    ASSERT_TRUE(makeSocketFile(path("socket")));
    ASSERT_TRUE(makeSparseFile(path("sparse"), qint64(2) << 30));

    struct Case
    {
        const char *name;
        qint64 limit;
        FileReadError error;
    };
    const qint64 size = kContent.size();
    const Case cases[] = {
        {"regular", size, FileReadError::None}, // exactly the limit
        {"regular", size - 1, FileReadError::TooLarge},
        {"link", size, FileReadError::None},
        {"missing", size, FileReadError::NotRegular},
        {"dangling", size, FileReadError::NotRegular},
        {"zero", size, FileReadError::NotRegular}, // read whole, it would fill the memory
        {"folder", size, FileReadError::NotRegular},
        {"pipe", size, FileReadError::NotRegular}, // opened, it would wait for a writer
        {"socket", size, FileReadError::NotRegular},
        {"sparse", 256 * 1024 * 1024, FileReadError::TooLarge},
        {"proc", 16, FileReadError::TooLarge}, // the limit holds whatever size a file reports
        {"proc", 1024 * 1024, FileReadError::None},
    };
    const PipeWatchdog watchdog({path("pipe")});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const platform::FileContent read = platform::readRegularFile(path(c.name), c.limit);
        EXPECT_EQ(read.error, c.error);
        EXPECT_EQ(platform::isRegularFile(path(c.name)), c.error != FileReadError::NotRegular);
        if (c.error != FileReadError::None) {
            EXPECT_TRUE(read.bytes.isEmpty());
        }
    }
    EXPECT_FALSE(watchdog.freedAReader());
    EXPECT_EQ(platform::readRegularFile(path("link"), size).bytes, kContent);
    EXPECT_TRUE(platform::readRegularFile(path("proc"), 1024 * 1024).bytes.contains("Pid:"));
}

TEST(RegularFile, ACompiledInFileIsReadWithinItsLimitWithoutReservingIt)
{
    const QString resource = QStringLiteral(":/regular-file/core/RegularFileTest.cpp");
    QFile file(resource);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    // A limit far beyond any memory: reserving it up front fails.
    EXPECT_EQ(platform::readRegularFile(resource, qint64(1) << 50).bytes, content);
    EXPECT_EQ(platform::readRegularFile(resource, content.size()).bytes, content);
    EXPECT_EQ(platform::readRegularFile(resource, content.size() - 1).error, FileReadError::TooLarge);
}
