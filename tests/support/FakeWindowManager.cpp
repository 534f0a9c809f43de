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

unsigned long FakeWindowManager::atom(const char* name)
{
    return XInternAtom(m_display, name, False);
}

FakeWindowManager::Window FakeWindowManager::createWindow(const QByteArray& instance,
                                                          const QByteArray& className)
{
    const Window window =
        XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 100, 100, 0, 0, 0);
    if (!instance.isEmpty() || !className.isEmpty()) {
        QByteArray instanceName = instance;
        QByteArray classText = className;
        XClassHint hint{instanceName.data(), classText.data()};
        XSetClassHint(m_display, window, &hint);
    }
    XMapWindow(m_display, window);
    XSync(m_display, False);
    return window;
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
