#include "apps/InstalledAppsScanner.h"
#include "platform/InfoPlistApplicationBundles.h"
#include "platform/sim/SimWorkspace.h"

#include "AppBundleFolders.h"
#include "support/InstalledAppPrinter.h"

#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::AppBundleFolders;
using Policy = RunningApplication::ActivationPolicy;

namespace {

// The four application folders of a Mac, inside a temporary directory.
class InstalledAppsScannerTest : public ::testing::Test {
protected:
    AppBundleFolders disk;
    const QString applications = disk.path(u"Applications"_s);
    const QString system = disk.path(u"System/Applications"_s);
    const QString utilities = disk.path(u"System/Applications/Utilities"_s);
    const QString home = disk.path(u"home/Applications"_s);
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
    disk.writeApp(u"Applications/Editor.app"_s, "com.example.editor", {}, "Editor");
    disk.writeApp(u"Applications/Editor Beta.app"_s, "com.example.editor-beta", {}, "Editor Beta");
    // A later copy is dropped even when it names itself differently.
    disk.writeApp(u"home/Applications/Editor.app"_s, "com.example.editor", "Editor (Home)");
    disk.writeApp(u"System/Applications/Mail.app"_s, "com.example.mail", {}, "Mail");
    disk.writeApp(u"home/Applications/Mail Copy.app"_s, "com.example.mail", {}, "Mail Copy");
    // Utilities lies inside a scanned folder but is listed by name, so it is read exactly once.
    disk.writeApp(u"System/Applications/Utilities/Terminal.app"_s, "com.example.terminal");

    const QList<InstalledApp> expected{
        {u"com.example.editor"_s, u"Editor"_s, applications + u"/Editor.app"_s},
        {u"com.example.editor-beta"_s, u"Editor Beta"_s, applications + u"/Editor Beta.app"_s},
        {u"com.example.mail"_s, u"Mail"_s, system + u"/Mail.app"_s},
        {u"com.example.terminal"_s, u"Terminal"_s, utilities + u"/Terminal.app"_s},
    };
    EXPECT_EQ(scan(), expected);
}

TEST_F(InstalledAppsScannerTest, FoldersThatCannotBeListedArePassedOver)
{
    disk.writeApp(u"Applications/Editor.app"_s, "com.example.editor");
    disk.writeApp(u"home/Applications/Tool.app"_s, "com.example.tool");
    const QList<InstalledApp> withAllFolders = scan();
    ASSERT_EQ(withAllFolders.size(), 2);

    // A fresh account has no "Applications" in its home folder; other folders may be files.
    const QString file = disk.write(u"not-a-folder"_s, "x");
    const InfoPlistApplicationBundles withMissing{
        {disk.path(u"missing"_s), applications, file, system, utilities, home}};
    EXPECT_EQ(InstalledAppsScanner::scan(withMissing), withAllFolders);
}

TEST_F(InstalledAppsScannerTest, OnlyBundlesDirectlyInsideNamedDotAppWithAnIdentifierAreListed)
{
    disk.writeApp(u"Applications/.Hidden Helper.app"_s, "com.example.hidden");
    disk.writeApp(u"Applications/Games/Chess.app"_s, "com.example.chess");
    disk.writeApp(u"Applications/Notes.APP"_s, "com.example.upper-case");
    disk.writeApp(u"Applications/Notes.app.zip"_s, "com.example.zip");
    disk.write(u"Applications/Readme.txt"_s, "read me");
    disk.write(u"Applications/File.app"_s, "a file, not a bundle");
    QDir().mkpath(disk.path(u"Applications/Empty.app"_s));
    disk.writeBundle(u"Applications/No Identifier.app"_s,
                     AppBundleFolders::entry("CFBundleName", "No Identifier"));
    disk.writeBundle(u"Applications/Number Identifier.app"_s,
                     "<key>CFBundleIdentifier</key><integer>42</integer>\n");
    disk.writeApp(u"Applications/Empty Identifier.app"_s, "");
    disk.write(u"Applications/Broken.app/Contents/Info.plist"_s,
               "<plist><dict><key>CFBundleIdentifier</key><string>com.example.broken");
    ASSERT_TRUE(
        QFile::link(disk.path(u"Applications/Loop.app"_s), disk.path(u"Applications/Loop.app"_s)));
    disk.writeApp(u"elsewhere/Linked.app"_s, "com.example.linked");
    ASSERT_TRUE(
        QFile::link(disk.path(u"elsewhere/Linked.app"_s), disk.path(u"Applications/Linked.app"_s)));

    const QList<InstalledApp> expected{
        {u"com.example.hidden"_s, u".Hidden Helper"_s, applications + u"/.Hidden Helper.app"_s},
        {u"com.example.linked"_s, u"Linked"_s, applications + u"/Linked.app"_s},
    };
    EXPECT_EQ(scan(), expected);
}

TEST_F(InstalledAppsScannerTest, ListsInTheBinaryFormAreLeftToThePlatformsReader)
{
    // What Core Foundation reads on macOS; a stand-in here, keyed by the bytes it is handed.
    const QByteArray calculator("bplist00 calculator");
    const QByteArray broken("bplist00 broken");
    QList<QByteArray> handed;
    const InfoPlist::BinaryReader reader =
        [&](const QByteArray& contents) -> std::optional<InfoPlist::Texts> {
        handed.append(contents);
        if (contents != calculator)
            return std::nullopt;
        return InfoPlist::Texts{{u"CFBundleIdentifier"_s, u"com.example.calculator"_s},
                                {u"CFBundleName"_s, u"Calculator"_s}};
    };
    disk.write(u"Applications/Calculator.app/Contents/Info.plist"_s, calculator);
    disk.write(u"Applications/Broken.app/Contents/Info.plist"_s, broken);
    disk.writeApp(u"Applications/Editor.app"_s, "com.example.editor", "Editor");

    const QList<InstalledApp> expected{
        {u"com.example.calculator"_s, u"Calculator"_s, applications + u"/Calculator.app"_s},
        {u"com.example.editor"_s, u"Editor"_s, applications + u"/Editor.app"_s},
    };
    EXPECT_EQ(InstalledAppsScanner::scan(InfoPlistApplicationBundles({applications}, reader)),
              expected);
    EXPECT_EQ(handed.size(), 2) << "the XML list is read here";
    EXPECT_EQ(displayNames(scan()), QStringList{u"Editor"_s}) << "without a reader, no binary";
}

TEST_F(InstalledAppsScannerTest, DisplayNameIsTheFirstNameGivenAsTextThenTheEntryName)
{
    disk.writeApp(u"Applications/Both.app"_s, "both", "Display", "Short");
    disk.writeApp(u"Applications/Short Only.app"_s, "short", {}, "Short");
    disk.writeApp(u"Applications/Empty Name.app"_s, "empty", "", "Short");
    disk.writeBundle(u"Applications/Typed.app"_s,
                     AppBundleFolders::entry("CFBundleIdentifier", "typed") +
                         "<key>CFBundleDisplayName</key><integer>7</integer>\n" +
                         AppBundleFolders::entry("CFBundleName", "Typed Short"));
    disk.writeApp(u"Applications/Tool.app"_s, "tool");
    disk.writeApp(u"Applications/Re.apply.app"_s, "reapply");

    const QHash<QString, QString> expected{
        {u"both"_s, u"Display"_s},      {u"short"_s, u"Short"_s}, {u"empty"_s, QString()},
        {u"typed"_s, u"Typed Short"_s}, {u"tool"_s, u"Tool"_s},   {u"reapply"_s, u"Rely"_s},
    };
    EXPECT_EQ(namesByIdentifier(), expected);
}

TEST_F(InstalledAppsScannerTest, SortsAsAFileBrowserAndKeepsTiesInTheOrderFound)
{
    disk.writeApp(u"Applications/10.app"_s, "ten", {}, "App 10");
    disk.writeApp(u"Applications/9.app"_s, "nine", {}, "App 9");
    disk.writeApp(u"Applications/b.app"_s, "beta", {}, "Beta");
    disk.writeApp(u"Applications/a.app"_s, "alpha", {}, "alpha");
    // Names that differ only in case tie; folder order decides, not the names or paths.
    disk.writeApp(u"home/Applications/A.app"_s, "notes-home", {}, "notes");
    disk.writeApp(u"Applications/Z.app"_s, "notes-applications", {}, "Notes");
    disk.writeApp(u"System/Applications/M.app"_s, "notes-system", {}, "NOTES");

    EXPECT_EQ(displayNames(scan()), (QStringList{u"alpha"_s, u"App 9"_s, u"App 10"_s, u"Beta"_s,
                                                 u"Notes"_s, u"NOTES"_s, u"notes"_s}));
}

TEST_F(InstalledAppsScannerTest,
       PickerTakesRunningOrdinaryApplicationsAsTheyRunAndTheRestAsInstalled)
{
    disk.writeApp(u"Applications/Editor.app"_s, "com.example.editor", "Editor");
    disk.writeApp(u"Applications/Helper.app"_s, "com.example.helper", "Helper");
    disk.writeApp(u"Applications/Viewer.app"_s, "com.example.viewer", "Viewer");

    SimWorkspace workspace;
    workspace.setRunningApplications({
        {u"com.example.editor"_s, u"Editor (Running)"_s, u"/Volumes/Editor/Editor.app"_s,
         Policy::regular},
        {u"com.example.editor"_s, u"Editor Again"_s, u"/elsewhere/Editor.app"_s, Policy::regular},
        // Started from a disk image: not installed, still offered.
        {u"com.example.disk-tool"_s, u"Disk Tool"_s, u"/Volumes/Disk/Tool.app"_s, Policy::regular},
        {u"com.example.unnamed"_s, QString(), QString(), Policy::regular},
        {std::nullopt, u"No Identifier"_s, QString(), Policy::regular},
        {QString(), u"Empty Identifier"_s, QString(), Policy::regular},
        // Not ordinary applications: only their installed copies count.
        {u"com.example.helper"_s, u"Helper (Running)"_s, u"/run/Helper.app"_s, Policy::accessory},
        {u"com.example.menu-extra"_s, u"Menu Extra"_s, u"/run/Extra.app"_s, Policy::accessory},
        {u"com.example.daemon"_s, u"Daemon"_s, u"/run/Daemon.app"_s, Policy::prohibited},
    });

    const QList<InstalledApp> expected{
        {u"com.example.unnamed"_s, u"com.example.unnamed"_s, QString()},
        {u"com.example.disk-tool"_s, u"Disk Tool"_s, u"/Volumes/Disk/Tool.app"_s},
        {u"com.example.editor"_s, u"Editor (Running)"_s, u"/Volumes/Editor/Editor.app"_s},
        {u"com.example.helper"_s, u"Helper"_s, applications + u"/Helper.app"_s},
        {u"com.example.viewer"_s, u"Viewer"_s, applications + u"/Viewer.app"_s},
    };
    EXPECT_EQ(InstalledAppsScanner::pickerApps(bundles, workspace), expected);
}

TEST_F(InstalledAppsScannerTest, PickerPutsRunningApplicationsBeforeInstalledOnesOfTheSameName)
{
    disk.writeApp(u"Applications/Mail.app"_s, "com.example.mail", "Mail");
    SimWorkspace workspace;
    workspace.setRunningApplications(
        {{u"com.example.other-mail"_s, u"mail"_s, QString(), Policy::regular}});

    const QList<InstalledApp> apps = InstalledAppsScanner::pickerApps(bundles, workspace);
    ASSERT_EQ(apps.size(), 2);
    EXPECT_EQ(apps.at(0).bundleID, u"com.example.other-mail"_s);
    EXPECT_EQ(apps.at(1).bundleID, u"com.example.mail"_s);
}
