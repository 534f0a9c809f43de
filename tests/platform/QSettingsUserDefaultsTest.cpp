#include "platform/QSettingsUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

class QSettingsUserDefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("Korvalen/Korvalen.conf"));

    std::unique_ptr<QSettingsUserDefaults> open() const
    {
        return QSettingsUserDefaults::inIniFile(path);
    }
};

ino_t inodeOf(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_ino;
}

} // namespace

TEST_F(QSettingsUserDefaultsTest, ValuesOfEveryKindSurviveReopening)
{
    const QByteArray json = QStringLiteral(R"([{"domain":"例子.中国"}])").toUtf8();
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(char(i));
    {
        auto defaults = open();
        defaults->setString(QStringLiteral("Korvalen.text"), QStringLiteral("zh-Hant"));
        defaults->setString(QStringLiteral("Korvalen.tricky"), QStringLiteral("@ByteArray(a), b"));
        defaults->setData(QStringLiteral("Korvalen.json"), json);
        defaults->setData(QStringLiteral("Korvalen.binary"), binary);
        defaults->setBool(QStringLiteral("Korvalen.off"), false);
        defaults->setBool(QStringLiteral("Korvalen.on"), true);
    }
    const auto reopened = open();
    EXPECT_EQ(reopened->stringForKey(QStringLiteral("Korvalen.text")), QStringLiteral("zh-Hant"));
    EXPECT_EQ(reopened->stringForKey(QStringLiteral("Korvalen.tricky")),
              QStringLiteral("@ByteArray(a), b"));
    EXPECT_EQ(reopened->dataForKey(QStringLiteral("Korvalen.json")), json);
    EXPECT_EQ(reopened->dataForKey(QStringLiteral("Korvalen.binary")), binary);
    EXPECT_TRUE(reopened->hasObjectForKey(QStringLiteral("Korvalen.off")));
    EXPECT_FALSE(reopened->boolForKey(QStringLiteral("Korvalen.off")));
    EXPECT_TRUE(reopened->boolForKey(QStringLiteral("Korvalen.on")));
    EXPECT_FALSE(reopened->hasObjectForKey(QStringLiteral("Korvalen.absent")));
}

TEST_F(QSettingsUserDefaultsTest, EveryWriteAndRemovalIsOnDiskBeforeTheCallReturns)
{
    auto writer = open();
    writer->setString(QStringLiteral("Korvalen.a"), QStringLiteral("1"));
    EXPECT_EQ(open()->stringForKey(QStringLiteral("Korvalen.a")), QStringLiteral("1"));
    writer->removeObject(QStringLiteral("Korvalen.a"));
    EXPECT_FALSE(open()->hasObjectForKey(QStringLiteral("Korvalen.a")));
}

TEST_F(QSettingsUserDefaultsTest, FileIsReplacedWholeNotRewrittenInPlace)
{
    auto defaults = open();
    defaults->setString(QStringLiteral("Korvalen.a"), QStringLiteral("1"));
    const ino_t before = inodeOf(path);
    defaults->setString(QStringLiteral("Korvalen.a"), QStringLiteral("2"));
    EXPECT_NE(before, 0u);
    EXPECT_NE(inodeOf(path), before) << "a new file renamed over the old one";
    const QStringList leftovers =
        QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(leftovers, QStringList{QStringLiteral("Korvalen.conf")});
}

TEST_F(QSettingsUserDefaultsTest, UnwritableLocationKeepsValuesInMemory)
{
    // A regular file where the settings folder should be: no write can succeed, even as root.
    QFile blocker(folder.filePath(QStringLiteral("Korvalen")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    auto defaults = open();
    defaults->setString(QStringLiteral("Korvalen.a"), QStringLiteral("kept"));
    defaults->removeObject(QStringLiteral("Korvalen.b"));
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("Korvalen.a")), QStringLiteral("kept"));
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(QSettingsUserDefaultsNative, NamesTheDomainOfTheBundleIdentifierWithoutFallbacks)
{
    // Qt builds the macOS domain from the organization's Internet domain, reversed, and the
    // application name: these two give back "io.github.korvalen.Korvalen".
    const auto settings = QSettingsUserDefaults::nativeSettings(u"io.github.korvalen.Korvalen"_s);
    EXPECT_EQ(settings->format(), QSettings::NativeFormat);
    EXPECT_EQ(settings->scope(), QSettings::UserScope);
    EXPECT_EQ(settings->organizationName(), u"korvalen.github.io"_s);
    EXPECT_EQ(settings->applicationName(), u"Korvalen"_s);
    EXPECT_FALSE(settings->fallbacksEnabled());
}
