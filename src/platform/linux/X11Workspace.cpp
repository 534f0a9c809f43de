#include "platform/linux/X11Workspace.h"

#include <QHash>

#include <algorithm>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace korvalen {

namespace {

// Window managers clear the active window on their way from one window to the next; a gap that
// short is no moment without a frontmost application.
constexpr int noActiveWindowGrace = 100; // ms

// Dialogs of dialogs are a few levels deep at most; a bound ends chains that clients made
// circular or absurdly long.
constexpr qsizetype maximumTransientChain = 16;

bool hasToolkitHint(const WindowApplicationHints& hints)
{
    return !hints.gtkApplicationID.isEmpty() || !hints.desktopFile.isEmpty();
}

bool hasClass(const WindowApplicationHints& hints)
{
    return !hints.wmClassInstance.isEmpty() || !hints.wmClassName.isEmpty();
}

} // namespace

X11Workspace::X11Workspace()
    : X11Workspace(QByteArray(), ApplicationResolver::forCurrentUser())
{
}

X11Workspace::X11Workspace(const QByteArray& displayName, ApplicationResolver resolver)
    : m_connection(std::make_unique<X11Connection>(displayName))
    , m_resolver(std::move(resolver))
{
    const auto atoms = m_connection->internAtoms({
        "_NET_ACTIVE_WINDOW",
        "_NET_CLIENT_LIST",
        "_GTK_APPLICATION_ID",
        "_KDE_NET_WM_DESKTOP_FILE",
        "WM_CLIENT_LEADER",
        "WM_STATE",
        "_NET_WM_NAME",
        "_NET_WM_PID",
        "_NET_WM_WINDOW_TYPE",
        "_NET_WM_WINDOW_TYPE_DESKTOP",
        "_NET_WM_WINDOW_TYPE_DOCK",
        "_NET_WM_STATE",
        "_NET_WM_STATE_SKIP_TASKBAR",
    });
    m_atoms = {atoms[0], atoms[1], atoms[2], atoms[3],  atoms[4],  atoms[5], atoms[6],
               atoms[7], atoms[8], atoms[9], atoms[10], atoms[11], atoms[12]};
    // Watching before the first read: a change in between is then noticed, not lost. The root
    // hears of the focus coming from or going to no window at all.
    m_connection->withDisplay([](Display* display) {
        XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask | FocusChangeMask);
        return XFlush(display);
    });
    m_activeWindowChanges =
        m_connection->subscribeToEvents([this](const std::vector<XEvent>& events) {
            if (concernFrontmostApplication(events))
                updateFrontmostApplication();
        });
    // Without a server there is no active window, and none will come.
    m_connectionLoss =
        m_connection->subscribeToConnectionLoss([this] { setFrontmostApplication(std::nullopt); });
    m_noActiveWindowSettles.setSingleShot(true);
    m_noActiveWindowSettles.setInterval(noActiveWindowGrace);
    QObject::connect(&m_noActiveWindowSettles, &QTimer::timeout, &m_noActiveWindowSettles, [this] {
        // Read afresh: a window may have become active since without its event being handled yet.
        if (activeWindow())
            updateFrontmostApplication();
        else
            setFrontmostApplication(std::nullopt);
    });
    if (const X11Connection::Window window = activeWindow()) {
        const Lineage lineage = lineageOf(window);
        watch(lineage.windows());
        m_frontmost = applicationOfWindow(lineage);
    }
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const
{
    return m_frontmost;
}

QList<RunningApplication> X11Workspace::runningApplications() const
{
    QList<RunningApplication> applications;
    QHash<QString, qsizetype> indexByID;
    const auto windows =
        m_connection->valuesProperty(m_connection->rootWindow(), m_atoms.clientList, XA_WINDOW);
    for (const X11Connection::Window window : windows) {
        std::optional<RunningApplication> found = applicationOfWindow(lineageOf(window));
        // Without an identifier (a window with no class at all) there is nothing to tell two such
        // applications apart, nor to make a rule for.
        if (!found || !found->bundleID)
            continue;
        RunningApplication& application = *found;
        const auto known = indexByID.constFind(*application.bundleID);
        if (known == indexByID.constEnd()) {
            indexByID.insert(*application.bundleID, applications.size());
            applications.append(std::move(application));
        }
        else if (application.activationPolicy == RunningApplication::ActivationPolicy::regular) {
            applications[*known].activationPolicy = RunningApplication::ActivationPolicy::regular;
        }
    }
    return applications;
}

std::optional<QString> X11Workspace::pathForApplication(const QString& bundleID) const
{
    return m_resolver.pathForApplication(bundleID);
}

std::optional<QString> X11Workspace::iconNameForApplicationAt(const QString& bundlePath) const
{
    return ApplicationResolver::iconNameOfEntryAt(bundlePath);
}

bool X11Workspace::concernFrontmostApplication(const std::vector<XEvent>& events) const
{
    if (m_connection->rootPropertyChanged(events, m_atoms.activeWindow))
        return true;
    // Focus leaving a watched window or reaching the root: only the focus counts where no window
    // manager publishes an active window, and asking again costs little where one does.
    const Atom identities[] = {XA_WM_CLASS,         m_atoms.gtkApplicationID,
                               m_atoms.desktopFile, XA_WM_TRANSIENT_FOR,
                               XA_WM_HINTS,         m_atoms.clientLeader};
    return std::ranges::any_of(events, [&](const XEvent& event) {
        if (event.type == FocusIn || event.type == FocusOut)
            return true;
        return event.type == PropertyNotify && m_watchedWindows.contains(event.xproperty.window) &&
               std::ranges::find(identities, event.xproperty.atom) != std::end(identities);
    });
}

std::optional<QString> X11Workspace::activeWindowTitle() const
{
    const X11Connection::Window window = activeWindow();
    if (!window)
        return std::nullopt;
    if (auto title = m_connection->textProperty(window, m_atoms.name))
        return title;
    return m_connection->textProperty(window, XA_WM_NAME);
}

std::optional<qint64> X11Workspace::activeWindowProcessID() const
{
    const X11Connection::Window window = activeWindow();
    const auto processID =
        window ? m_connection->valuesProperty(window, m_atoms.processID, XA_CARDINAL)
               : QList<unsigned long>();
    if (processID.isEmpty() || processID.first() == 0)
        return std::nullopt;
    return qint64(processID.first());
}

void X11Workspace::updateFrontmostApplication()
{
    const X11Connection::Window window = activeWindow();
    if (!window) {
        watch({});
        if (!m_noActiveWindowSettles.isActive())
            m_noActiveWindowSettles.start();
        return;
    }
    m_noActiveWindowSettles.stop();
    // Watching before reading what the windows say: a change in between is then noticed.
    const Lineage lineage = lineageOf(window);
    watch(lineage.windows());
    // A window closed before it could be read was never really in front.
    if (auto frontmost = applicationOfWindow(lineage))
        setFrontmostApplication(std::move(frontmost));
}

void X11Workspace::setFrontmostApplication(std::optional<RunningApplication> frontmost)
{
    m_noActiveWindowSettles.stop();
    const bool activated = frontmost.has_value() != m_frontmost.has_value() ||
                           (frontmost && frontmost->bundleID != m_frontmost->bundleID);
    m_frontmost = std::move(frontmost);
    if (activated)
        announceActivation();
}

X11Connection::Window X11Workspace::activeWindow() const
{
    const auto active =
        m_connection->valuesProperty(m_connection->rootWindow(), m_atoms.activeWindow, XA_WINDOW);
    // The window manager writes None (0) while no window is active; without one, nobody writes.
    return active.isEmpty() ? focusedWindow() : active.first();
}

X11Connection::Window X11Workspace::focusedWindow() const
{
    return m_connection->withDisplay([this](Display* display) -> ::Window {
        ::Window focus = None;
        int revertTo = 0;
        XGetInputFocus(display, &focus, &revertTo);
        const ::Window root = DefaultRootWindow(display);
        // PointerRoot and None name no window, and the root is the bare desktop.
        if (focus == None || focus == PointerRoot || focus == root)
            return 0;
        // Toolkits focus inner windows, and window managers frame the clients: the client window
        // is the one they mark with WM_STATE, else it is the top-level window.
        for (::Window window = focus;;) {
            if (!m_connection->valuesProperty(window, m_atoms.wmState, m_atoms.wmState).isEmpty())
                return window;
            ::Window windowRoot = 0;
            ::Window parent = 0;
            ::Window* children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(display, window, &windowRoot, &parent, &children, &count))
                return 0;
            if (children)
                XFree(children);
            if (parent == windowRoot || parent == None)
                return window;
            window = parent;
        }
    });
}

void X11Workspace::watch(const QList<X11Connection::Window>& windows)
{
    m_connection->withDisplay([&](Display* display) {
        // Each client has its own event selection on a window: ours leaves the owner's alone. A
        // window gone meanwhile answers with an error that the connection ignores.
        for (const X11Connection::Window window : std::as_const(m_watchedWindows)) {
            if (!windows.contains(window))
                XSelectInput(display, window, NoEventMask);
        }
        for (const X11Connection::Window window : windows) {
            if (!m_watchedWindows.contains(window))
                XSelectInput(display, window, PropertyChangeMask | FocusChangeMask);
        }
        return XFlush(display);
    });
    m_watchedWindows = windows;
}

bool X11Workspace::exists(X11Connection::Window window) const
{
    return m_connection->withDisplay([window](Display* display) {
        ::Window root = 0;
        int x = 0, y = 0;
        unsigned int width = 0, height = 0, border = 0, depth = 0;
        return XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth) != 0;
    });
}

QList<X11Connection::Window> X11Workspace::Lineage::windows() const
{
    QList<X11Connection::Window> windows = transientChain;
    if (leader)
        windows.append(leader);
    return windows;
}

X11Workspace::Lineage X11Workspace::lineageOf(X11Connection::Window window) const
{
    const X11Connection::Window root = m_connection->rootWindow();
    Lineage lineage{{window}};
    while (lineage.transientChain.size() < maximumTransientChain) {
        const X11Connection::Window owner =
            m_connection
                ->valuesProperty(lineage.transientChain.last(), XA_WM_TRANSIENT_FOR, XA_WINDOW)
                .value(0, 0);
        // None or the root: transient for the whole group, whose leader follows.
        if (owner == 0 || owner == root || lineage.transientChain.contains(owner))
            break;
        lineage.transientChain.append(owner);
    }
    const X11Connection::Window leader = groupLeaderOf(lineage.transientChain.last());
    if (leader != root && !lineage.transientChain.contains(leader))
        lineage.leader = leader;
    return lineage;
}

X11Connection::Window X11Workspace::groupLeaderOf(X11Connection::Window window) const
{
    // WM_HINTS: the flags, then eight fields of which the last is the window group.
    const auto hints = m_connection->valuesProperty(window, XA_WM_HINTS, XA_WM_HINTS);
    if (hints.size() >= 9 && (hints[0] & WindowGroupHint))
        return hints[8];
    return m_connection->valuesProperty(window, m_atoms.clientLeader, XA_WINDOW).value(0, 0);
}

WindowApplicationHints X11Workspace::hintsOfWindow(X11Connection::Window window) const
{
    WindowApplicationHints hints;
    hints.gtkApplicationID =
        m_connection->textProperty(window, m_atoms.gtkApplicationID).value_or(QString());
    hints.desktopFile = m_connection->textProperty(window, m_atoms.desktopFile).value_or(QString());
    // WM_CLASS holds two zero-terminated texts: the instance name, then the class.
    const QStringList wmClass =
        m_connection->textProperty(window, XA_WM_CLASS).value_or(QString()).split(u'\0');
    hints.wmClassInstance = wmClass.value(0);
    hints.wmClassName = wmClass.value(1);
    return hints;
}

std::optional<RunningApplication> X11Workspace::applicationOfWindow(const Lineage& lineage) const
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
    for (const X11Connection::Window window : lineage.transientChain) {
        take(hintsOfWindow(window), true);
        // Dialogs belong to the process of their main window; the nearest one that says counts.
        if (!hints.processID) {
            hints.processID = qint64(
                m_connection->valuesProperty(window, m_atoms.processID, XA_CARDINAL).value(0, 0));
        }
    }
    if (lineage.leader)
        take(hintsOfWindow(lineage.leader), !hasClass(hints));

    const X11Connection::Window window = lineage.transientChain.first();
    const bool listed = isListedInTasks(window);
    // Reads of a vanished window find nothing, just as those of a window without hints do; a
    // window still there after the reads was there during them.
    if (!exists(window))
        return std::nullopt;

    RunningApplication application = m_resolver.applicationForWindow(hints);
    application.activationPolicy = listed ? RunningApplication::ActivationPolicy::regular
                                          : RunningApplication::ActivationPolicy::accessory;
    return application;
}

bool X11Workspace::isListedInTasks(X11Connection::Window window) const
{
    const auto types = m_connection->valuesProperty(window, m_atoms.windowType, XA_ATOM);
    if (types.contains(m_atoms.windowTypeDesktop) || types.contains(m_atoms.windowTypeDock))
        return false;
    const auto states = m_connection->valuesProperty(window, m_atoms.state, XA_ATOM);
    return !states.contains(m_atoms.stateSkipTaskbar);
}

} // namespace korvalen
