#include "apps/InstalledAppsScanner.h"
#include "platform/InfoPlistApplicationBundles.h"
#include "platform/sim/SimWorkspace.h"

#include "AppBundleFolders.h"
#include "support/InstalledAppPrinter.h"

#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

using namespace korvalen;
using korvalen::testing::AppBundleFolders;
using Policy = RunningApplication::ActivationPolicy;

namespace {

// The four application folders of a Mac, inside a temporary directory.
class InstalledAppsScannerTest : public ::testing::Test {
protected:
    AppBundleFolders disk;
    const QString applications = disk.path(QStringLiteral("Applications"));
    const QString system = disk.path(QStringLiteral("System/Applications"));
    const QString utilities = disk.path(QStringLiteral("System/Applications/Utilities"));
    const QString home = disk.path(QStringLiteral("home/Applications"));
    const InfoPlistApplicationBundles bundles{{applications, system, utilities, home}};

    QList<InstalledApp> scan() const { return InstalledAppsScanner::scan(bundles); }

    // The display names of the scan, by identifier.
    QHash<QString, QString> namesByIdentifier() const
    {
        QHash<QString, QString> names;
        for (const InstalledApp& app : scan())
            names.insert(app.bundleID, app.displayName);
        return names;
    }
};

QStringList displayNames(const QList<InstalledApp>& apps)
{
    QStringList names;
    for (const InstalledApp& app : apps)
        names.append(app.displayName);
    return names;
}

} // namespace

TEST_F(InstalledAppsScannerTest, FirstCopyOfAnIdentifierWinsInFolderOrder)
{
    disk.writeApp(QStringLiteral("Applications/Editor.app"), "com.example.editor", {}, "Editor");
    disk.writeApp(QStringLiteral("Applications/Editor Beta.app"), "com.example.editor-beta", {},
                  "Editor Beta");
    // A later copy is dropped even when it names itself differently.
    disk.writeApp(QStringLiteral("home/Applications/Editor.app"), "com.example.editor",
                  "Editor (Home)");
    disk.writeApp(QStringLiteral("System/Applications/Mail.app"), "com.example.mail", {}, "Mail");
    disk.writeApp(QStringLiteral("home/Applications/Mail Copy.app"), "com.example.mail", {},
                  "Mail Copy");
    // Utilities lies inside a scanned folder but is listed by name, so it is read exactly once.
    disk.writeApp(QStringLiteral("System/Applications/Utilities/Terminal.app"),
                  "com.example.terminal");

    const QList<InstalledApp> expected{
        {QStringLiteral("com.example.editor"), QStringLiteral("Editor"),
         applications + QStringLiteral("/Editor.app")},
        {QStringLiteral("com.example.editor-beta"), QStringLiteral("Editor Beta"),
         applications + QStringLiteral("/Editor Beta.app")},
        {QStringLiteral("com.example.mail"), QStringLiteral("Mail"),
         system + QStringLiteral("/Mail.app")},
        {QStringLiteral("com.example.terminal"), QStringLiteral("Terminal"),
         utilities + QStringLiteral("/Terminal.app")},
    };
    EXPECT_EQ(scan(), expected);
}

TEST_F(InstalledAppsScannerTest, FoldersThatCannotBeListedArePassedOver)
{
    disk.writeApp(QStringLiteral("Applications/Editor.app"), "com.example.editor");
    disk.writeApp(QStringLiteral("home/Applications/Tool.app"), "com.example.tool");
    const QList<InstalledApp> withAllFolders = scan();
    ASSERT_EQ(withAllFolders.size(), 2);

    // A fresh account has no "Applications" in its home folder; other folders may be files.
    const QString file = disk.write(QStringLiteral("not-a-folder"), "x");
    const InfoPlistApplicationBundles withMissing{
        {disk.path(QStringLiteral("missing")), applications, file, system, utilities, home}};
    EXPECT_EQ(InstalledAppsScanner::scan(withMissing), withAllFolders);
}

TEST_F(InstalledAppsScannerTest, OnlyBundlesDirectlyInsideNamedDotAppWithAnIdentifierAreListed)
{
    disk.writeApp(QStringLiteral("Applications/.Hidden Helper.app"), "com.example.hidden");
    disk.writeApp(QStringLiteral("Applications/Games/Chess.app"), "com.example.chess");
    disk.writeApp(QStringLiteral("Applications/Notes.APP"), "com.example.upper-case");
    disk.writeApp(QStringLiteral("Applications/Notes.app.zip"), "com.example.zip");
    disk.write(QStringLiteral("Applications/Readme.txt"), "read me");
    disk.write(QStringLiteral("Applications/File.app"), "a file, not a bundle");
    QDir().mkpath(disk.path(QStringLiteral("Applications/Empty.app")));
    disk.writeBundle(QStringLiteral("Applications/No Identifier.app"),
                     AppBundleFolders::entry("CFBundleName", "No Identifier"));
    disk.writeBundle(QStringLiteral("Applications/Number Identifier.app"),
                     "<key>CFBundleIdentifier</key><integer>42</integer>\n");
    disk.writeApp(QStringLiteral("Applications/Empty Identifier.app"), "");
    disk.write(QStringLiteral("Applications/Broken.app/Contents/Info.plist"),
               "<plist><dict><key>CFBundleIdentifier</key><string>com.example.broken");
    ASSERT_TRUE(QFile::link(disk.path(QStringLiteral("Applications/Loop.app")),
                            disk.path(QStringLiteral("Applications/Loop.app"))));
    disk.writeApp(QStringLiteral("elsewhere/Linked.app"), "com.example.linked");
    ASSERT_TRUE(QFile::link(disk.path(QStringLiteral("elsewhere/Linked.app")),
                            disk.path(QStringLiteral("Applications/Linked.app"))));

    const QList<InstalledApp> expected{
        {QStringLiteral("com.example.hidden"), QStringLiteral(".Hidden Helper"),
         applications + QStringLiteral("/.Hidden Helper.app")},
        {QStringLiteral("com.example.linked"), QStringLiteral("Linked"),
         applications + QStringLiteral("/Linked.app")},
    };
    EXPECT_EQ(scan(), expected);
}

TEST_F(InstalledAppsScannerTest, DisplayNameIsTheFirstNameGivenAsTextThenTheEntryName)
{
    disk.writeApp(QStringLiteral("Applications/Both.app"), "both", "Display", "Short");
    disk.writeApp(QStringLiteral("Applications/Short Only.app"), "short", {}, "Short");
    disk.writeApp(QStringLiteral("Applications/Empty Name.app"), "empty", "", "Short");
    disk.writeBundle(QStringLiteral("Applications/Typed.app"),
                     AppBundleFolders::entry("CFBundleIdentifier", "typed") +
                         "<key>CFBundleDisplayName</key><integer>7</integer>\n" +
                         AppBundleFolders::entry("CFBundleName", "Typed Short"));
    disk.writeApp(QStringLiteral("Applications/Tool.app"), "tool");
    disk.writeApp(QStringLiteral("Applications/Re.apply.app"), "reapply");

    const QHash<QString, QString> expected{
        {QStringLiteral("both"), QStringLiteral("Display")},
        {QStringLiteral("short"), QStringLiteral("Short")},
        {QStringLiteral("empty"), QString()},
        {QStringLiteral("typed"), QStringLiteral("Typed Short")},
        {QStringLiteral("tool"), QStringLiteral("Tool")},
        {QStringLiteral("reapply"), QStringLiteral("Rely")},
    };
    EXPECT_EQ(namesByIdentifier(), expected);
}

TEST_F(InstalledAppsScannerTest, SortsAsAFileBrowserAndKeepsTiesInTheOrderFound)
{
    disk.writeApp(QStringLiteral("Applications/10.app"), "ten", {}, "App 10");
    disk.writeApp(QStringLiteral("Applications/9.app"), "nine", {}, "App 9");
    disk.writeApp(QStringLiteral("Applications/b.app"), "beta", {}, "Beta");
    disk.writeApp(QStringLiteral("Applications/a.app"), "alpha", {}, "alpha");
    // Names that differ only in case tie; folder order decides, not the names or paths.
    disk.writeApp(QStringLiteral("home/Applications/A.app"), "notes-home", {}, "notes");
    disk.writeApp(QStringLiteral("Applications/Z.app"), "notes-applications", {}, "Notes");
    disk.writeApp(QStringLiteral("System/Applications/M.app"), "notes-system", {}, "NOTES");

    EXPECT_EQ(displayNames(scan()), (QStringList{QStringLiteral("alpha"), QStringLiteral("App 9"),
                                                 QStringLiteral("App 10"), QStringLiteral("Beta"),
                                                 QStringLiteral("Notes"), QStringLiteral("NOTES"),
                                                 QStringLiteral("notes")}));
}

TEST_F(InstalledAppsScannerTest,
       PickerTakesRunningOrdinaryApplicationsAsTheyRunAndTheRestAsInstalled)
{
    disk.writeApp(QStringLiteral("Applications/Editor.app"), "com.example.editor", "Editor");
    disk.writeApp(QStringLiteral("Applications/Helper.app"), "com.example.helper", "Helper");
    disk.writeApp(QStringLiteral("Applications/Viewer.app"), "com.example.viewer", "Viewer");

    SimWorkspace workspace;
    workspace.setRunningApplications({
        {QStringLiteral("com.example.editor"), QStringLiteral("Editor (Running)"),
         QStringLiteral("/Volumes/Editor/Editor.app"), Policy::regular},
        {QStringLiteral("com.example.editor"), QStringLiteral("Editor Again"),
         QStringLiteral("/elsewhere/Editor.app"), Policy::regular},
        // Started from a disk image: not installed, still offered.
        {QStringLiteral("com.example.disk-tool"), QStringLiteral("Disk Tool"),
         QStringLiteral("/Volumes/Disk/Tool.app"), Policy::regular},
        {QStringLiteral("com.example.unnamed"), QString(), QString(), Policy::regular},
        {std::nullopt, QStringLiteral("No Identifier"), QString(), Policy::regular},
        {QString(), QStringLiteral("Empty Identifier"), QString(), Policy::regular},
        // Not ordinary applications: only their installed copies count.
        {QStringLiteral("com.example.helper"), QStringLiteral("Helper (Running)"),
         QStringLiteral("/run/Helper.app"), Policy::accessory},
        {QStringLiteral("com.example.menu-extra"), QStringLiteral("Menu Extra"),
         QStringLiteral("/run/Extra.app"), Policy::accessory},
        {QStringLiteral("com.example.daemon"), QStringLiteral("Daemon"),
         QStringLiteral("/run/Daemon.app"), Policy::prohibited},
    });

    const QList<InstalledApp> expected{
        {QStringLiteral("com.example.unnamed"), QStringLiteral("com.example.unnamed"), QString()},
        {QStringLiteral("com.example.disk-tool"), QStringLiteral("Disk Tool"),
         QStringLiteral("/Volumes/Disk/Tool.app")},
        {QStringLiteral("com.example.editor"), QStringLiteral("Editor (Running)"),
         QStringLiteral("/Volumes/Editor/Editor.app")},
        {QStringLiteral("com.example.helper"), QStringLiteral("Helper"),
         applications + QStringLiteral("/Helper.app")},
        {QStringLiteral("com.example.viewer"), QStringLiteral("Viewer"),
         applications + QStringLiteral("/Viewer.app")},
    };
    EXPECT_EQ(InstalledAppsScanner::pickerApps(bundles, workspace), expected);
}

TEST_F(InstalledAppsScannerTest, PickerPutsRunningApplicationsBeforeInstalledOnesOfTheSameName)
{
    disk.writeApp(QStringLiteral("Applications/Mail.app"), "com.example.mail", "Mail");
    SimWorkspace workspace;
    workspace.setRunningApplications({{QStringLiteral("com.example.other-mail"),
                                       QStringLiteral("mail"), QString(), Policy::regular}});

    const QList<InstalledApp> apps = InstalledAppsScanner::pickerApps(bundles, workspace);
    ASSERT_EQ(apps.size(), 2);
    EXPECT_EQ(apps.at(0).bundleID, QStringLiteral("com.example.other-mail"));
    EXPECT_EQ(apps.at(1).bundleID, QStringLiteral("com.example.mail"));
}
