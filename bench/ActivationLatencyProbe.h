#pragma once

#include <QByteArray>

#include <chrono>
#include <optional>

struct _XDisplay;

namespace korvalen::bench {

// An X client of the benchmark's own that asks the window manager to activate windows, as pagers
// and `xdotool windowactivate` do (a _NET_ACTIVE_WINDOW client message), and times how long the
// XKB group takes to follow: from sending the message to reading the XKB state event that says
// the group changed, on this connection's clock.
class ActivationLatencyProbe {
public:
    using Window = unsigned long;

    explicit ActivationLatencyProbe(const QByteArray& displayName);
    ~ActivationLatencyProbe();
    ActivationLatencyProbe(const ActivationLatencyProbe&) = delete;
    ActivationLatencyProbe& operator=(const ActivationLatencyProbe&) = delete;

    bool isConnected() const { return m_display != nullptr; }
    // Whether an EWMH window manager has taken over the screen.
    bool hasWindowManager();
    // The window the window manager manages (one of _NET_CLIENT_LIST) whose WM_CLASS class is
    // `className`; none while there is none.
    std::optional<Window> clientWindowOfClass(const QByteArray& className);

    // Activates the window and waits until the window manager says it is active.
    bool activate(Window window, int timeoutMilliseconds = 2000);
    // Locks the XKB group, as a user's key press would, and waits until the server says so.
    bool lockGroup(int group, int timeoutMilliseconds = 2000);
    // The XKB group in effect, as the server last said.
    int group() const { return m_group; }
    // Activates the window; the milliseconds from the request to the XKB group becoming `group`,
    // none when it has not within the timeout. Returns once the window is active, too.
    std::optional<double> timeActivation(Window window, int group, int timeoutMilliseconds = 1000);
    // Handles the events of the next milliseconds, for whatever answers an activation further.
    void settle(int milliseconds);

private:
    void sendActivation(Window window);
    Window activeWindow();
    // Reads the events that arrive within the timeout until `done` says so; false on timeout.
    template <typename Done>
    bool waitUntil(Done done, int timeoutMilliseconds);
    void handleEvents();

    _XDisplay* m_display = nullptr;
    int m_xkbEventType = 0;
    unsigned long m_activeWindowAtom = 0;
    unsigned long m_clientListAtom = 0;
    unsigned long m_supportingCheckAtom = 0;
    int m_group = 0;
    std::optional<std::chrono::steady_clock::time_point> m_groupChangedAt;
    bool m_activeWindowChanged = false;
};

} // namespace korvalen::bench
