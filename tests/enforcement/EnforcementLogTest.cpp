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
using namespace Qt::Literals::StringLiterals;

namespace {

class EnforcementLogTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QString path = folder.filePath(u"enforce.log"_s);
    // 23:59:58 in UTC+8 is 15:59:58 UTC.
    SimClock clock{QDateTime(QDate(2026, 12, 6), QTime(23, 59, 58), QTimeZone(8 * 3600))};
    EnforcementLog log{path, clock};

    QByteArray contents(const QString& file) const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

    static void writeFile(const QString& file, const QByteArray& bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

} // namespace

TEST_F(EnforcementLogTest, CreatesTheFileOwnerOnlyThenAppendsUtcStampedLines)
{
    log.write(u"app activated: org.gnome.Terminal"_s);
    clock.setNow(clock.now().addSecs(3));
    log.write(u"website domain changed: 例子.中国"_s);
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
    writeFile(path, "earlier line\n");
    log.write(u"x"_s);
    EXPECT_EQ(contents(path), QByteArray("earlier line\n[2026-12-06 15:59:58 +0000] x\n"));
}

TEST_F(EnforcementLogTest, DoesNotFollowASymbolicLinkPlantedAtThePath)
{
    const QString target = folder.filePath(u"victim"_s);
    writeFile(target, "precious\n");
    ASSERT_TRUE(QFile::link(target, path));

    log.write(u"x"_s);
    EXPECT_EQ(contents(target), QByteArray("precious\n"));
}

TEST_F(EnforcementLogTest, DoesNotWriteThroughAHardLinkOrIntoAFolderOrFifoOrAMissingFolder)
{
    const QString target = folder.filePath(u"victim"_s);
    writeFile(target, {});
    ASSERT_EQ(::link(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()),
              0);
    log.write(u"x"_s);
    EXPECT_EQ(contents(target), QByteArray());

    const QString fifoPath = folder.filePath(u"fifo.log"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifoPath).constData(), 0600), 0);
    EnforcementLog(fifoPath, clock).write(u"must not block"_s);

    const QString dirPath = folder.filePath(u"dir.log"_s);
    ASSERT_TRUE(QDir().mkdir(dirPath));
    EnforcementLog(dirPath, clock).write(u"dropped"_s);
    EnforcementLog(u"/nonexistent-folder/enforce.log"_s, clock).write(u"dropped quietly"_s);
    SUCCEED();
}

TEST_F(EnforcementLogTest, LeavesAFileOfAnotherUserAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    writeFile(path, {});
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    log.write(u"x"_s);
    EXPECT_EQ(contents(path), QByteArray());
}

TEST_F(EnforcementLogTest, LetsGoOfALogRemovedMovedAsideOrReplacedWhileOpen)
{
    const QByteArray stamp = "[2026-12-06 15:59:58 +0000] ";
    log.write(u"first"_s);
    ASSERT_TRUE(QFile::remove(path));
    log.write(u"second"_s);
    EXPECT_EQ(contents(path), stamp + "second\n");

    const QString moved = folder.filePath(u"moved.log"_s);
    ASSERT_TRUE(QFile::rename(path, moved));
    log.write(u"third"_s);
    EXPECT_EQ(contents(moved), stamp + "second\n");
    EXPECT_EQ(contents(path), stamp + "third\n");

    // A link planted in the file's place while it was open is not written through.
    const QString target = folder.filePath(u"victim"_s);
    writeFile(target, "precious\n");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(target, path));
    log.write(u"fourth"_s);
    EXPECT_EQ(contents(target), QByteArray("precious\n"));
}

TEST_F(EnforcementLogTest, MovesAFullLogAsideAndBeginsAnewWithEveryWriterFollowing)
{
    // Two instances on one path, as two sessions' Korvalen; each line here is 31 bytes.
    EnforcementLog first{path, clock, 100};
    EnforcementLog second{path, clock, 100};
    const QByteArray stamp = "[2026-12-06 15:59:58 +0000] ";
    first.write(u"a1"_s);
    second.write(u"b1"_s);
    first.write(u"a2"_s);
    second.write(u"b2"_s);
    first.write(u"a3"_s);
    const QString old = path + u".old"_s;
    EXPECT_EQ(contents(old), stamp + "a1\n" + stamp + "b1\n" + stamp + "a2\n");
    EXPECT_EQ(contents(path), stamp + "b2\n" + stamp + "a3\n");

    first.write(u"a4"_s);
    second.write(u"b3"_s);
    EXPECT_EQ(contents(old), stamp + "b2\n" + stamp + "a3\n" + stamp + "a4\n");
    EXPECT_EQ(contents(path), stamp + "b3\n");
}
