#include "platform/linux/DesktopEntry.h"
#include "platform/linux/DesktopEntryIndex.h"

#include "TemporaryApplicationFolders.h"
#include "support/RunningApplicationPrinter.h"

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::TemporaryApplicationFolders;

namespace {

class DesktopEntryTest : public ::testing::Test {
protected:
    TemporaryApplicationFolders folders;

    std::optional<DesktopEntry> read(const QByteArray& contents,
                                     const QString& desktopFileID = u"a.desktop"_s)
    {
        return DesktopEntry::read(folders.write(u"a.desktop"_s, contents), desktopFileID);
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
                            u"vendor-tool.desktop"_s);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->applicationID(), u"vendor-tool"_s);
    EXPECT_EQ(entry->value(u"Type"_s), u"Application"_s);
    EXPECT_EQ(entry->value(u"Name"_s), u"First"_s);
    EXPECT_EQ(entry->value(u"Comment"_s), u"Tabs\tand blanks\nlines\\ \\x kept "_s);
    EXPECT_EQ(entry->value(u"Exec"_s), u"tool %U"_s);
    EXPECT_EQ(entry->value(u"Icon"_s), std::nullopt);
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
        return entry->localizedValue(u"Name"_s, QString::fromLatin1(locale));
    };
    EXPECT_EQ(name("sr_RS.UTF-8@latin"), u"country and modifier"_s);
    EXPECT_EQ(name("sr_RS.UTF-8"), u"country"_s);
    EXPECT_EQ(name("sr_ME@latin"), u"modifier"_s);
    EXPECT_EQ(name("sr_ME"), u"language"_s);
    EXPECT_EQ(name("sr"), u"language"_s);
    EXPECT_EQ(name("zh_CN.UTF-8"), u"中文"_s);
    EXPECT_EQ(name("zh_TW.UTF-8"), u"Default"_s);
    EXPECT_EQ(name("C"), u"Default"_s);
    EXPECT_EQ(name(""), u"Default"_s);
    EXPECT_EQ(entry->localizedValue(u"Comment"_s, u"sr"_s), std::nullopt);
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
    EXPECT_FALSE(DesktopEntry::read(folders.path(u"missing.desktop"_s), u"missing.desktop"_s));
    EXPECT_FALSE(DesktopEntry::read(folders.path(QString()), u"folder.desktop"_s));

    // An entry without the keys an application needs is still read; what it lacks is absent.
    const auto bare = read("[Desktop Entry]\n");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->value(u"Name"_s), std::nullopt);
}

TEST_F(DesktopEntryTest, IndexKeepsTheFirstEntryOfEachDesktopFileID)
{
    folders.writeApplication(u"home/applications/editor.desktop"_s, "Home Editor");
    folders.writeApplication(u"system/applications/editor.desktop"_s, "System Editor");
    // A subfolder's entries are known by IDs with "-": vendor/viewer.desktop is vendor-viewer.
    const QString viewer =
        folders.writeApplication(u"system/applications/vendor/viewer.desktop"_s, "Viewer");
    folders.writeApplication(u"local/applications/vendor-viewer.desktop"_s, "Shadowed Viewer");
    // The user removes a system entry by hiding it, and a link or folder entry is no application;
    // either way the system's copy stays out of sight.
    folders.write(u"home/applications/removed.desktop"_s,
                  "[Desktop Entry]\nType=Application\nName=Removed\nHidden=true\n");
    folders.writeApplication(u"system/applications/removed.desktop"_s, "Removed");
    folders.write(u"home/applications/link.desktop"_s,
                  "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.org/\n");
    folders.writeApplication(u"system/applications/link.desktop"_s, "Link");
    folders.writeApplication(u"system/applications/notes.txt"_s, "Not an entry");

    const DesktopEntryIndex index(
        {folders.path(u"home/applications"_s), folders.path(u"missing/applications"_s),
         folders.path(u"system/applications"_s), folders.path(u"local/applications"_s)});
    const DesktopEntry* editor = index.entryForApplicationID(u"editor"_s);
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->value(u"Name"_s), u"Home Editor"_s);
    const DesktopEntry* vendorViewer = index.entryForApplicationID(u"vendor-viewer"_s);
    ASSERT_TRUE(vendorViewer);
    EXPECT_EQ(vendorViewer->path(), viewer);
    EXPECT_FALSE(index.entryForApplicationID(u"viewer"_s));
    EXPECT_FALSE(index.entryForApplicationID(u"removed"_s));
    EXPECT_FALSE(index.entryForApplicationID(u"link"_s));
    EXPECT_FALSE(index.entryForApplicationID(u"notes"_s));
}

TEST_F(DesktopEntryTest, IndexFindsTheBestEntryWithAStartupWMClass)
{
    folders.writeApplication(u"home/applications/b.desktop"_s, "Home", "StartupWMClass=Shared\n");
    folders.writeApplication(u"system/applications/a.desktop"_s, "System",
                             "StartupWMClass=Shared\n");
    folders.writeApplication(u"system/applications/c.desktop"_s, "Second", "StartupWMClass=Only\n");
    folders.writeApplication(u"system/applications/d.desktop"_s, "Third", "StartupWMClass=Only\n");
    const DesktopEntryIndex index(
        {folders.path(u"home/applications"_s), folders.path(u"system/applications"_s)});
    ASSERT_TRUE(index.entryForStartupWMClass(u"Shared"_s));
    EXPECT_EQ(index.entryForStartupWMClass(u"Shared"_s)->applicationID(), u"b"_s);
    ASSERT_TRUE(index.entryForStartupWMClass(u"Only"_s));
    EXPECT_EQ(index.entryForStartupWMClass(u"Only"_s)->applicationID(), u"c"_s);
    EXPECT_FALSE(index.entryForStartupWMClass(u"only"_s));
    ASSERT_TRUE(index.entryForStartupWMClassInAnyCase(u"only"_s));
    EXPECT_EQ(index.entryForStartupWMClassInAnyCase(u"only"_s)->applicationID(), u"c"_s);
    EXPECT_FALSE(index.entryForStartupWMClass(QString()));

    // Helpers kept out of menus share their application's class: a visible entry wins, then the
    // one named after the class.
    folders.writeApplication(u"other/applications/a-helper.desktop"_s, "Helper",
                             "NoDisplay=true\nStartupWMClass=Browser\n");
    folders.writeApplication(u"other/applications/b-beta.desktop"_s, "Beta",
                             "StartupWMClass=Browser\n");
    folders.writeApplication(u"other/applications/browser.desktop"_s, "Browser",
                             "StartupWMClass=Browser\n");
    folders.writeApplication(u"other/applications/c-helper.desktop"_s, "Helper",
                             "NoDisplay=true\nStartupWMClass=Tool\n");
    folders.writeApplication(u"other/applications/tool.desktop"_s, "Tool",
                             "NoDisplay=true\n"
                             "StartupWMClass=Tool\n");
    const DesktopEntryIndex other({folders.path(u"other/applications"_s)});
    ASSERT_TRUE(other.entryForStartupWMClass(u"Browser"_s));
    EXPECT_EQ(other.entryForStartupWMClass(u"Browser"_s)->applicationID(), u"browser"_s);
    ASSERT_TRUE(other.entryForStartupWMClass(u"Tool"_s));
    EXPECT_EQ(other.entryForStartupWMClass(u"Tool"_s)->applicationID(), u"tool"_s);
}

TEST_F(DesktopEntryTest, IndexNoticesApplicationsInstalledOrRemovedAfterReading)
{
    folders.writeApplication(u"system/applications/vendor/tool.desktop"_s, "Tool");
    folders.age(u"system/applications"_s);
    folders.age(u"system/applications/vendor"_s);
    const QStringList paths = {folders.path(u"home/applications"_s),
                               folders.path(u"system/applications"_s)};

    EXPECT_TRUE(DesktopEntryIndex(paths).isCurrent());
    const DesktopEntryIndex beforeInstall(paths);
    folders.writeApplication(u"system/applications/new.desktop"_s, "New");
    EXPECT_FALSE(beforeInstall.isCurrent());

    const DesktopEntryIndex beforeRemoval(paths);
    ASSERT_TRUE(QFile::remove(folders.path(u"system/applications/vendor/tool.desktop"_s)));
    EXPECT_FALSE(beforeRemoval.isCurrent());

    // The user's own folder often appears only when the first entry is written to it.
    const DesktopEntryIndex beforeFirstUserEntry(paths);
    folders.writeApplication(u"home/applications/mine.desktop"_s, "Mine");
    EXPECT_FALSE(beforeFirstUserEntry.isCurrent());
}

TEST(DesktopEntryLocale, TheLanguageListComesBeforeTheMessagesLocale)
{
    const char* variables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    QList<QByteArray> saved;
    for (const char* variable : variables) {
        saved << qgetenv(variable);
        qunsetenv(variable);
    }
    const auto localeWith = [](std::initializer_list<std::pair<const char*, const char*>> set) {
        for (const auto& [variable, value] : set)
            qputenv(variable, value);
        const QString locale = DesktopEntry::messagesLocale();
        for (const auto& [variable, value] : set)
            qunsetenv(variable);
        return locale;
    };

    EXPECT_EQ(localeWith({{"LANG", "en_US.UTF-8"}}), u"en_US.UTF-8"_s);
    EXPECT_EQ(localeWith({{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "fr_FR.UTF-8"}}),
              u"fr_FR.UTF-8"_s);
    EXPECT_EQ(localeWith({{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "de_AT:de:en"}}), u"de_AT"_s);
    EXPECT_EQ(localeWith({{"LC_MESSAGES", "en_US.UTF-8"}, {"LANGUAGE", ":sr@latin"}}),
              u"sr@latin"_s);
    // The C locale turns translation off, the language list included.
    EXPECT_EQ(localeWith({{"LANG", "C"}, {"LANGUAGE", "de"}}), u"C"_s);
    EXPECT_EQ(localeWith({}), QString());

    for (qsizetype i = 0; i < saved.size(); ++i) {
        if (!saved[i].isNull())
            qputenv(variables[i], saved[i]);
    }
}

TEST(DesktopEntryFolders, UserDataFolderComesFirstThenTheSystemOnes)
{
    const QByteArray home = qgetenv("XDG_DATA_HOME"), dirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", "/tmp/korvalen-home");
    qputenv("XDG_DATA_DIRS", "/tmp/korvalen-a:/tmp/korvalen-b");
    EXPECT_EQ(DesktopEntryIndex::applicationFolders(),
              QStringList({u"/tmp/korvalen-home/applications"_s, u"/tmp/korvalen-a/applications"_s,
                           u"/tmp/korvalen-b/applications"_s}));
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(DesktopEntryIndex::applicationFolders(),
              QStringList({QDir::homePath() + u"/.local/share/applications"_s,
                           u"/usr/local/share/applications"_s, u"/usr/share/applications"_s}));
    qputenv("XDG_DATA_HOME", home);
    qputenv("XDG_DATA_DIRS", dirs);
}
