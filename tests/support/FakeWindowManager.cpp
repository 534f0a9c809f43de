#include "support/FakeWindowManager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <vector>

namespace korvalen::testing {

FakeWindowManager::FakeWindowManager(const QByteArray& displayName)
    : m_display(XOpenDisplay(displayName.constData()))
{
}

FakeWindowManager::~FakeWindowManager()
{
    if (m_display)
        XCloseDisplay(m_display);
}

FakeWindowManager::Window FakeWindowManager::rootWindow() const
{
    return DefaultRootWindow(m_display);
}

unsigned long FakeWindowManager::atom(const char* name)
{
    return XInternAtom(m_display, name, False);
}

FakeWindowManager::Window FakeWindowManager::createWindow(const QByteArray& instance,
                                                          const QByteArray& className)
{
    return createChildWindow(DefaultRootWindow(m_display), instance, className);
}

FakeWindowManager::Window FakeWindowManager::createChildWindow(Window parent,
                                                               const QByteArray& instance,
                                                               const QByteArray& className)
{
    const Window window = XCreateSimpleWindow(m_display, parent, 0, 0, 100, 100, 0, 0, 0);
    if (!instance.isEmpty() || !className.isEmpty())
        setClass(window, instance, className);
    XMapWindow(m_display, window);
    XSync(m_display, False);
    return window;
}

void FakeWindowManager::setClass(Window window, const QByteArray& instance,
                                 const QByteArray& className)
{
    QByteArray instanceName = instance;
    QByteArray classText = className;
    XClassHint hint{instanceName.data(), classText.data()};
    XSetClassHint(m_display, window, &hint);
    XSync(m_display, False);
}

void FakeWindowManager::destroyWindow(Window window)
{
    XDestroyWindow(m_display, window);
    XSync(m_display, False);
}

void FakeWindowManager::setText(Window window, const char* property, const QByteArray& utf8)
{
    XChangeProperty(m_display, window, atom(property), atom("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.constData()), int(utf8.size()));
    XSync(m_display, False);
}

void FakeWindowManager::setCardinal(Window window, const char* property, unsigned long value)
{
    const long item = long(value);
    XChangeProperty(m_display, window, atom(property), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&item), 1);
    XSync(m_display, False);
}

void FakeWindowManager::setWindow(Window window, const char* property, Window value)
{
    const long item = long(value);
    XChangeProperty(m_display, window, atom(property), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&item), 1);
    XSync(m_display, False);
}

void FakeWindowManager::setGroup(Window window, Window leader)
{
    XWMHints hints{};
    hints.flags = WindowGroupHint;
    hints.window_group = leader;
    XSetWMHints(m_display, window, &hints);
    XSync(m_display, False);
}

void FakeWindowManager::setAtoms(Window window, const char* property,
                                 const QList<QByteArray>& atomNames)
{
    // Xlib takes format-32 data as longs.
    std::vector<long> atoms;
    for (const QByteArray& name : atomNames)
        atoms.push_back(long(atom(name.constData())));
    XChangeProperty(m_display, window, atom(property), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms.data()), int(atoms.size()));
    XSync(m_display, False);
}

void FakeWindowManager::setNormalState(Window window)
{
    const long state[] = {NormalState, None}; // the state, then the icon window
    const unsigned long type = atom("WM_STATE");
    XChangeProperty(m_display, window, type, type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(state), 2);
    XSync(m_display, False);
}

void FakeWindowManager::focus(Window window)
{
    XSetInputFocus(m_display, window, RevertToPointerRoot, CurrentTime);
    XSync(m_display, False);
}

void FakeWindowManager::setRootWindows(const char* property, const QList<Window>& windows)
{
    const std::vector<long> values(windows.begin(), windows.end());
    XChangeProperty(m_display, DefaultRootWindow(m_display), atom(property), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(values.data()),
                    int(values.size()));
    XSync(m_display, False);
}

void FakeWindowManager::setClientList(const QList<Window>& windows)
{
    setRootWindows("_NET_CLIENT_LIST", windows);
}

void FakeWindowManager::activate(Window window)
{
    setRootWindows("_NET_ACTIVE_WINDOW", {window});
}

void FakeWindowManager::removeActiveWindow()
{
    XDeleteProperty(m_display, DefaultRootWindow(m_display), atom("_NET_ACTIVE_WINDOW"));
    XSync(m_display, False);
}

} // namespace korvalen::testing
