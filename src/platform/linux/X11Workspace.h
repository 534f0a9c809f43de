#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11WindowIdentities.h"

#include <QByteArray>
#include <QTimer>

#include <memory>

namespace korvalen {

// The workspace of an X11 session, as the window manager publishes it on the root window
// (Extended Window Manager Hints): the frontmost application is the one of the active window,
// the running ones are those of the managed client windows. A window that changes what it says
// about its application while it is active makes that application the frontmost one. Where no
// window manager publishes an active window, the window with the input focus is the active one.
//
// Window managers publish the active window a moment after they give it the focus. The focus
// reaching a managed window is taken as its activation at once; the active window the window
// manager then publishes holds, and corrects it where it differs. A focus change that the window
// manager leaves unconfirmed is checked against the active window after a while.
//
// An activation is announced when the front window comes to belong to another application (or
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
        X11Connection::Atom wmState = 0;
        X11Connection::Atom name = 0;
        X11Connection::Atom processID = 0;
    };

    // The window that makes its application the frontmost one (0 when none), and whether a window
    // manager published it.
    struct ActiveWindow {
        X11Connection::Window window = 0;
        bool published = false;
    };

    void handleEvents(const std::vector<_XEvent>& events);
    // The managed window that the last of the events gave the focus to, with the event's position
    // among them; none when no such event is among them.
    std::optional<std::pair<qsizetype, X11Connection::Window>>
    focusedClient(const std::vector<_XEvent>& events) const;
    void followClientList();
    // Makes the application of the window that the window manager says is active the frontmost.
    void updateFrontmostApplication();
    // Makes the application of the window that just got the focus the frontmost, ahead of the
    // window manager's word.
    void takeFocusedWindow(X11Connection::Window window);
    void setFrontWindow(X11Connection::Window window);
    void setFrontmostApplication(std::optional<RunningApplication> frontmost);
    ActiveWindow activeWindow() const;
    X11Connection::Window focusedWindow() const;

    std::unique_ptr<X11Connection> m_connection;
    ApplicationResolver m_resolver;
    // Mutable: what it reads it remembers.
    mutable X11WindowIdentities m_identities;
    Atoms m_atoms;
    std::optional<RunningApplication> m_frontmost;
    X11Connection::Window m_frontWindow = 0; // the window m_frontmost was taken from
    bool m_activeWindowPublished = false;    // whether a window manager publishes one
    QList<X11Connection::Window> m_clientWindows;
    QTimer m_noActiveWindowSettles;
    QTimer m_focusUnconfirmed;
    Subscription m_events;
    Subscription m_connectionLoss;
    Subscription m_entryChanges;
};

} // namespace korvalen
