#pragma once

#include <QByteArray>
#include <QList>

struct _XDisplay;

namespace korvalen::testing {

// Plays, on a test X server, a window manager and the applications whose windows it manages:
// creates client windows with the hints real toolkits set, and publishes the client list and the
// active window on the root window as EWMH window managers do. A test of a session without such a
// window manager publishes nothing and moves the input focus instead. Every change has reached
// the server when the call returns.
class FakeWindowManager {
public:
    using Window = unsigned long;

    explicit FakeWindowManager(const QByteArray& displayName);
    ~FakeWindowManager();
    FakeWindowManager(const FakeWindowManager&) = delete;
    FakeWindowManager& operator=(const FakeWindowManager&) = delete;

    bool isConnected() const { return m_display != nullptr; }
    Window rootWindow() const;

    // A top-level window with the WM_CLASS instance and class (Latin-1); none set when both are
    // empty.
    Window createWindow(const QByteArray& instance, const QByteArray& className);
    // A mapped window inside another, as toolkits make for text fields and window managers for the
    // client windows they frame.
    Window createChildWindow(Window parent, const QByteArray& instance,
                             const QByteArray& className);
    void destroyWindow(Window window);
    // Replaces the WM_CLASS instance and class, as programs that rename themselves do.
    void setClass(Window window, const QByteArray& instance, const QByteArray& className);
    // Sets a UTF8_STRING property such as _GTK_APPLICATION_ID.
    void setText(Window window, const char* property, const QByteArray& utf8);
    // Sets a CARDINAL property such as _NET_WM_PID.
    void setCardinal(Window window, const char* property, unsigned long value);
    // Sets a WINDOW property such as WM_TRANSIENT_FOR or WM_CLIENT_LEADER.
    void setWindow(Window window, const char* property, Window value);
    // Sets WM_HINTS with only the window group.
    void setGroup(Window window, Window leader);
    // Sets an ATOM list property such as _NET_WM_WINDOW_TYPE or _NET_WM_STATE.
    void setAtoms(Window window, const char* property, const QList<QByteArray>& atomNames);

    void setClientList(const QList<Window>& windows);
    // Sets WM_STATE to normal, as window managers do on each client window they manage.
    void setNormalState(Window window);
    // Gives the window the input focus, as a program does where no window manager runs.
    void focus(Window window);

    // Makes the window the active one; 0 means no active window.
    void activate(Window window);
    // Removes the active window property altogether, as a window manager that exits does.
    void removeActiveWindow();

private:
    unsigned long atom(const char* name);
    void setRootWindows(const char* property, const QList<Window>& windows);

    _XDisplay* m_display = nullptr;
};

} // namespace korvalen::testing
