#include "platform/linux/X11Workspace.h"

#include <QHash>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace korvalen {

namespace {

// Window managers clear the active window on their way from one window to the next; a gap that
// short is no moment without a frontmost application.
constexpr int noActiveWindowGrace = 100; // ms

// Window managers publish the window they gave the focus to within milliseconds; one that has not
// by then keeps another window active.
constexpr int focusConfirmationWait = 250; // ms

} // namespace

X11Workspace::X11Workspace()
    : X11Workspace(QByteArray(), ApplicationResolver::forCurrentUser())
{
}

X11Workspace::X11Workspace(const QByteArray& displayName, ApplicationResolver resolver)
    : m_connection(std::make_unique<X11Connection>(displayName))
    , m_resolver(std::move(resolver))
    , m_identities(*m_connection, m_resolver)
{
    const auto atoms = m_connection->internAtoms({
        "_NET_ACTIVE_WINDOW",
        "_NET_CLIENT_LIST",
        "WM_STATE",
        "_NET_WM_NAME",
        "_NET_WM_PID",
    });
    m_atoms = {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4]};
    // Watching before the first read: a change in between is then noticed, not lost. The root
    // hears of the focus coming from or going to no window at all.
    m_connection->withDisplay([](Display* display) {
        XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask | FocusChangeMask);
        return XFlush(display);
    });
    m_events = m_connection->subscribeToEvents(
        [this](const std::vector<XEvent>& events) { handleEvents(events); });
    // Without a server there is no active window, and none will come.
    m_connectionLoss =
        m_connection->subscribeToConnectionLoss([this] { setFrontmostApplication(std::nullopt); });
    // An entry installed or removed may name the windows' applications otherwise.
    m_entryChanges =
        m_resolver.subscribeToEntryChanges([this] { m_identities.forgetApplications(); });
    m_noActiveWindowSettles.setSingleShot(true);
    m_noActiveWindowSettles.setInterval(noActiveWindowGrace);
    QObject::connect(&m_noActiveWindowSettles, &QTimer::timeout, &m_noActiveWindowSettles, [this] {
        // Read afresh: a window may have become active since without its event being handled yet.
        if (activeWindow().window)
            updateFrontmostApplication();
        else
            setFrontmostApplication(std::nullopt);
    });
    m_focusUnconfirmed.setSingleShot(true);
    m_focusUnconfirmed.setInterval(focusConfirmationWait);
    QObject::connect(&m_focusUnconfirmed, &QTimer::timeout, &m_focusUnconfirmed,
                     [this] { updateFrontmostApplication(); });
    followClientList();
    updateFrontmostApplication();
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
        std::optional<RunningApplication> found = m_identities.applicationOfWindow(window);
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

std::optional<QString> X11Workspace::activeWindowTitle() const
{
    const X11Connection::Window window = activeWindow().window;
    if (!window)
        return std::nullopt;
    if (auto title = m_connection->textProperty(window, m_atoms.name))
        return title;
    return m_connection->textProperty(window, XA_WM_NAME);
}

std::optional<qint64> X11Workspace::activeWindowProcessID() const
{
    const X11Connection::Window window = activeWindow().window;
    const auto processID =
        window ? m_connection->valuesProperty(window, m_atoms.processID, XA_CARDINAL)
               : QList<unsigned long>();
    if (processID.isEmpty() || processID.first() == 0)
        return std::nullopt;
    return qint64(processID.first());
}

void X11Workspace::handleEvents(const std::vector<XEvent>& events)
{
    const QList<X11Connection::Window> forgotten = m_identities.forgetChanged(events);
    if (m_connection->rootPropertyChanged(events, m_atoms.clientList))
        followClientList();
    qsizetype published = -1;
    bool focusMoved = false;
    for (qsizetype i = 0; i < qsizetype(events.size()); ++i) {
        const XEvent& event = events[size_t(i)];
        if (event.type == PropertyNotify && event.xproperty.window == m_connection->rootWindow() &&
            event.xproperty.atom == m_atoms.activeWindow)
            published = i;
        focusMoved |= event.type == FocusIn || event.type == FocusOut;
    }
    // In the order they came: what the window manager published after the focus moved is its
    // answer to it (window managers often clear the active window when they hear of the focus
    // leaving, after it reached the next window), and a focus change after it is news.
    const auto focused = m_activeWindowPublished ? focusedClient(events) : std::nullopt;
    if (focused && focused->first < published)
        takeFocusedWindow(focused->second);
    // Without a window manager that publishes the active window, only the focus counts.
    if (published >= 0 || forgotten.contains(m_frontWindow) ||
        (focusMoved && !m_activeWindowPublished))
        updateFrontmostApplication();
    if (focused && focused->first > published)
        takeFocusedWindow(focused->second);
}

std::optional<std::pair<qsizetype, X11Connection::Window>>
X11Workspace::focusedClient(const std::vector<XEvent>& events) const
{
    for (auto i = qsizetype(events.size()) - 1; i >= 0; --i) {
        const XEvent& event = events[size_t(i)];
        // A grab moves the keyboard only while it lasts, and the focus that follows the pointer
        // is no window's own.
        if (event.type != FocusIn || event.xfocus.mode == NotifyGrab ||
            event.xfocus.mode == NotifyUngrab || event.xfocus.detail == NotifyPointer)
            continue;
        if (!m_clientWindows.contains(event.xfocus.window))
            return std::nullopt;
        return std::pair(i, event.xfocus.window);
    }
    return std::nullopt;
}

void X11Workspace::followClientList()
{
    m_clientWindows =
        m_connection->valuesProperty(m_connection->rootWindow(), m_atoms.clientList, XA_WINDOW);
    setFrontWindow(m_frontWindow);
}

void X11Workspace::updateFrontmostApplication()
{
    m_focusUnconfirmed.stop();
    const ActiveWindow active = activeWindow();
    m_activeWindowPublished = active.published;
    if (!active.window) {
        setFrontWindow(0);
        if (!m_noActiveWindowSettles.isActive())
            m_noActiveWindowSettles.start();
        return;
    }
    m_noActiveWindowSettles.stop();
    // A window closed before it could be read was never really in front.
    if (auto frontmost = m_identities.applicationOfWindow(active.window)) {
        setFrontWindow(active.window);
        setFrontmostApplication(std::move(frontmost));
    }
}

void X11Workspace::takeFocusedWindow(X11Connection::Window window)
{
    if (window == m_frontWindow)
        return;
    if (auto frontmost = m_identities.applicationOfWindow(window)) {
        // A managed window is watched already; whatever else there is to do waits until the
        // activation has been announced, since listeners switch the input source on it.
        m_frontWindow = window;
        setFrontmostApplication(std::move(frontmost));
        m_focusUnconfirmed.start();
    }
}

void X11Workspace::setFrontWindow(X11Connection::Window window)
{
    m_frontWindow = window;
    // The managed windows are watched for the focus reaching them, and the front window for what
    // it says about its application.
    QList<X11Connection::Window> watched = m_clientWindows;
    if (window && !watched.contains(window))
        watched.append(window);
    m_identities.keepOnly(watched);
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

X11Workspace::ActiveWindow X11Workspace::activeWindow() const
{
    const auto active =
        m_connection->valuesProperty(m_connection->rootWindow(), m_atoms.activeWindow, XA_WINDOW);
    // The window manager writes None (0) while no window is active; without one, nobody writes.
    if (active.isEmpty())
        return {focusedWindow(), false};
    return {active.first(), true};
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

} // namespace korvalen
