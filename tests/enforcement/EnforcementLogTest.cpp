#include "enforcement/EnforcementLog.h"
#include "platform/sim/SimClock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace korvalen;

namespace {

class EnforcementLogTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("enforce.log"));
    // 23:59:58 in UTC+8 is 15:59:58 UTC.
    SimClock clock{QDateTime(QDate(2026, 12, 6), QTime(23, 59, 58), QTimeZone(8 * 3600))};
    EnforcementLog log{path, clock};

    QByteArray contents(const QString& file) const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
};

} // namespace

TEST_F(EnforcementLogTest, CreatesTheFileOwnerOnlyThenAppendsUtcStampedLines)
{
    log.write(QStringLiteral("app activated: org.gnome.Terminal"));
    clock.setNow(clock.now().addSecs(3));
    log.write(QStringLiteral("website domain changed: 例子.中国"));
    EXPECT_EQ(contents(path),
              QStringLiteral("[2026-12-06 15:59:58 +0000] app activated: org.gnome.Terminal\n"
                             "[2026-12-06 16:00:01 +0000] website domain changed: 例子.中国\n")
                  .toUtf8());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(EnforcementLogTest, AppendsToAnExistingFileWithoutTruncating)
{
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("earlier line\n");
    existing.close();
    log.write(QStringLiteral("x"));
    EXPECT_EQ(contents(path), QByteArray("earlier line\n[2026-12-06 15:59:58 +0000] x\n"));
}

TEST_F(EnforcementLogTest, DoesNotFollowASymbolicLinkPlantedAtThePath)
{
    const QString target = folder.filePath(QStringLiteral("victim"));
    QFile victim(target);
    ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
    victim.write("precious\n");
    victim.close();
    ASSERT_TRUE(QFile::link(target, path));

    log.write(QStringLiteral("x"));
    EXPECT_EQ(contents(target), QByteArray("precious\n"));
}

TEST_F(EnforcementLogTest, DoesNotWriteThroughAHardLinkOrIntoAFolderOrFifo)
{
    const QString target = folder.filePath(QStringLiteral("victim"));
    QFile victim(target);
    ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
    victim.close();
    ASSERT_EQ(::link(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()),
              0);
    log.write(QStringLiteral("x"));
    EXPECT_EQ(contents(target), QByteArray());

    const QString fifoPath = folder.filePath(QStringLiteral("fifo.log"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifoPath).constData(), 0600), 0);
    EnforcementLog(fifoPath, clock).write(QStringLiteral("must not block"));

    const QString dirPath = folder.filePath(QStringLiteral("dir.log"));
    ASSERT_TRUE(QDir().mkdir(dirPath));
    EnforcementLog(dirPath, clock).write(QStringLiteral("dropped"));
    SUCCEED();
}

TEST_F(EnforcementLogTest, LeavesAFileOfAnotherUserAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    QFile foreign(path);
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.close();
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    log.write(QStringLiteral("x"));
    EXPECT_EQ(contents(path), QByteArray());
}

TEST(EnforcementLogFailures, UnwritableLocationDropsTheLineQuietly)
{
    SimClock clock{QDateTime::currentDateTimeUtc()};
    EnforcementLog(QStringLiteral("/nonexistent-folder/enforce.log"), clock)
        .write(QStringLiteral("x"));
    SUCCEED();
}
