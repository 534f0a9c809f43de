#pragma once

#include "support/Signal.h"

#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <memory>

struct wl_display;

namespace korvalen {

// A connection of Korvalen's own to the Wayland compositor, apart from the Qt platform plugin's
// (which may speak X11 through Xwayland, or not reach the compositor at all), its events read and
// dispatched on the main thread as they arrive.
//
// When the compositor goes away, the connection changes are announced while the display still
// exists, so that the objects made on it can be destroyed, and then it is closed; a new
// connection is tried once a second, so a compositor started again at the same display is found.
class WaylandDisplayConnection {
public:
    static constexpr int reconnectInterval = 1000; // ms

    // The display as $WAYLAND_DISPLAY names it: a socket in $XDG_RUNTIME_DIR, or an absolute
    // path. None when empty.
    explicit WaylandDisplayConnection(QString displayName);
    ~WaylandDisplayConnection();
    WaylandDisplayConnection(const WaylandDisplayConnection&) = delete;
    WaylandDisplayConnection& operator=(const WaylandDisplayConnection&) = delete;

    // $WAYLAND_DISPLAY; empty outside a Wayland session.
    static QString sessionDisplayName();

    // Null while there is no compositor.
    wl_display* display() const { return m_display; }
    bool isConnected() const { return m_display && m_notifier; }

    // Sends the requests made outside an event handler; those made in one are sent afterwards.
    void flush();

    // Called once connected, and when the compositor has gone, before the display is closed.
    [[nodiscard]] Subscription subscribeToConnectionChanges(std::function<void()> handler) const
    {
        return m_connectionChanges.connect(std::move(handler));
    }

private:
    void connectToDisplay();
    void readEvents();
    void lose();

    QString m_displayName;
    wl_display* m_display = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_reconnect;
    Signal<> m_connectionChanges;
};

} // namespace korvalen
