#include "platform/linux/ApplicationResolver.h"

#include "TemporaryApplicationFolders.h"
#include "support/RunningApplicationPrinter.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace korvalen;
using korvalen::testing::TemporaryApplicationFolders;

namespace {

class ApplicationResolverTest : public ::testing::Test {
protected:
    TemporaryApplicationFolders folders;
    QStringList applicationFolders = {folders.path(QStringLiteral("home/applications")),
                                      folders.path(QStringLiteral("system/applications"))};

    QString home(const char* fileName, const QByteArray& name, const QByteArray& lines = {}) const
    {
        return folders.writeApplication(
            QStringLiteral("home/applications/") + QString::fromUtf8(fileName), name, lines);
    }
    QString system(const char* fileName, const QByteArray& name, const QByteArray& lines = {}) const
    {
        return folders.writeApplication(
            QStringLiteral("system/applications/") + QString::fromUtf8(fileName), name, lines);
    }
    // An entry with its own Exec line.
    QString launched(const char* fileName, const QByteArray& name, const QByteArray& lines) const
    {
        return folders.write(QStringLiteral("system/applications/") + QString::fromUtf8(fileName),
                             "[Desktop Entry]\nType=Application\nName=" + name + "\n" + lines);
    }
    // The control groups of a process, as the kernel lists them in /proc/<id>/cgroup.
    void placeProcess(int processID, const QByteArray& controlGroups) const
    {
        folders.write(QStringLiteral("proc/%1/cgroup").arg(processID), controlGroups);
    }

    RunningApplication resolve(const WindowApplicationHints& hints,
                               const QString& locale = QStringLiteral("en_US.UTF-8")) const
    {
        return ApplicationResolver(applicationFolders, locale, folders.path(QStringLiteral("proc")))
            .applicationForWindow(hints);
    }
};

WindowApplicationHints wmClass(const char* instance, const char* className)
{
    return {{}, {}, QString::fromUtf8(instance), QString::fromUtf8(className)};
}

RunningApplication application(const char* id, const char* name, const QString& path = {})
{
    return {QString::fromUtf8(id), QString::fromUtf8(name), path,
            RunningApplication::ActivationPolicy::regular};
}

} // namespace

TEST_F(ApplicationResolverTest, ToolkitHintsComeFirst)
{
    const QString files = system("org.example.Files.desktop", "Files");
    const QString viewer = system("org.example.Viewer.desktop", "Viewer");
    system("files.desktop", "Named After The Class", "StartupWMClass=files\n");

    WindowApplicationHints gtk = wmClass("files", "Files");
    gtk.gtkApplicationID = QStringLiteral("org.example.Files");
    gtk.desktopFile = QStringLiteral("org.example.Viewer");
    EXPECT_EQ(resolve(gtk), application("org.example.Files", "Files", files));

    // A toolkit's identifier stands even without a desktop entry; the class then names it.
    gtk.gtkApplicationID = QStringLiteral("org.example.Unpackaged");
    EXPECT_EQ(resolve(gtk), application("org.example.Unpackaged", "Files"));

    // A desktop file in a subfolder is known by its desktop-file ID, the "/" made a "-".
    const RunningApplication konsole =
        application("kde4-konsole", "Konsole", system("kde4/konsole.desktop", "Konsole"));
    const std::pair<const char*, RunningApplication> desktopFiles[] = {
        {"org.example.Viewer", application("org.example.Viewer", "Viewer", viewer)},
        {"org.example.Viewer.desktop", application("org.example.Viewer", "Viewer", viewer)},
        {"/usr/share/applications/org.example.Viewer.desktop",
         application("org.example.Viewer", "Viewer", viewer)},
        {"kde4/konsole.desktop", konsole},
        {"kde4-konsole", konsole},
        {"/usr/share/applications/kde4/konsole.desktop", konsole},
    };
    for (const auto& [desktopFile, expected] : desktopFiles) {
        WindowApplicationHints kde = wmClass("viewer", "Viewer");
        kde.desktopFile = QString::fromUtf8(desktopFile);
        EXPECT_EQ(resolve(kde), expected) << desktopFile;
    }
}

TEST_F(ApplicationResolverTest, WMClassFindsTheDesktopEntryInTheDocumentedOrder)
{
    const QString byInstance =
        system("org.example.Term.desktop", "Term", "StartupWMClass=term-main\n");
    const QString byClass =
        system("org.example.Console.desktop", "Console", "StartupWMClass=TermClass\n");
    const QString calc = system("calc.desktop", "Calc");
    system("Calculator.desktop", "Calculator by class");
    const QString browser = system("Browser.desktop", "Browser");
    const QString mixer = system("mixer.desktop", "Mixer");
    system("tool.desktop", "Tool in lower case");
    const QString kit = system("Kit.desktop", "Kit");

    // StartupWMClass, the instance before the class, before any entry named after either.
    EXPECT_EQ(resolve(wmClass("term-main", "TermClass")),
              application("org.example.Term", "Term", byInstance));
    EXPECT_EQ(resolve(wmClass("calc", "TermClass")),
              application("org.example.Console", "Console", byClass));
    // Entries named after the instance, then the class, then the same in lower case.
    EXPECT_EQ(resolve(wmClass("calc", "Calculator")), application("calc", "Calc", calc));
    EXPECT_EQ(resolve(wmClass("navigator", "Browser")), application("Browser", "Browser", browser));
    EXPECT_EQ(resolve(wmClass("Mixer", "Mixer")), application("mixer", "Mixer", mixer));
    EXPECT_EQ(resolve(wmClass("Tool", "Kit")), application("Kit", "Kit", kit));
    // StartupWMClass and entry names are compared exactly.
    EXPECT_EQ(resolve(wmClass("TERM-MAIN", "Other")), application("Other", "Other"));
}

TEST_F(ApplicationResolverTest, OtherwiseTheProgramOrTheProcesssLaunchScopeFindsTheEntry)
{
    const RunningApplication code = application(
        "com.example.Code", "Code",
        launched("com.example.Code.desktop", "Code", "Exec=\"/opt/code/code\" --new-window %F\n"));
    const RunningApplication mixer = application(
        "org.example.Mixer", "Mixer",
        launched("org.example.Mixer.desktop", "Mixer", "TryExec=/usr/bin/mixer\nExec=env X=1 m\n"));
    const RunningApplication calculator =
        application("org.example.Calculator", "Calculator",
                    system("org.example.Calculator.desktop", "Calculator"));
    const RunningApplication chrome = application("google-chrome", "Google Chrome",
                                                  system("google-chrome.desktop", "Google Chrome"));
    const RunningApplication notes =
        application("notes_notes", "Notes", system("notes_notes.desktop", "Notes"));
    const auto window = [](const char* instance, const char* className, qint64 processID = 0) {
        WindowApplicationHints hints = wmClass(instance, className);
        hints.processID = processID;
        return hints;
    };

    EXPECT_EQ(resolve(window("code", "Code")), code);
    EXPECT_EQ(resolve(window("mixer", "Mixer")), mixer);

    // Launchers start each application in a scope of its own, named after the application ID.
    placeProcess(41, "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                     "app-flatpak-org.example.Calculator-2150.scope\n");
    placeProcess(42, "12:cpu:/\n0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                     "app-gnome-google\\x2dchrome-7731.scope\n");
    placeProcess(43, "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                     "snap.notes.notes-5d2e9c1a-4b3f-4a7e-9c1d-0e6f2a8b7c3d.scope\n");
    placeProcess(44, "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                     "app-gnome-org.example.Missing-12.scope\n");
    EXPECT_EQ(resolve(window("calc", "Calc", 41)), calculator);
    EXPECT_EQ(resolve(window("browser", "Browser", 42)), chrome);
    EXPECT_EQ(resolve(window("notes", "NotesWindow", 43)), notes);
    // A scope without an entry, or a process that is gone, leaves the class.
    EXPECT_EQ(resolve(window("missing", "Missing", 44)), application("Missing", "Missing"));
    EXPECT_EQ(resolve(window("gone", "Gone", 45)), application("Gone", "Gone"));
}

TEST_F(ApplicationResolverTest, WithoutAnEntryTheClassIsTheIdentifierAndName)
{
    EXPECT_EQ(resolve(wmClass("xclock", "XClock")), application("XClock", "XClock"));
    EXPECT_EQ(resolve(wmClass("only-instance", "")), application("only-instance", "only-instance"));
    const RunningApplication anonymous = resolve(WindowApplicationHints());
    EXPECT_EQ(anonymous.bundleID, std::nullopt);
    EXPECT_EQ(anonymous.localizedName, QString());

    // Hidden or non-application entries identify nothing, even under the class's own name.
    home("Hidden.desktop", "Hidden", "Hidden=true\n");
    system("Hidden.desktop", "System copy", "StartupWMClass=Hidden\n");
    folders.write(QStringLiteral("system/applications/Site.desktop"),
                  "[Desktop Entry]\nType=Link\nName=Site\nStartupWMClass=Site\n");
    EXPECT_EQ(resolve(wmClass("hidden", "Hidden")), application("Hidden", "Hidden"));
    EXPECT_EQ(resolve(wmClass("site", "Site")), application("Site", "Site"));
}

TEST_F(ApplicationResolverTest, NameIsTheEntrysNameInTheUsersLanguage)
{
    const QString path = system("org.example.Files.desktop", "Files",
                                "Name[de]=Dateien\nName[zh_CN]=文件\nStartupWMClass=files\n");
    const QString unnamed = system("unnamed.desktop", "");
    EXPECT_EQ(resolve(wmClass("files", "Files"), QStringLiteral("de_AT.UTF-8")),
              application("org.example.Files", "Dateien", path));
    EXPECT_EQ(resolve(wmClass("files", "Files"), QStringLiteral("zh_CN.UTF-8")),
              application("org.example.Files", "文件", path));
    EXPECT_EQ(resolve(wmClass("files", "Files"), QString()),
              application("org.example.Files", "Files", path));
    // An entry with an empty name leaves the class to name the application.
    EXPECT_EQ(resolve(wmClass("unnamed", "Unnamed")), application("unnamed", "Unnamed", unnamed));
}

TEST_F(ApplicationResolverTest, EntriesInstalledWhileRunningAreFoundOnceTheFoldersSettle)
{
    folders.writeApplication(QStringLiteral("system/applications/vendor/editor.desktop"), "Editor");
    folders.age(QStringLiteral("system/applications"));
    const ApplicationResolver resolver(applicationFolders, QString());
    int changes = 0;
    const Subscription counting = resolver.subscribeToEntryChanges([&] { ++changes; });

    EXPECT_EQ(resolver.pathForApplication(QStringLiteral("vendor-editor")),
              folders.path(QStringLiteral("system/applications/vendor/editor.desktop")));
    EXPECT_EQ(resolver.pathForApplication(QStringLiteral("late")), std::nullopt);
    EXPECT_EQ(resolver.applicationForWindow(wmClass("late", "Late")), application("Late", "Late"));

    // The user's own folder appears with its first entry.
    const QString late = home("late.desktop", "Late Arrival");
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 5000));
    EXPECT_EQ(resolver.pathForApplication(QStringLiteral("late")), late);
    EXPECT_EQ(resolver.applicationForWindow(wmClass("late", "Late")),
              application("late", "Late Arrival", late));
}
