#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/X11Connection.h"

#include <QByteArray>

#include <memory>

namespace korvalen {

// The workspace of an X11 session, as the window manager publishes it on the root window
// (Extended Window Manager Hints): the frontmost application is the one of the active window,
// the running ones are those of the managed client windows.
//
// An activation is announced when the active window comes to belong to another application (or
// to none), not when focus moves between windows of one application. Without a display there is
// no frontmost application and nothing runs; installed applications are still found.
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

private:
    struct Atoms {
        X11Connection::Atom activeWindow = 0;
        X11Connection::Atom clientList = 0;
        X11Connection::Atom gtkApplicationID = 0;
        X11Connection::Atom kdeDesktopFile = 0;
        X11Connection::Atom windowType = 0;
        X11Connection::Atom windowTypeDesktop = 0;
        X11Connection::Atom windowTypeDock = 0;
        X11Connection::Atom state = 0;
        X11Connection::Atom stateSkipTaskbar = 0;
    };

    void updateFrontmostApplication();
    std::optional<RunningApplication> applicationOfActiveWindow() const;
    RunningApplication applicationOfWindow(X11Connection::Window window) const;
    bool isListedInTasks(X11Connection::Window window) const;

    std::unique_ptr<X11Connection> m_connection;
    ApplicationResolver m_resolver;
    Atoms m_atoms;
    std::optional<RunningApplication> m_frontmost;
    Subscription m_activeWindowChanges;
    Subscription m_connectionLoss;
};

} // namespace korvalen
