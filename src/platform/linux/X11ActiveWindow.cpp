#include "platform/linux/X11ActiveWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace korvalen {

namespace {

// Dialogs of dialogs are rare; the bound only guards against WM_TRANSIENT_FOR hints that loop.
constexpr int maximumOwnerChain = 8;

} // namespace

X11ActiveWindow::X11ActiveWindow(const QByteArray& displayName)
    : m_connection(displayName)
{
    const auto atoms =
        m_connection.internAtoms({"_NET_ACTIVE_WINDOW", "_NET_WM_NAME", "_NET_WM_PID"});
    m_activeWindowAtom = atoms[0];
    m_nameAtom = atoms[1];
    m_pidAtom = atoms[2];
}

X11ActiveWindow::State X11ActiveWindow::read()
{
    State state;
    std::optional<X11Connection::Window> window = activeWindow();
    if (!window)
        return state;
    for (int step = 0; step < maximumOwnerChain; ++step) {
        const auto owners = m_connection.valuesProperty(*window, XA_WM_TRANSIENT_FOR, XA_WINDOW);
        // A dialog "transient for" the root window belongs to its whole group, not one window.
        if (owners.isEmpty() || owners.first() == 0 || owners.first() == *window ||
            owners.first() == m_connection.rootWindow())
            break;
        window = owners.first();
    }
    std::optional<QString> title = m_connection.textProperty(*window, m_nameAtom);
    if (!title)
        title = m_connection.textProperty(*window, XA_WM_NAME);
    state.title = title.value_or(QString());
    const auto processIDs = m_connection.valuesProperty(*window, m_pidAtom, XA_CARDINAL);
    if (!processIDs.isEmpty() && processIDs.first() > 0)
        state.processID = qint64(processIDs.first());
    return state;
}

std::optional<X11Connection::Window> X11ActiveWindow::activeWindow()
{
    const auto active =
        m_connection.valuesProperty(m_connection.rootWindow(), m_activeWindowAtom, XA_WINDOW);
    if (!active.isEmpty())
        return active.first() != 0 ? std::optional(active.first()) : std::nullopt;
    const X11Connection::Window focused = focusedTopLevelWindow();
    return focused != 0 ? std::optional(focused) : std::nullopt;
}

X11Connection::Window X11ActiveWindow::focusedTopLevelWindow()
{
    return m_connection.withDisplay([](Display* display) -> X11Connection::Window {
        Window focus = None;
        int revertTo = 0;
        XGetInputFocus(display, &focus, &revertTo);
        if (focus == None || focus == PointerRoot)
            return None;
        // The focus may rest on a child of the application's top-level window.
        const Window root = DefaultRootWindow(display);
        for (Window window = focus; window != root;) {
            Window rootOfTree = None;
            Window parent = None;
            Window* children = nullptr;
            unsigned int childCount = 0;
            if (!XQueryTree(display, window, &rootOfTree, &parent, &children, &childCount))
                return None;
            if (children)
                XFree(children);
            if (parent == root)
                return window;
            window = parent;
        }
        return None;
    });
}

} // namespace korvalen
