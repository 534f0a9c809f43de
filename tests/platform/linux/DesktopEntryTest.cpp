#include "platform/linux/DesktopEntry.h"
#include "platform/linux/DesktopEntryIndex.h"

#include "TemporaryApplicationFolders.h"
#include "support/RunningApplicationPrinter.h"

#include <gtest/gtest.h>

using namespace korvalen;
using korvalen::testing::TemporaryApplicationFolders;

namespace {

class DesktopEntryTest : public ::testing::Test {
protected:
    TemporaryApplicationFolders folders;

    std::optional<DesktopEntry> read(const QByteArray& contents,
                                     const QString& desktopFileID = QStringLiteral("a.desktop"))
    {
        return DesktopEntry::read(folders.write(QStringLiteral("a.desktop"), contents),
                                  desktopFileID);
    }
};

} // namespace

TEST_F(DesktopEntryTest, ReadsTheMainGroupAsTheFormatDefinesIt)
{
    const auto entry = read("# a comment\r\n"
                            "\n"
                            "[Desktop Entry]\r\n"
                            "Type = Application\r\n"
                            "Name=First\n"
                            "Name=Second\n"
                            "Comment=  Tabs\\tand\\sblanks\\nlines\\\\ \\x kept \n"
                            "Exec=tool %U\n"
                            "not an entry\n"
                            "=no key\n"
                            "[Desktop Action window]\n"
                            "Exec=other\n",
                            QStringLiteral("vendor-tool.desktop"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->applicationID(), QStringLiteral("vendor-tool"));
    EXPECT_EQ(entry->value(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(entry->value(QStringLiteral("Name")), QStringLiteral("First"));
    EXPECT_EQ(entry->value(QStringLiteral("Comment")),
              QStringLiteral("Tabs\tand blanks\nlines\\ \\x kept "));
    EXPECT_EQ(entry->value(QStringLiteral("Exec")), QStringLiteral("tool %U"));
    EXPECT_EQ(entry->value(QStringLiteral("Icon")), std::nullopt);
}

TEST_F(DesktopEntryTest, LocalizedValuesFollowTheLocaleMatchingOrder)
{
    const auto entry = read("[Desktop Entry]\n"
                            "Name=Default\n"
                            "Name[sr_RS@latin]=country and modifier\n"
                            "Name[sr_RS]=country\n"
                            "Name[sr@latin]=modifier\n"
                            "Name[sr]=language\n"
                            "Name[zh_CN]=中文\n");
    ASSERT_TRUE(entry);
    const auto name = [&](const char* locale) {
        return entry->localizedValue(QStringLiteral("Name"), QString::fromLatin1(locale));
    };
    EXPECT_EQ(name("sr_RS.UTF-8@latin"), QStringLiteral("country and modifier"));
    EXPECT_EQ(name("sr_RS.UTF-8"), QStringLiteral("country"));
    EXPECT_EQ(name("sr_ME@latin"), QStringLiteral("modifier"));
    EXPECT_EQ(name("sr_ME"), QStringLiteral("language"));
    EXPECT_EQ(name("sr"), QStringLiteral("language"));
    EXPECT_EQ(name("zh_CN.UTF-8"), QStringLiteral("中文"));
    EXPECT_EQ(name("zh_TW.UTF-8"), QStringLiteral("Default"));
    EXPECT_EQ(name("C"), QStringLiteral("Default"));
    EXPECT_EQ(name(""), QStringLiteral("Default"));
    EXPECT_EQ(entry->localizedValue(QStringLiteral("Comment"), QStringLiteral("sr")), std::nullopt);
}

TEST_F(DesktopEntryTest, FilesThatAreNotDesktopEntriesAreRejected)
{
    EXPECT_FALSE(read(""));
    EXPECT_FALSE(read("Name=before any group\n"));
    EXPECT_FALSE(read("[Desktop Action new]\nName=New\n"));
    EXPECT_FALSE(read("[Desktop Entry\nName=unterminated group\n"));
    EXPECT_FALSE(read(QByteArray("\x7f"
                                 "ELF\0\0\xff\xfe[\n=",
                                 10)));
    EXPECT_FALSE(read("[Desktop Entry]\n" + QByteArray(2 * 1024 * 1024, 'x')));
    EXPECT_FALSE(DesktopEntry::read(folders.path(QStringLiteral("missing.desktop")),
                                    QStringLiteral("missing.desktop")));
    EXPECT_FALSE(DesktopEntry::read(folders.path(QString()), QStringLiteral("folder.desktop")));

    // An entry without the keys an application needs is still read; what it lacks is absent.
    const auto bare = read("[Desktop Entry]\n");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->value(QStringLiteral("Name")), std::nullopt);
}

TEST_F(DesktopEntryTest, IndexKeepsTheFirstEntryOfEachDesktopFileID)
{
    folders.writeApplication(QStringLiteral("home/applications/editor.desktop"), "Home Editor");
    folders.writeApplication(QStringLiteral("system/applications/editor.desktop"), "System Editor");
    // A subfolder's entries are known by IDs with "-": vendor/viewer.desktop is vendor-viewer.
    const QString viewer = folders.writeApplication(
        QStringLiteral("system/applications/vendor/viewer.desktop"), "Viewer");
    folders.writeApplication(QStringLiteral("local/applications/vendor-viewer.desktop"),
                             "Shadowed Viewer");
    // The user removes a system entry by hiding it, and a link or folder entry is no application;
    // either way the system's copy stays out of sight.
    folders.write(QStringLiteral("home/applications/removed.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Removed\nHidden=true\n");
    folders.writeApplication(QStringLiteral("system/applications/removed.desktop"), "Removed");
    folders.write(QStringLiteral("home/applications/link.desktop"),
                  "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.org/\n");
    folders.writeApplication(QStringLiteral("system/applications/link.desktop"), "Link");
    folders.writeApplication(QStringLiteral("system/applications/notes.txt"), "Not an entry");

    const DesktopEntryIndex index({folders.path(QStringLiteral("home/applications")),
                                   folders.path(QStringLiteral("missing/applications")),
                                   folders.path(QStringLiteral("system/applications")),
                                   folders.path(QStringLiteral("local/applications"))});
    const DesktopEntry* editor = index.entryForApplicationID(QStringLiteral("editor"));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->value(QStringLiteral("Name")), QStringLiteral("Home Editor"));
    const DesktopEntry* vendorViewer = index.entryForApplicationID(QStringLiteral("vendor-viewer"));
    ASSERT_TRUE(vendorViewer);
    EXPECT_EQ(vendorViewer->path(), viewer);
    EXPECT_FALSE(index.entryForApplicationID(QStringLiteral("viewer")));
    EXPECT_FALSE(index.entryForApplicationID(QStringLiteral("removed")));
    EXPECT_FALSE(index.entryForApplicationID(QStringLiteral("link")));
    EXPECT_FALSE(index.entryForApplicationID(QStringLiteral("notes")));
}

TEST_F(DesktopEntryTest, IndexFindsTheFirstEntryWithAStartupWMClass)
{
    folders.writeApplication(QStringLiteral("home/applications/b.desktop"), "Home",
                             "StartupWMClass=Shared\n");
    folders.writeApplication(QStringLiteral("system/applications/a.desktop"), "System",
                             "StartupWMClass=Shared\n");
    folders.writeApplication(QStringLiteral("system/applications/c.desktop"), "Second",
                             "StartupWMClass=Only\n");
    folders.writeApplication(QStringLiteral("system/applications/d.desktop"), "Third",
                             "StartupWMClass=Only\n");
    const DesktopEntryIndex index({folders.path(QStringLiteral("home/applications")),
                                   folders.path(QStringLiteral("system/applications"))});
    ASSERT_TRUE(index.entryForStartupWMClass(QStringLiteral("Shared")));
    EXPECT_EQ(index.entryForStartupWMClass(QStringLiteral("Shared"))->applicationID(),
              QStringLiteral("b"));
    ASSERT_TRUE(index.entryForStartupWMClass(QStringLiteral("Only")));
    EXPECT_EQ(index.entryForStartupWMClass(QStringLiteral("Only"))->applicationID(),
              QStringLiteral("c"));
    EXPECT_FALSE(index.entryForStartupWMClass(QStringLiteral("only")));
    EXPECT_FALSE(index.entryForStartupWMClass(QString()));
}

TEST_F(DesktopEntryTest, IndexNoticesApplicationsInstalledOrRemovedAfterReading)
{
    folders.writeApplication(QStringLiteral("system/applications/vendor/tool.desktop"), "Tool");
    folders.age(QStringLiteral("system/applications"));
    folders.age(QStringLiteral("system/applications/vendor"));
    const QStringList paths = {folders.path(QStringLiteral("home/applications")),
                               folders.path(QStringLiteral("system/applications"))};

    EXPECT_TRUE(DesktopEntryIndex(paths).isCurrent());
    const DesktopEntryIndex beforeInstall(paths);
    folders.writeApplication(QStringLiteral("system/applications/new.desktop"), "New");
    EXPECT_FALSE(beforeInstall.isCurrent());

    const DesktopEntryIndex beforeRemoval(paths);
    ASSERT_TRUE(
        QFile::remove(folders.path(QStringLiteral("system/applications/vendor/tool.desktop"))));
    EXPECT_FALSE(beforeRemoval.isCurrent());

    // The user's own folder often appears only when the first entry is written to it.
    const DesktopEntryIndex beforeFirstUserEntry(paths);
    folders.writeApplication(QStringLiteral("home/applications/mine.desktop"), "Mine");
    EXPECT_FALSE(beforeFirstUserEntry.isCurrent());
}

TEST(DesktopEntryFolders, UserDataFolderComesFirstThenTheSystemOnes)
{
    const QByteArray home = qgetenv("XDG_DATA_HOME"), dirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", "/tmp/korvalen-home");
    qputenv("XDG_DATA_DIRS", "/tmp/korvalen-a:/tmp/korvalen-b");
    EXPECT_EQ(DesktopEntryIndex::applicationFolders(),
              QStringList({QStringLiteral("/tmp/korvalen-home/applications"),
                           QStringLiteral("/tmp/korvalen-a/applications"),
                           QStringLiteral("/tmp/korvalen-b/applications")}));
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(DesktopEntryIndex::applicationFolders(),
              QStringList({QDir::homePath() + QStringLiteral("/.local/share/applications"),
                           QStringLiteral("/usr/local/share/applications"),
                           QStringLiteral("/usr/share/applications")}));
    qputenv("XDG_DATA_HOME", home);
    qputenv("XDG_DATA_DIRS", dirs);
}
