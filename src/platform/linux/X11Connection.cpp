#include "platform/linux/X11Connection.h"

#include <QSocketNotifier>
#include <QtDebug>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <type_traits>
#include <vector>

static_assert(std::is_same_v<korvalen::X11Connection::Window, ::Window>);
static_assert(std::is_same_v<korvalen::X11Connection::Atom, ::Atom>);

namespace korvalen {

namespace {

// Upper bounds for one property read, in 32-bit units: far beyond any real window list or text,
// low enough that a hostile client cannot make us allocate much.
constexpr long maximumListLength = 1L << 16;
constexpr long maximumTextLength = 1L << 14;

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

// A window property as the server sent it: format 8, 16 or 32 (0 when it could not be read), the
// number of items and the items themselves.
struct PropertyReply {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    std::unique_ptr<unsigned char, XFreeDeleter> items;
};

PropertyReply readProperty(Display* display, Window window, Atom property, Atom type,
                           long maximumLength)
{
    PropertyReply reply;
    unsigned long bytesAfter = 0;
    unsigned char* items = nullptr;
    XGetWindowProperty(display, window, property, 0, maximumLength, False, type, &reply.type,
                       &reply.format, &reply.count, &bytesAfter, &items);
    reply.items.reset(items);
    return reply;
}

// Xlib has one error handler and one I/O error handler per process. Ours deal with our own
// connections and pass everything else to the handlers installed before them, so other X code in
// the process (Qt's, a toolkit's) keeps its behaviour.
std::vector<Display*>& ownDisplays()
{
    static std::vector<Display*> displays;
    return displays;
}

bool isOwnDisplay(Display* display)
{
    return std::find(ownDisplays().begin(), ownDisplays().end(), display) != ownDisplays().end();
}

XErrorHandler previousErrorHandler = nullptr;
XIOErrorHandler previousIOErrorHandler = nullptr;

int handleError(Display* display, XErrorEvent* error)
{
    if (!isOwnDisplay(display))
        return previousErrorHandler ? previousErrorHandler(display, error) : 0;
    // A window can be destroyed at any moment after another client listed it; reading it then
    // fails with BadWindow (BadDrawable for its geometry), which is part of normal operation.
    if (error->error_code != BadWindow && error->error_code != BadDrawable) {
        char text[256] = {};
        XGetErrorText(display, error->error_code, text, sizeof text);
        qWarning("X error on our own connection: %s (request %d.%d, resource 0x%lx)", text,
                 int(error->request_code), int(error->minor_code), error->resourceid);
    }
    return 0;
}

// Xlib's own handler reports the loss and ends the process. For our connections, returning lets
// Xlib go on to the connection's exit handler, which marks it lost instead.
int handleIOError(Display* display)
{
    if (!isOwnDisplay(display) && previousIOErrorHandler)
        return previousIOErrorHandler(display);
    return 0;
}

void installErrorHandlers()
{
    static const bool installed = [] {
        previousErrorHandler = XSetErrorHandler(handleError);
        previousIOErrorHandler = XSetIOErrorHandler(handleIOError);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

X11Connection::X11Connection(const QByteArray& displayName)
{
    m_display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!m_display)
        return;
    installErrorHandlers();
    ownDisplays().push_back(m_display);
    // Called after the I/O error handler when the server goes away: instead of ending the process
    // (Xlib's default), the connection is marked lost and closed at the next opportunity.
    XSetIOErrorExitHandler(
        m_display, [](Display*, void* lost) { *static_cast<bool*>(lost) = true; },
        &m_connectionLost);
    m_utf8String = XInternAtom(m_display, "UTF8_STRING", False);
    // Xlib reads the socket only when asked, so the socket's readiness is our cue. Being
    // independent of Qt's own display connection, this works with every Qt platform plugin.
    m_notifier =
        std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { dispatchEvents(); });
}

X11Connection::~X11Connection()
{
    m_notifier.reset();
    disconnect();
}

bool X11Connection::isConnected() const
{
    return m_display && !m_connectionLost;
}

void X11Connection::disconnect()
{
    if (!m_display)
        return;
    if (m_notifier)
        m_notifier->setEnabled(false);
    // Errors for requests not yet answered (a window watched just before it was destroyed) are
    // ours to ignore: once the display is no longer ours, the default handler ends the process.
    if (!m_connectionLost)
        XSync(m_display, False);
    std::erase(ownDisplays(), m_display);
    XCloseDisplay(m_display);
    m_display = nullptr;
}

X11Connection::Window X11Connection::rootWindow() const
{
    return isConnected() ? DefaultRootWindow(m_display) : 0;
}

QList<X11Connection::Atom> X11Connection::internAtoms(const QList<QByteArray>& names)
{
    QList<Atom> atoms(names.size(), 0);
    if (!isConnected())
        return atoms;
    std::vector<char*> rawNames;
    for (const QByteArray& name : names)
        rawNames.push_back(const_cast<char*>(name.constData()));
    XInternAtoms(m_display, rawNames.data(), int(rawNames.size()), False, atoms.data());
    return atoms;
}

QList<unsigned long> X11Connection::valuesProperty(Window window, Atom property, Atom type)
{
    QList<unsigned long> values;
    if (!isConnected())
        return values;
    const PropertyReply reply = readProperty(m_display, window, property, type, maximumListLength);
    // Xlib hands format-32 items over as longs, whatever their size on the wire.
    if (reply.items && reply.type == type && reply.format == 32) {
        const auto* items = reinterpret_cast<const unsigned long*>(reply.items.get());
        values = QList<unsigned long>(items, items + reply.count);
    }
    dispatchQueuedEventsLater();
    return values;
}

std::optional<QString> X11Connection::textProperty(Window window, Atom property)
{
    if (!isConnected())
        return std::nullopt;
    const PropertyReply reply =
        readProperty(m_display, window, property, AnyPropertyType, maximumTextLength);
    std::optional<QString> text;
    if (reply.items && reply.format == 8) {
        const auto* bytes = reinterpret_cast<const char*>(reply.items.get());
        if (reply.type == m_utf8String)
            text = QString::fromUtf8(bytes, qsizetype(reply.count));
        else if (reply.type == XA_STRING)
            text = QString::fromLatin1(bytes, qsizetype(reply.count));
    }
    dispatchQueuedEventsLater();
    return text;
}

void X11Connection::selectRootPropertyChanges(bool selected)
{
    if (!isConnected())
        return;
    XSelectInput(m_display, DefaultRootWindow(m_display),
                 selected ? PropertyChangeMask : NoEventMask);
    XFlush(m_display);
}

bool X11Connection::rootPropertyChanged(const std::vector<XEvent>& events, Atom property) const
{
    return m_display && std::ranges::any_of(events, [&](const XEvent& event) {
               return event.type == PropertyNotify &&
                      event.xproperty.window == DefaultRootWindow(m_display) &&
                      event.xproperty.atom == property;
           });
}

void X11Connection::dispatchEvents()
{
    m_dispatchScheduled = false;
    // Handlers may make requests that read further events into Xlib's queue: those are the next
    // burst.
    while (isConnected() && XPending(m_display) > 0) {
        std::vector<XEvent> events;
        while (isConnected() && XQLength(m_display) > 0)
            XNextEvent(m_display, &events.emplace_back());
        m_eventsArrived.emit(events);
    }
    if (m_display && m_connectionLost) {
        disconnect();
        m_lost.emit();
    }
}

void X11Connection::dispatchQueuedEventsLater()
{
    // A read can pull events off the socket into Xlib's queue; the socket notifier would not
    // fire for them, so they are dispatched from the event loop instead.
    if (m_dispatchScheduled || !isConnected() || XQLength(m_display) == 0)
        return;
    m_dispatchScheduled = true;
    QMetaObject::invokeMethod(
        m_notifier.get(), [this] { dispatchEvents(); }, Qt::QueuedConnection);
}

} // namespace korvalen
