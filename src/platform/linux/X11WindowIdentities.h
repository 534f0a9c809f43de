#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/X11Connection.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <optional>
#include <vector>

namespace korvalen {

// Which application each X11 window belongs to, read once and remembered until the window says
// otherwise. A dialog belongs to the application of the window it is transient for, or else of
// its group's leader: toolkits often name the application on main windows only.
//
// What a window's application was read from (the windows of its lineage: it, those it is transient
// for, its group's leader) is watched: a change of one of the properties read, or the window's
// destruction, makes the application be read again next time. The focus of watched windows is
// reported too, for the workspace to follow.
class X11WindowIdentities {
public:
    using Window = X11Connection::Window;

    X11WindowIdentities(X11Connection& connection, const ApplicationResolver& resolver);

    // None when the window is gone before all of it was read.
    std::optional<RunningApplication> applicationOfWindow(Window window);
    // Forgets what the events say has changed; the windows whose application is no longer known.
    QList<Window> forgetChanged(const std::vector<_XEvent>& events);
    // Forgets every application: the desktop entries that named them changed.
    void forgetApplications() { m_applications.clear(); }
    // Remembers the applications of these windows only, and watches these windows and those their
    // applications were read from; the others are forgotten and unwatched once the list changes.
    void keepOnly(const QList<Window>& windows);

private:
    struct Atoms {
        X11Connection::Atom gtkApplicationID = 0;
        X11Connection::Atom desktopFile = 0;
        X11Connection::Atom clientLeader = 0;
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
        QList<Window> transientChain;
        Window leader = 0;
        QList<Window> windows() const;
    };

    struct Known {
        RunningApplication application;
        QList<Window> readFrom;
        // Whether the window's type or state changed since whether it is listed was read.
        bool listingChanged = false;
    };

    std::optional<RunningApplication> readApplication(const Lineage& lineage);
    Lineage lineageOf(Window window);
    Window groupLeaderOf(Window window);
    WindowApplicationHints hintsOfWindow(Window window);
    RunningApplication::ActivationPolicy activationPolicyOf(Window window);
    bool exists(Window window);
    void forgetReadFrom(Window window, QList<Window>& forgotten);
    // Has the server report the window's property changes, destruction and focus.
    void watch(Window window);

    X11Connection& m_connection;
    const ApplicationResolver& m_resolver;
    Atoms m_atoms;
    QHash<Window, Known> m_applications;
    QList<Window> m_kept;
    QSet<Window> m_watched;
};

} // namespace korvalen
