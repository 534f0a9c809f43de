#include "platform/linux/X11Workspace.h"

#include "TemporaryApplicationFolders.h"
#include "support/FakeWindowManager.h"
#include "support/RunningApplicationPrinter.h"
#include "support/XvncServer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::FakeWindowManager;
using korvalen::testing::TemporaryApplicationFolders;
using korvalen::testing::XvncServer;

namespace {

using Frontmost = std::optional<QString>;

// The frontmost application's identifier at each announced activation.
class ActivationRecorder {
public:
    explicit ActivationRecorder(const Workspace& workspace)
        : m_subscription(workspace.subscribeToActivations([this, &workspace] {
            seen.append(workspace.frontmostBundleID());
            m_loop.quit();
        }))
    {
    }

    // Runs the event loop until `count` activations have been announced, for at most 10 s.
    bool waitForActivations(qsizetype count)
    {
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        timeout.start(10'000);
        while (seen.size() < count && timeout.isActive())
            m_loop.exec();
        return seen.size() >= count;
    }

    QList<Frontmost> seen;

private:
    QEventLoop m_loop;
    Subscription m_subscription;
};

class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        connect(XvncServer::displayStartedIn(QStringLiteral(KORVALEN_XVNC_DIR)));
    }

    // Plays the window manager on the display, which the workspaces made next will show.
    void connect(const QByteArray& display)
    {
        ASSERT_FALSE(display.isEmpty()) << "no Xvnc server";
        m_display = display;
        windowManager.emplace(display);
        ASSERT_TRUE(windowManager->isConnected());
    }

    std::unique_ptr<X11Workspace> makeWorkspace() const
    {
        return std::make_unique<X11Workspace>(
            m_display, ApplicationResolver({folders.path(u"applications"_s)}, QString(),
                                           folders.path(u"proc"_s)));
    }

    std::optional<FakeWindowManager> windowManager;
    TemporaryApplicationFolders folders;

private:
    QByteArray m_display;
};

RunningApplication application(
    const char* id, const char* name, const QString& path = {},
    RunningApplication::ActivationPolicy policy = RunningApplication::ActivationPolicy::regular)
{
    return {QString::fromUtf8(id), QString::fromUtf8(name), path, policy};
}

} // namespace

TEST_F(X11WorkspaceTest, ActivationIsAnnouncedWhenTheActiveWindowBelongsToAnotherApplication)
{
    FakeWindowManager& wm = *windowManager;
    const auto editor = wm.createWindow("editor", "Editor");
    const auto secondEditor = wm.createWindow("editor", "Editor");
    const auto terminal = wm.createWindow("terminal", "Terminal");
    wm.setClientList({editor, secondEditor, terminal});
    wm.activate(editor);

    const auto workspace = makeWorkspace();
    EXPECT_EQ(workspace->frontmostApplication(), application("Editor", "Editor"));
    ActivationRecorder activations(*workspace);

    // Focus moving within one application is no activation; give it the chance to be handled on
    // its own before the next change.
    wm.activate(secondEditor);
    QCoreApplication::processEvents();
    wm.activate(terminal);
    ASSERT_TRUE(activations.waitForActivations(1));
    wm.activate(editor);
    ASSERT_TRUE(activations.waitForActivations(2));
    EXPECT_EQ(activations.seen, QList<Frontmost>({u"Terminal"_s, u"Editor"_s}));

    // No active window (the desktop was clicked, or the window manager went away) is a change
    // too, and a further "none" is not.
    wm.removeActiveWindow();
    ASSERT_TRUE(activations.waitForActivations(3));
    EXPECT_EQ(workspace->frontmostApplication(), std::nullopt);
    wm.activate(0);
    QCoreApplication::processEvents();
    wm.activate(terminal);
    ASSERT_TRUE(activations.waitForActivations(4));
    EXPECT_EQ(activations.seen,
              QList<Frontmost>({u"Terminal"_s, u"Editor"_s, std::nullopt, u"Terminal"_s}));
}

TEST_F(X11WorkspaceTest, TheFocusReachingAManagedWindowActivatesItAheadOfTheWindowManager)
{
    FakeWindowManager& wm = *windowManager;
    const auto editor = wm.createWindow("editor", "Editor");
    const auto terminal = wm.createWindow("terminal", "Terminal");
    const auto chat = wm.createWindow("chat", "Chat");
    wm.setClientList({editor, terminal, chat});
    wm.activate(editor);
    wm.focus(editor);
    const auto workspace = makeWorkspace();
    ActivationRecorder activations(*workspace);

    // The window manager's word that follows the focus is no second activation.
    wm.focus(terminal);
    ASSERT_TRUE(activations.waitForActivations(1));
    wm.activate(terminal);
    // Where it names another window, or names none for a while, its active window holds.
    wm.focus(chat);
    ASSERT_TRUE(activations.waitForActivations(2));
    wm.activate(terminal);
    ASSERT_TRUE(activations.waitForActivations(3));
    wm.focus(editor);
    ASSERT_TRUE(activations.waitForActivations(5));
    EXPECT_EQ(activations.seen, QList<Frontmost>({u"Terminal"_s, u"Chat"_s, u"Terminal"_s,
                                                  u"Editor"_s, u"Terminal"_s}));
}

TEST_F(X11WorkspaceTest, AWindowThatCannotBeReadOrABriefNoneIsNoActivation)
{
    FakeWindowManager& wm = *windowManager;
    const auto editor = wm.createWindow("editor", "Editor");
    const auto terminal = wm.createWindow("terminal", "Terminal");
    wm.activate(editor);
    const auto workspace = makeWorkspace();
    ActivationRecorder activations(*workspace);

    // Closed right after it became active: gone before it could be read.
    const auto closed = wm.createWindow("viewer", "Viewer");
    wm.activate(closed);
    wm.destroyWindow(closed);
    QCoreApplication::processEvents();
    EXPECT_EQ(workspace->frontmostBundleID(), u"Editor"_s);
    // Window managers clear the active window on their way to the next one.
    wm.activate(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(workspace->frontmostBundleID(), u"Editor"_s);
    wm.activate(terminal);
    ASSERT_TRUE(activations.waitForActivations(1));
    EXPECT_EQ(activations.seen, QList<Frontmost>({u"Terminal"_s}));
}

TEST_F(X11WorkspaceTest, TheActiveWindowChangingWhoItIsIsAnActivation)
{
    FakeWindowManager& wm = *windowManager;
    const auto window = wm.createWindow("terminal", "Terminal");
    wm.activate(window);
    const auto workspace = makeWorkspace();
    ActivationRecorder activations(*workspace);

    // A program renaming itself, then a toolkit naming its application after the window is shown.
    wm.setClass(window, "xterm", "XTerm");
    ASSERT_TRUE(activations.waitForActivations(1));
    wm.setText(window, "_GTK_APPLICATION_ID", "org.example.Files");
    ASSERT_TRUE(activations.waitForActivations(2));
    EXPECT_EQ(activations.seen, QList<Frontmost>({u"XTerm"_s, u"org.example.Files"_s}));

    // What a browser's tab is matched with.
    EXPECT_EQ(workspace->activeWindowTitle(), std::nullopt);
    EXPECT_EQ(workspace->activeWindowProcessID(), std::nullopt);
    wm.setText(window, "_NET_WM_NAME", "Report \xe2\x80\x94 Files");
    wm.setCardinal(window, "_NET_WM_PID", 4242);
    EXPECT_EQ(workspace->activeWindowTitle(), u"Report — Files"_s);
    EXPECT_EQ(workspace->activeWindowProcessID(), 4242);

    // Renamed while another window is in front: known by the new name when it comes back.
    const auto other = wm.createWindow("editor", "Editor");
    wm.setClientList({window, other});
    wm.activate(other);
    ASSERT_TRUE(activations.waitForActivations(3));
    wm.setText(window, "_GTK_APPLICATION_ID", "org.example.Viewer");
    wm.activate(window);
    ASSERT_TRUE(activations.waitForActivations(4));
    EXPECT_EQ(activations.seen.last(), u"org.example.Viewer"_s);
}

TEST_F(X11WorkspaceTest, DialogsBelongToTheApplicationOfTheirMainWindow)
{
    FakeWindowManager& wm = *windowManager;
    // Toolkits name the application on its main windows only.
    const auto main = wm.createWindow("files", "Files");
    wm.setText(main, "_GTK_APPLICATION_ID", "org.example.Files");
    const auto dialog = wm.createWindow("files", "Files");
    wm.setWindow(dialog, "WM_TRANSIENT_FOR", main);
    const auto nested = wm.createWindow("files", "Files");
    wm.setWindow(nested, "WM_TRANSIENT_FOR", dialog);
    // Transient for the root: for the whole group, whose leader is the main window.
    const auto groupDialog = wm.createWindow("files", "Files");
    wm.setWindow(groupDialog, "WM_TRANSIENT_FOR", wm.rootWindow());
    wm.setGroup(groupDialog, main);
    const auto ledDialog = wm.createWindow("files", "Files");
    wm.setWindow(ledDialog, "WM_CLIENT_LEADER", main);
    // Windows transient for each other must not lead us in circles.
    const auto first = wm.createWindow("loop", "Loop");
    const auto second = wm.createWindow("loop", "Loop");
    wm.setWindow(first, "WM_TRANSIENT_FOR", second);
    wm.setWindow(second, "WM_TRANSIENT_FOR", first);
    wm.setClientList({main, dialog, nested});
    wm.activate(main);

    const auto workspace = makeWorkspace();
    ActivationRecorder activations(*workspace);
    for (const auto window : {dialog, nested, groupDialog, ledDialog}) {
        wm.activate(window);
        QCoreApplication::processEvents();
        EXPECT_EQ(workspace->frontmostBundleID(), u"org.example.Files"_s) << window;
    }
    wm.activate(first);
    ASSERT_TRUE(activations.waitForActivations(1));
    EXPECT_EQ(activations.seen, QList<Frontmost>({u"Loop"_s}));
    EXPECT_EQ(workspace->runningApplications(),
              QList<RunningApplication>({application("org.example.Files", "Files")}));
}

TEST_F(X11WorkspaceTest, WithoutAWindowManagerTheFocusedWindowIsInFront)
{
    FakeWindowManager& wm = *windowManager;
    wm.removeActiveWindow();
    // Focus on a toolkit's inner window stands for its top-level window.
    const auto editor = wm.createWindow("editor", "Editor");
    const auto field = wm.createChildWindow(editor, {}, {});
    // A window manager's frame around a client window stands for the client.
    const auto frame = wm.createWindow({}, {});
    const auto terminal = wm.createChildWindow(frame, "terminal", "Terminal");
    wm.setNormalState(terminal);
    wm.focus(field);

    const auto workspace = makeWorkspace();
    EXPECT_EQ(workspace->frontmostBundleID(), u"Editor"_s);
    ActivationRecorder activations(*workspace);
    wm.focus(terminal);
    ASSERT_TRUE(activations.waitForActivations(1));
    wm.focus(field);
    ASSERT_TRUE(activations.waitForActivations(2));
    wm.focus(wm.rootWindow());
    ASSERT_TRUE(activations.waitForActivations(3));
    EXPECT_EQ(activations.seen, QList<Frontmost>({u"Terminal"_s, u"Editor"_s, std::nullopt}));

    // A window manager that starts takes over.
    wm.activate(terminal);
    ASSERT_TRUE(activations.waitForActivations(4));
    EXPECT_EQ(activations.seen.last(), u"Terminal"_s);
}

TEST_F(X11WorkspaceTest, RunningApplicationsAreTheManagedWindowsByApplication)
{
    const QString files =
        folders.writeApplication(u"applications/org.example.Files.desktop"_s, "Files");
    const QString viewer =
        folders.writeApplication(u"applications/org.example.Viewer.desktop"_s, "Viewer");
    const QString paint = folders.writeApplication(u"applications/org.example.Paint.desktop"_s,
                                                   "Paint", "StartupWMClass=paint\n");

    FakeWindowManager& wm = *windowManager;
    const auto filesWindow = wm.createWindow("org.example.Files", "Org.example.Files");
    wm.setText(filesWindow, "_GTK_APPLICATION_ID", "org.example.Files");
    const auto viewerWindow = wm.createWindow("viewer", "viewer");
    wm.setText(viewerWindow, "_KDE_NET_WM_DESKTOP_FILE", "org.example.Viewer");
    // A palette kept out of the task list comes first; the main window makes Paint regular.
    const auto palette = wm.createWindow("paint", "Paint");
    wm.setAtoms(palette, "_NET_WM_STATE", {"_NET_WM_STATE_SKIP_TASKBAR"});
    const auto paintWindow = wm.createWindow("paint", "Paint");
    wm.setAtoms(paintWindow, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_NORMAL"});
    const auto panel = wm.createWindow("panel", "Panel");
    wm.setAtoms(panel, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_DOCK"});
    const auto desktop = wm.createWindow("desktop", "Desktop");
    wm.setAtoms(desktop, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_DESKTOP"});
    const auto cafe = wm.createWindow("caf\xe9", "Caf\xe9"); // WM_CLASS is Latin-1
    const auto anonymous = wm.createWindow({}, {});
    // Known by the scope its launcher started the process in, and by the dialog of that process.
    const QString calculator =
        folders.writeApplication(u"applications/org.example.Calculator.desktop"_s, "Calculator");
    folders.write(u"proc/4242/cgroup"_s,
                  "0::/user.slice/app-flatpak-org.example.Calculator-1.scope");
    const auto calculatorWindow = wm.createWindow("calc", "Calc");
    wm.setCardinal(calculatorWindow, "_NET_WM_PID", 4242);
    const auto calculatorDialog = wm.createWindow("calc", "Calc");
    wm.setWindow(calculatorDialog, "WM_TRANSIENT_FOR", calculatorWindow);
    // The window manager has not yet taken a closed window off its list.
    const auto closed = wm.createWindow("closed", "Closed");
    wm.destroyWindow(closed);
    wm.setClientList({filesWindow, closed, viewerWindow, palette, paintWindow, panel, desktop, cafe,
                      anonymous, calculatorDialog});
    wm.activate(paintWindow);

    const auto workspace = makeWorkspace();
    const auto accessory = RunningApplication::ActivationPolicy::accessory;
    EXPECT_EQ(workspace->runningApplications(),
              QList<RunningApplication>(
                  {application("org.example.Files", "Files", files),
                   application("org.example.Viewer", "Viewer", viewer),
                   application("org.example.Paint", "Paint", paint),
                   application("Panel", "Panel", {}, accessory),
                   application("Desktop", "Desktop", {}, accessory), application("Café", "Café"),
                   application("org.example.Calculator", "Calculator", calculator)}));
    EXPECT_EQ(workspace->frontmostApplication(), application("org.example.Paint", "Paint", paint));
    EXPECT_EQ(workspace->pathForApplication(u"org.example.Viewer"_s), viewer);

    // An entry installed while running names the windows of its class.
    const QString panelEntry =
        folders.writeApplication(u"applications/panel.desktop"_s, "Side Panel");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return workspace->runningApplications().contains(
                application("panel", "Side Panel", panelEntry, accessory));
        },
        5000));
}

TEST_F(X11WorkspaceTest, LosingTheServerLeavesAnEmptyWorkspace)
{
    XvncServer server{QStringLiteral(KORVALEN_XVNC_FIXTURE)};
    ASSERT_NO_FATAL_FAILURE(connect(server.displayName()));
    FakeWindowManager& wm = *windowManager;
    const auto editor = wm.createWindow("editor", "Editor");
    wm.setClientList({editor});
    wm.activate(editor);
    const auto workspace = makeWorkspace();
    ActivationRecorder activations(*workspace);
    ASSERT_EQ(workspace->frontmostBundleID(), u"Editor"_s);

    windowManager.reset();
    server.stop();
    ASSERT_TRUE(activations.waitForActivations(1));
    EXPECT_EQ(activations.seen, QList<Frontmost>({std::nullopt}));
    EXPECT_EQ(workspace->runningApplications(), QList<RunningApplication>());
}

TEST(X11WorkspaceWithoutDisplay, NothingRunsButInstalledApplicationsAreFound)
{
    TemporaryApplicationFolders folders;
    const QString editor = folders.writeApplication(u"applications/editor.desktop"_s, "Editor");
    const X11Workspace workspace(":99999",
                                 ApplicationResolver({folders.path(u"applications"_s)}, QString()));
    EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);
    EXPECT_EQ(workspace.runningApplications(), QList<RunningApplication>());
    EXPECT_EQ(workspace.pathForApplication(u"editor"_s), editor);
    EXPECT_EQ(workspace.pathForApplication(u"missing"_s), std::nullopt);
}

TEST(X11WorkspaceWithoutDisplay, AnApplicationsIconIsItsDesktopEntrysIcon)
{
    TemporaryApplicationFolders folders;
    const X11Workspace workspace(":99999",
                                 ApplicationResolver({folders.path(u"applications"_s)}, QString()));
    const auto iconAt = [&](const QString& path) {
        return workspace.iconNameForApplicationAt(path);
    };

    EXPECT_EQ(iconAt(folders.writeApplication(u"applications/editor.desktop"_s, "Editor",
                                              "Icon=org.example.Editor\n")),
              u"org.example.Editor"_s);
    EXPECT_EQ(iconAt(folders.writeApplication(u"applications/paint.desktop"_s, "Paint",
                                              "Icon=/opt/paint/icon\\spaint.png\n")),
              u"/opt/paint/icon paint.png"_s);
    // Not an application of the folders (the picker lists running ones from anywhere).
    EXPECT_EQ(
        iconAt(folders.write(u"elsewhere/viewer.desktop"_s,
                             "[Desktop Entry]\nType=Application\nName=Viewer\nIcon=viewer\n")),
        u"viewer"_s);

    EXPECT_EQ(iconAt(folders.writeApplication(u"applications/plain.desktop"_s, "Plain")),
              std::nullopt);
    EXPECT_EQ(iconAt(folders.writeApplication(u"applications/blank.desktop"_s, "Blank", "Icon=\n")),
              std::nullopt);
    EXPECT_EQ(iconAt(folders.write(u"applications/other.desktop"_s, "[Other]\nIcon=other\n")),
              std::nullopt);
    EXPECT_EQ(iconAt(folders.path(u"applications/missing.desktop"_s)), std::nullopt);
    EXPECT_EQ(iconAt(folders.path(u"applications"_s)), std::nullopt);
    EXPECT_EQ(iconAt(QString()), std::nullopt);
    // A named pipe would block a reader until someone writes to it.
    const QString pipe = folders.path(u"applications/pipe.desktop"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(iconAt(pipe), std::nullopt);
}
