#include "ActivationLatencyProbe.h"

#include <utility>
#include <vector>

#include <poll.h>

// Xlib's macros clash with Qt's names: include it last.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace korvalen::bench {

namespace {

using Clock = std::chrono::steady_clock;

// A window property of format 32 as its list of values; empty when absent.
std::vector<unsigned long> values(Display* display, Window window, Atom property, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long bytesAfter = 0;
    unsigned char* items = nullptr;
    std::vector<unsigned long> result;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, type, &actualType, &format,
                           &count, &bytesAfter, &items) == Success &&
        items && format == 32) {
        const auto* longs = reinterpret_cast<const unsigned long*>(items);
        result.assign(longs, longs + count);
    }
    if (items)
        XFree(items);
    return result;
}

} // namespace

ActivationLatencyProbe::ActivationLatencyProbe(const QByteArray& displayName)
{
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int reason = 0;
    m_display = XkbOpenDisplay(displayName.constData(), &m_xkbEventType, &errorBase, &major, &minor,
                               &reason);
    if (!m_display)
        return;
    XkbSelectEventDetails(m_display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                          XkbGroupStateMask);
    XSelectInput(m_display, DefaultRootWindow(m_display), PropertyChangeMask);
    m_activeWindowAtom = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
    m_clientListAtom = XInternAtom(m_display, "_NET_CLIENT_LIST", False);
    m_supportingCheckAtom = XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False);
    XkbStateRec state;
    if (XkbGetState(m_display, XkbUseCoreKbd, &state) == Success)
        m_group = state.group;
}

ActivationLatencyProbe::~ActivationLatencyProbe()
{
    if (m_display)
        XCloseDisplay(m_display);
}

bool ActivationLatencyProbe::hasWindowManager()
{
    return !values(m_display, DefaultRootWindow(m_display), m_supportingCheckAtom, XA_WINDOW)
                .empty();
}

std::optional<ActivationLatencyProbe::Window>
ActivationLatencyProbe::clientWindowOfClass(const QByteArray& className)
{
    for (const Window window :
         values(m_display, DefaultRootWindow(m_display), m_clientListAtom, XA_WINDOW)) {
        XClassHint hint{};
        if (!XGetClassHint(m_display, window, &hint))
            continue;
        const bool found = hint.res_class && className == hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
        if (found)
            return window;
    }
    return std::nullopt;
}

void ActivationLatencyProbe::sendActivation(Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m_activeWindowAtom;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // the source is a pager, whose requests window managers follow
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, DefaultRootWindow(m_display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(m_display);
}

ActivationLatencyProbe::Window ActivationLatencyProbe::activeWindow()
{
    const auto active =
        values(m_display, DefaultRootWindow(m_display), m_activeWindowAtom, XA_WINDOW);
    return active.empty() ? None : active.front();
}

bool ActivationLatencyProbe::activate(Window window, int timeoutMilliseconds)
{
    m_activeWindowChanged = false;
    if (activeWindow() == window)
        return true;
    sendActivation(window);
    return waitUntil(
        [&] {
            const bool changed = std::exchange(m_activeWindowChanged, false);
            return changed && activeWindow() == window;
        },
        timeoutMilliseconds);
}

bool ActivationLatencyProbe::lockGroup(int group, int timeoutMilliseconds)
{
    XkbLockGroup(m_display, XkbUseCoreKbd, unsigned(group));
    XFlush(m_display);
    return waitUntil([&] { return m_group == group; }, timeoutMilliseconds);
}

std::optional<double> ActivationLatencyProbe::timeActivation(Window window, int group,
                                                             int timeoutMilliseconds)
{
    handleEvents();
    m_groupChangedAt.reset();
    const Clock::time_point sent = Clock::now();
    sendActivation(window);
    const bool followed =
        waitUntil([&] { return m_groupChangedAt && m_group == group; }, timeoutMilliseconds);
    const std::optional<Clock::time_point> changedAt = m_groupChangedAt;
    // The next activation starts from this window, whatever the contender did.
    m_activeWindowChanged = true;
    waitUntil(
        [&] {
            const bool changed = std::exchange(m_activeWindowChanged, false);
            return changed && activeWindow() == window;
        },
        timeoutMilliseconds);
    if (!followed || !changedAt)
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(*changedAt - sent).count();
}

void ActivationLatencyProbe::settle(int milliseconds)
{
    waitUntil([] { return false; }, milliseconds);
}

template <typename Done>
bool ActivationLatencyProbe::waitUntil(Done done, int timeoutMilliseconds)
{
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (true) {
        handleEvents();
        if (done())
            return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
        ::poll(&connection, 1, int(left));
    }
}

void ActivationLatencyProbe::handleEvents()
{
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        // The moment the news is read: what a contender's user would see.
        const Clock::time_point readAt = Clock::now();
        const auto& xkbEvent = reinterpret_cast<const XkbEvent&>(event);
        if (event.type == m_xkbEventType && xkbEvent.any.xkb_type == XkbStateNotify &&
            (xkbEvent.state.changed & XkbGroupStateMask)) {
            m_group = xkbEvent.state.group;
            m_groupChangedAt = readAt;
        }
        else if (event.type == PropertyNotify && event.xproperty.atom == m_activeWindowAtom) {
            m_activeWindowChanged = true;
        }
    }
}

} // namespace korvalen::bench
