#include "platform/linux/X11WindowIdentities.h"

#include <algorithm>
#include <utility>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace korvalen {

namespace {

// Dialogs of dialogs are a few levels deep at most; a bound ends chains that clients made
// circular or absurdly long.
constexpr qsizetype maximumTransientChain = 16;

constexpr long watchedEvents = PropertyChangeMask | StructureNotifyMask | FocusChangeMask;

bool hasToolkitHint(const WindowApplicationHints& hints)
{
    return !hints.gtkApplicationID.isEmpty() || !hints.desktopFile.isEmpty();
}

bool hasClass(const WindowApplicationHints& hints)
{
    return !hints.wmClassInstance.isEmpty() || !hints.wmClassName.isEmpty();
}

} // namespace

X11WindowIdentities::X11WindowIdentities(X11Connection& connection,
                                         const ApplicationResolver& resolver)
    : m_connection(connection)
    , m_resolver(resolver)
{
    const auto atoms = m_connection.internAtoms({
        "_GTK_APPLICATION_ID",
        "_KDE_NET_WM_DESKTOP_FILE",
        "WM_CLIENT_LEADER",
        "_NET_WM_PID",
        "_NET_WM_WINDOW_TYPE",
        "_NET_WM_WINDOW_TYPE_DESKTOP",
        "_NET_WM_WINDOW_TYPE_DOCK",
        "_NET_WM_STATE",
        "_NET_WM_STATE_SKIP_TASKBAR",
    });
    m_atoms = {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4],
               atoms[5], atoms[6], atoms[7], atoms[8]};
}

std::optional<RunningApplication> X11WindowIdentities::applicationOfWindow(Window window)
{
    if (const auto known = m_applications.find(window); known != m_applications.end()) {
        if (std::exchange(known->listingChanged, false))
            known->application.activationPolicy = activationPolicyOf(window);
        return known->application;
    }
    const Lineage lineage = lineageOf(window);
    std::optional<RunningApplication> application = readApplication(lineage);
    if (application)
        m_applications.insert(window, {*application, lineage.windows()});
    return application;
}

QList<X11WindowIdentities::Window>
X11WindowIdentities::forgetChanged(const std::vector<XEvent>& events)
{
    const Atom identities[] = {
        XA_WM_CLASS, m_atoms.gtkApplicationID, m_atoms.desktopFile, XA_WM_TRANSIENT_FOR,
        XA_WM_HINTS, m_atoms.clientLeader,     m_atoms.processID};
    const Atom listing[] = {m_atoms.windowType, m_atoms.state};
    QList<Window> forgotten;
    for (const XEvent& event : events) {
        if (event.type == DestroyNotify) {
            m_watched.remove(event.xdestroywindow.window);
            forgetReadFrom(event.xdestroywindow.window, forgotten);
        }
        if (event.type != PropertyNotify)
            continue;
        if (std::ranges::find(identities, event.xproperty.atom) != std::end(identities)) {
            forgetReadFrom(event.xproperty.window, forgotten);
        }
        else if (std::ranges::find(listing, event.xproperty.atom) != std::end(listing)) {
            if (const auto known = m_applications.find(event.xproperty.window);
                known != m_applications.end())
                known->listingChanged = true;
        }
    }
    return forgotten;
}

void X11WindowIdentities::forgetReadFrom(Window window, QList<Window>& forgotten)
{
    for (auto known = m_applications.begin(); known != m_applications.end();) {
        if (known->readFrom.contains(window)) {
            forgotten.append(known.key());
            known = m_applications.erase(known);
        }
        else {
            ++known;
        }
    }
}

void X11WindowIdentities::keepOnly(const QList<Window>& windows)
{
    // Every change of the front window asks; most leave the windows as they were.
    if (windows == m_kept)
        return;
    m_kept = windows;
    m_applications.removeIf([&](const auto& known) { return !windows.contains(known.key()); });
    QSet<Window> needed(windows.cbegin(), windows.cend());
    for (const Known& known : std::as_const(m_applications))
        needed.unite(QSet<Window>(known.readFrom.cbegin(), known.readFrom.cend()));
    m_connection.withDisplay([&](Display* display) {
        // Each client has its own event selection on a window: ours leaves the owner's alone. A
        // window gone meanwhile answers with an error that the connection ignores.
        for (const Window window : std::as_const(m_watched)) {
            if (!needed.contains(window))
                XSelectInput(display, window, NoEventMask);
        }
        for (const Window window : std::as_const(needed)) {
            if (!m_watched.contains(window))
                XSelectInput(display, window, watchedEvents);
        }
        return XFlush(display);
    });
    m_watched = std::move(needed);
}

void X11WindowIdentities::watch(Window window)
{
    if (m_watched.contains(window))
        return;
    // Before the window is read: a change in between is then heard of. Requests are handled in
    // order, so the reads that follow need no round trip of their own for this.
    m_connection.withDisplay(
        [window](Display* display) { return XSelectInput(display, window, watchedEvents); });
    m_watched.insert(window);
}

QList<X11WindowIdentities::Window> X11WindowIdentities::Lineage::windows() const
{
    QList<Window> windows = transientChain;
    if (leader)
        windows.append(leader);
    return windows;
}

X11WindowIdentities::Lineage X11WindowIdentities::lineageOf(Window window)
{
    const Window root = m_connection.rootWindow();
    Lineage lineage{{window}};
    watch(window);
    while (lineage.transientChain.size() < maximumTransientChain) {
        const Window owner =
            m_connection
                .valuesProperty(lineage.transientChain.last(), XA_WM_TRANSIENT_FOR, XA_WINDOW)
                .value(0, 0);
        // None or the root: transient for the whole group, whose leader follows.
        if (owner == 0 || owner == root || lineage.transientChain.contains(owner))
            break;
        watch(owner);
        lineage.transientChain.append(owner);
    }
    const Window leader = groupLeaderOf(lineage.transientChain.last());
    if (leader != 0 && leader != root && !lineage.transientChain.contains(leader)) {
        watch(leader);
        lineage.leader = leader;
    }
    return lineage;
}

X11WindowIdentities::Window X11WindowIdentities::groupLeaderOf(Window window)
{
    // WM_HINTS: the flags, then eight fields of which the last is the window group.
    const auto hints = m_connection.valuesProperty(window, XA_WM_HINTS, XA_WM_HINTS);
    if (hints.size() >= 9 && (hints[0] & WindowGroupHint))
        return hints[8];
    return m_connection.valuesProperty(window, m_atoms.clientLeader, XA_WINDOW).value(0, 0);
}

WindowApplicationHints X11WindowIdentities::hintsOfWindow(Window window)
{
    WindowApplicationHints hints;
    hints.gtkApplicationID =
        m_connection.textProperty(window, m_atoms.gtkApplicationID).value_or(QString());
    hints.desktopFile = m_connection.textProperty(window, m_atoms.desktopFile).value_or(QString());
    // WM_CLASS holds two zero-terminated texts: the instance name, then the class.
    const QStringList wmClass =
        m_connection.textProperty(window, XA_WM_CLASS).value_or(QString()).split(u'\0');
    hints.wmClassInstance = wmClass.value(0);
    hints.wmClassName = wmClass.value(1);
    return hints;
}

std::optional<RunningApplication> X11WindowIdentities::readApplication(const Lineage& lineage)
{
    // The nearest toolkit hint names the application; the class is the one of the main window,
    // the farthest that has one. A group leader is often a hidden window with a class of its
    // own: its class counts only when no window of the chain has one.
    WindowApplicationHints hints;
    const auto take = [&hints](const WindowApplicationHints& found, bool itsClassToo) {
        if (!hasToolkitHint(hints) && hasToolkitHint(found)) {
            hints.gtkApplicationID = found.gtkApplicationID;
            hints.desktopFile = found.desktopFile;
        }
        if (itsClassToo && hasClass(found)) {
            hints.wmClassInstance = found.wmClassInstance;
            hints.wmClassName = found.wmClassName;
        }
    };
    for (const Window window : lineage.transientChain) {
        take(hintsOfWindow(window), true);
        // Dialogs belong to the process of their main window; the nearest one that says counts.
        if (!hints.processID) {
            hints.processID = qint64(
                m_connection.valuesProperty(window, m_atoms.processID, XA_CARDINAL).value(0, 0));
        }
    }
    if (lineage.leader)
        take(hintsOfWindow(lineage.leader), !hasClass(hints));

    const Window window = lineage.transientChain.first();
    const RunningApplication::ActivationPolicy policy = activationPolicyOf(window);
    // Reads of a vanished window find nothing, just as those of a window without hints do; a
    // window still there after the reads was there during them.
    if (!exists(window))
        return std::nullopt;

    RunningApplication application = m_resolver.applicationForWindow(hints);
    application.activationPolicy = policy;
    return application;
}

RunningApplication::ActivationPolicy X11WindowIdentities::activationPolicyOf(Window window)
{
    // Regular when the window manager shows the window in task lists.
    const auto types = m_connection.valuesProperty(window, m_atoms.windowType, XA_ATOM);
    if (types.contains(m_atoms.windowTypeDesktop) || types.contains(m_atoms.windowTypeDock))
        return RunningApplication::ActivationPolicy::accessory;
    const auto states = m_connection.valuesProperty(window, m_atoms.state, XA_ATOM);
    return states.contains(m_atoms.stateSkipTaskbar)
               ? RunningApplication::ActivationPolicy::accessory
               : RunningApplication::ActivationPolicy::regular;
}

bool X11WindowIdentities::exists(Window window)
{
    return m_connection.withDisplay([window](Display* display) {
        ::Window root = 0;
        int x = 0, y = 0;
        unsigned int width = 0, height = 0, border = 0, depth = 0;
        return XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth) != 0;
    });
}

} // namespace korvalen
