#pragma once

#include "platform/linux/X11Connection.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace korvalen {

// What the window the user works in says about itself: its title and the process that owns it.
// The window is the one the window manager marks active, else (without an EWMH window manager)
// the top-level window holding the input focus; for a dialog, the window it belongs to, so that
// a browser's dialog leads to the browser window behind it.
class X11ActiveWindow {
public:
    struct State {
        QString title;                   // _NET_WM_NAME, else WM_NAME; empty when neither
        std::optional<qint64> processID; // _NET_WM_PID
    };

    // Connects to the named display, or to $DISPLAY when the name is empty.
    explicit X11ActiveWindow(const QByteArray& displayName = {});

    // Read afresh on every call; empty without a display or an active window.
    State read();

private:
    std::optional<X11Connection::Window> activeWindow();
    X11Connection::Window focusedTopLevelWindow();

    X11Connection m_connection;
    X11Connection::Atom m_activeWindowAtom = 0;
    X11Connection::Atom m_nameAtom = 0;
    X11Connection::Atom m_pidAtom = 0;
};

} // namespace korvalen
