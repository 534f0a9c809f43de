#include "platform/linux/DesktopEntryApplicationBundles.h"
#include "apps/InstalledAppsScanner.h"

#include "TemporaryApplicationFolders.h"
#include "support/InstalledAppPrinter.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::TemporaryApplicationFolders;

namespace {

// The user's applications folder, then two system ones, as $XDG_DATA_HOME and $XDG_DATA_DIRS
// give them.
class DesktopEntryApplicationBundlesTest : public ::testing::Test {
protected:
    TemporaryApplicationFolders disk;
    const QString user = disk.path(u"home/applications"_s);
    const QString local = disk.path(u"local/applications"_s);
    const QString system = disk.path(u"usr/applications"_s);
    const DesktopEntryApplicationBundles bundles{{user, local, system}};

    QList<InstalledApp> scan() const { return InstalledAppsScanner::scan(bundles); }
};

} // namespace

TEST_F(DesktopEntryApplicationBundlesTest, ListsEachDesktopFileIDOnceFromTheFirstFolderHoldingIt)
{
    disk.writeApplication(u"home/applications/org.example.Terminal.desktop"_s, "My Terminal");
    disk.writeApplication(u"usr/applications/org.example.Terminal.desktop"_s, "Terminal");
    // Sub-folders make part of the ID; of two files with one ID, the first in byte order wins.
    disk.writeApplication(u"usr/applications/kde4/konsole.desktop"_s, "Konsole");
    disk.writeApplication(u"usr/applications/vendor/tools/editor.desktop"_s,
                          "Vendor Editor (nested)");
    disk.writeApplication(u"usr/applications/vendor-tools-editor.desktop"_s, "Vendor Editor");
    disk.write(u"usr/applications/mimeinfo.cache"_s, "[MIME Cache]\n");
    disk.writeApplication(u"usr/applications/upper.DESKTOP"_s, "Upper");
    disk.writeApplication(u"usr/applications/.hidden.desktop"_s, "Dot File");
    // A link to a desktop file counts; a link loop among the folders ends the walk.
    disk.writeApplication(u"elsewhere/viewer.desktop"_s, "Viewer");
    ASSERT_TRUE(QDir().mkpath(local));
    ASSERT_TRUE(QFile::link(disk.path(u"elsewhere/viewer.desktop"_s),
                            disk.path(u"local/applications/org.example.Viewer.desktop"_s)));
    ASSERT_TRUE(QFile::link(local, local + u"/loop"_s));

    const QList<InstalledApp> expected{
        {u"kde4-konsole"_s, u"Konsole"_s, system + u"/kde4/konsole.desktop"_s},
        {u"org.example.Terminal"_s, u"My Terminal"_s, user + u"/org.example.Terminal.desktop"_s},
        {u"vendor-tools-editor"_s, u"Vendor Editor"_s, system + u"/vendor-tools-editor.desktop"_s},
        {u"org.example.Viewer"_s, u"Viewer"_s, local + u"/org.example.Viewer.desktop"_s},
    };
    EXPECT_EQ(scan(), expected);

    // Folders as $XDG_DATA_DIRS may give them: missing, repeated, with a trailing "/".
    const DesktopEntryApplicationBundles untidyFolders{
        {disk.path(u"missing"_s), user + u'/', local, system, local}};
    EXPECT_EQ(InstalledAppsScanner::scan(untidyFolders), expected);
}

TEST_F(DesktopEntryApplicationBundlesTest, HiddenEntriesAreLeftOutAndHideLaterCopies)
{
    const QStringList hidden{u"removed"_s, u"no-display"_s, u"link"_s, u"broken"_s};
    for (const QString& id : hidden)
        disk.writeApplication(u"usr/applications/"_s + id + u".desktop"_s, "System copy");
    disk.writeApplication(u"home/applications/removed.desktop"_s, "Removed", "Hidden=true\n");
    disk.writeApplication(u"home/applications/no-display.desktop"_s, "No Display",
                          "NoDisplay=true\n");
    disk.write(u"home/applications/link.desktop"_s,
               "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.com\n");
    disk.write(u"home/applications/broken.desktop"_s, "Name=No main group\n");
    disk.writeApplication(u"usr/applications/shown.desktop"_s, "Shown",
                          "Hidden=false\nNoDisplay=false\n");

    const QList<InstalledApp> expected{{u"shown"_s, u"Shown"_s, system + u"/shown.desktop"_s}};
    EXPECT_EQ(scan(), expected);
}

TEST_F(DesktopEntryApplicationBundlesTest, NameIsTakenInTheUsersLanguageElseTheIdentifier)
{
    disk.writeApplication(u"usr/applications/calculator.desktop"_s, "Calculator",
                          "Name[de]=Rechner\nName[fr]=Calculatrice\n");
    disk.write(u"usr/applications/org.example.Nameless.desktop"_s,
               "[Desktop Entry]\nType=Application\nExec=true\n");
    // Every test runs in a process of its own, so the setting ends with the test.
    qputenv("LC_ALL", "de_DE.UTF-8");

    const QList<InstalledApp> expected{
        {u"org.example.Nameless"_s, u"org.example.Nameless"_s,
         system + u"/org.example.Nameless.desktop"_s},
        {u"calculator"_s, u"Rechner"_s, system + u"/calculator.desktop"_s},
    };
    EXPECT_EQ(scan(), expected);
}
