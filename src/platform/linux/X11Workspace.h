#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/X11Connection.h"

#include <QByteArray>
#include <QTimer>

#include <memory>

namespace korvalen {

// The workspace of an X11 session, as the window manager publishes it on the root window
// (Extended Window Manager Hints): the frontmost application is the one of the active window,
// the running ones are those of the managed client windows. A window that changes what it says
// about its application while it is active makes that application the frontmost one. A dialog
// belongs to the application of the window it is transient for, or else of its group's leader:
// toolkits often name the application on main windows only. Where no window manager publishes an
// active window, the window with the input focus is the active one.
//
// An activation is announced when the active window comes to belong to another application (or
// to none), not when focus moves between windows of one application. A window that is gone before
// it could be read activates nothing, and neither does a moment without an active window that
// another window ends within 100 ms. Without a display there is no frontmost application and
// nothing runs; installed applications are still found.
class X11Workspace final : public Workspace {
public:
    // The session of $DISPLAY, with the current user's desktop entries.
    X11Workspace();
    X11Workspace(const QByteArray& displayName, ApplicationResolver resolver);

    std::optional<RunningApplication> frontmostApplication() const override;
    // One entry per application identifier, in the order the window manager first managed one of
    // its windows. Regular when it has a window that the window manager shows in task lists;
    // accessory when its only windows are docks, desktops or kept out of task lists.
    QList<RunningApplication> runningApplications() const override;
    std::optional<QString> pathForApplication(const QString& bundleID) const override;
    // The Icon of the desktop entry at the path, for the user's locale.
    std::optional<QString> iconNameForApplicationAt(const QString& bundlePath) const override;

    // The title (_NET_WM_NAME, else WM_NAME) of the active window; none when no window is active
    // or it has no title.
    std::optional<QString> activeWindowTitle() const;
    // The process that owns the active window (_NET_WM_PID), as its client reports it; none when
    // no window is active or it does not say.
    std::optional<qint64> activeWindowProcessID() const;

private:
    struct Atoms {
        X11Connection::Atom activeWindow = 0;
        X11Connection::Atom clientList = 0;
        X11Connection::Atom gtkApplicationID = 0;
        X11Connection::Atom desktopFile = 0;
        X11Connection::Atom clientLeader = 0;
        X11Connection::Atom wmState = 0;
        X11Connection::Atom name = 0;
        X11Connection::Atom processID = 0;
        X11Connection::Atom windowType = 0;
        X11Connection::Atom windowTypeDesktop = 0;
        X11Connection::Atom windowTypeDock = 0;
        X11Connection::Atom state = 0;
        X11Connection::Atom stateSkipTaskbar = 0;
    };

    // The windows that tell which application a window belongs to: the window itself, the windows
    // it is transient for in turn, and the leader of the last one's group (0 when none).
    struct Lineage {
        QList<X11Connection::Window> transientChain;
        X11Connection::Window leader = 0;
        QList<X11Connection::Window> windows() const;
    };

    bool concernFrontmostApplication(const std::vector<_XEvent>& events) const;
    void updateFrontmostApplication();
    // Has the server report property and focus changes of these windows, and of no others.
    void watch(const QList<X11Connection::Window>& windows);
    void setFrontmostApplication(std::optional<RunningApplication> frontmost);
    // The window that makes its application the frontmost one; 0 when none.
    X11Connection::Window activeWindow() const;
    X11Connection::Window focusedWindow() const;
    Lineage lineageOf(X11Connection::Window window) const;
    X11Connection::Window groupLeaderOf(X11Connection::Window window) const;
    WindowApplicationHints hintsOfWindow(X11Connection::Window window) const;
    // None when the window is gone before all of it was read.
    std::optional<RunningApplication> applicationOfWindow(const Lineage& lineage) const;
    bool exists(X11Connection::Window window) const;
    bool isListedInTasks(X11Connection::Window window) const;

    std::unique_ptr<X11Connection> m_connection;
    ApplicationResolver m_resolver;
    Atoms m_atoms;
    std::optional<RunningApplication> m_frontmost;
    QList<X11Connection::Window> m_watchedWindows;
    QTimer m_noActiveWindowSettles;
    Subscription m_activeWindowChanges;
    Subscription m_connectionLoss;
};

} // namespace korvalen
