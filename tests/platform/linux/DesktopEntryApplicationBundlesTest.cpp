#include "platform/linux/DesktopEntryApplicationBundles.h"
#include "apps/InstalledAppsScanner.h"

#include "TemporaryApplicationFolders.h"
#include "support/InstalledAppPrinter.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace korvalen;
using korvalen::testing::TemporaryApplicationFolders;

namespace {

// The user's applications folder, then two system ones, as $XDG_DATA_HOME and $XDG_DATA_DIRS
// give them.
class DesktopEntryApplicationBundlesTest : public ::testing::Test {
protected:
    TemporaryApplicationFolders disk;
    const QString user = disk.path(QStringLiteral("home/applications"));
    const QString local = disk.path(QStringLiteral("local/applications"));
    const QString system = disk.path(QStringLiteral("usr/applications"));
    const DesktopEntryApplicationBundles bundles{{user, local, system}};

    QList<InstalledApp> scan() const { return InstalledAppsScanner::scan(bundles); }
};

} // namespace

TEST_F(DesktopEntryApplicationBundlesTest, ListsEachDesktopFileIDOnceFromTheFirstFolderHoldingIt)
{
    disk.writeApplication(QStringLiteral("home/applications/org.example.Terminal.desktop"),
                          "My Terminal");
    disk.writeApplication(QStringLiteral("usr/applications/org.example.Terminal.desktop"),
                          "Terminal");
    // Sub-folders make part of the ID; of two files with one ID, the first in byte order wins.
    disk.writeApplication(QStringLiteral("usr/applications/kde4/konsole.desktop"), "Konsole");
    disk.writeApplication(QStringLiteral("usr/applications/vendor/tools/editor.desktop"),
                          "Vendor Editor (nested)");
    disk.writeApplication(QStringLiteral("usr/applications/vendor-tools-editor.desktop"),
                          "Vendor Editor");
    disk.write(QStringLiteral("usr/applications/mimeinfo.cache"), "[MIME Cache]\n");
    disk.writeApplication(QStringLiteral("usr/applications/upper.DESKTOP"), "Upper");
    disk.writeApplication(QStringLiteral("usr/applications/.hidden.desktop"), "Dot File");
    // A link to a desktop file counts; a link loop among the folders ends the walk.
    disk.writeApplication(QStringLiteral("elsewhere/viewer.desktop"), "Viewer");
    ASSERT_TRUE(QDir().mkpath(local));
    ASSERT_TRUE(
        QFile::link(disk.path(QStringLiteral("elsewhere/viewer.desktop")),
                    disk.path(QStringLiteral("local/applications/org.example.Viewer.desktop"))));
    ASSERT_TRUE(QFile::link(local, local + QStringLiteral("/loop")));

    const QList<InstalledApp> expected{
        {QStringLiteral("kde4-konsole"), QStringLiteral("Konsole"),
         system + QStringLiteral("/kde4/konsole.desktop")},
        {QStringLiteral("org.example.Terminal"), QStringLiteral("My Terminal"),
         user + QStringLiteral("/org.example.Terminal.desktop")},
        {QStringLiteral("vendor-tools-editor"), QStringLiteral("Vendor Editor"),
         system + QStringLiteral("/vendor-tools-editor.desktop")},
        {QStringLiteral("org.example.Viewer"), QStringLiteral("Viewer"),
         local + QStringLiteral("/org.example.Viewer.desktop")},
    };
    EXPECT_EQ(scan(), expected);

    // Folders as $XDG_DATA_DIRS may give them: missing, repeated, with a trailing "/".
    const DesktopEntryApplicationBundles untidyFolders{
        {disk.path(QStringLiteral("missing")), user + u'/', local, system, local}};
    EXPECT_EQ(InstalledAppsScanner::scan(untidyFolders), expected);
}

TEST_F(DesktopEntryApplicationBundlesTest, HiddenEntriesAreLeftOutAndHideLaterCopies)
{
    const QStringList hidden{QStringLiteral("removed"), QStringLiteral("no-display"),
                             QStringLiteral("link"), QStringLiteral("broken")};
    for (const QString& id : hidden)
        disk.writeApplication(QStringLiteral("usr/applications/") + id + QStringLiteral(".desktop"),
                              "System copy");
    disk.writeApplication(QStringLiteral("home/applications/removed.desktop"), "Removed",
                          "Hidden=true\n");
    disk.writeApplication(QStringLiteral("home/applications/no-display.desktop"), "No Display",
                          "NoDisplay=true\n");
    disk.write(QStringLiteral("home/applications/link.desktop"),
               "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.com\n");
    disk.write(QStringLiteral("home/applications/broken.desktop"), "Name=No main group\n");
    disk.writeApplication(QStringLiteral("usr/applications/shown.desktop"), "Shown",
                          "Hidden=false\nNoDisplay=false\n");

    const QList<InstalledApp> expected{{QStringLiteral("shown"), QStringLiteral("Shown"),
                                        system + QStringLiteral("/shown.desktop")}};
    EXPECT_EQ(scan(), expected);
}

TEST_F(DesktopEntryApplicationBundlesTest, NameIsTakenInTheUsersLanguageElseTheIdentifier)
{
    disk.writeApplication(QStringLiteral("usr/applications/calculator.desktop"), "Calculator",
                          "Name[de]=Rechner\nName[fr]=Calculatrice\n");
    disk.write(QStringLiteral("usr/applications/org.example.Nameless.desktop"),
               "[Desktop Entry]\nType=Application\nExec=true\n");
    // Every test runs in a process of its own, so the setting ends with the test.
    qputenv("LC_ALL", "de_DE.UTF-8");

    const QList<InstalledApp> expected{
        {QStringLiteral("org.example.Nameless"), QStringLiteral("org.example.Nameless"),
         system + QStringLiteral("/org.example.Nameless.desktop")},
        {QStringLiteral("calculator"), QStringLiteral("Rechner"),
         system + QStringLiteral("/calculator.desktop")},
    };
    EXPECT_EQ(scan(), expected);
}
