#pragma once

#include "support/Signal.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

class QSocketNotifier;
struct _XDisplay;
union _XEvent;

namespace korvalen {

// One Xlib connection of our own to an X server, independent of the one (if any) that Qt's
// platform plugin uses: typed reads of window properties, other requests on the raw display, and
// the events the server sends, delivered on the main thread.
//
// Errors never end the process. Errors for windows that vanished between being listed and being
// read are expected and ignored (the read then finds nothing); any other error is reported as a
// warning. When the server goes away, the connection is closed and every read finds nothing.
class X11Connection {
public:
    using Window = unsigned long;
    using Atom = unsigned long;

    // Connects to the named display, or to $DISPLAY when the name is empty; check isConnected().
    explicit X11Connection(const QByteArray& displayName = {});
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    bool isConnected() const;
    Window rootWindow() const;
    // The atoms of the names, in the same order (all zero without a connection).
    QList<Atom> internAtoms(const QList<QByteArray>& names);

    // A property of format 32 and the given type (WINDOW, ATOM, CARDINAL…) as its list of values;
    // empty when it is absent, of another type or the window is gone.
    QList<unsigned long> valuesProperty(Window window, Atom property, Atom type);
    // A text property of type UTF8_STRING or STRING (Latin-1), decoded; none when absent, of
    // another type or the window is gone. Lists of texts keep their separating zero characters.
    std::optional<QString> textProperty(Window window, Atom property);

    // Runs `request` with the Xlib display, for requests this class does not make itself (those of
    // an extension), and returns its result; without a connection, returns an empty result
    // instead. Events that arrive while it waits for replies are dispatched like all others.
    template <typename Request>
    std::invoke_result_t<Request&, _XDisplay*> withDisplay(Request request)
    {
        if (!isConnected())
            return {};
        auto result = request(m_display);
        dispatchQueuedEventsLater();
        return result;
    }

    // Has the server send an event for each change of a property of the root window, or no more.
    void selectRootPropertyChanges(bool selected);
    // Whether one of the events says that the property of the root window changed.
    bool rootPropertyChanged(const std::vector<_XEvent>& events, Atom property) const;

    // Calls `handler` from the event loop with the events that arrived together, once all of them
    // are read: a burst of changes is then handled once, looking at the state after all of them.
    [[nodiscard]] Subscription
    subscribeToEvents(std::function<void(const std::vector<_XEvent>&)> handler) const
    {
        return m_eventsArrived.connect(std::move(handler));
    }
    // Calls `handler` from the event loop once the connection is lost.
    [[nodiscard]] Subscription subscribeToConnectionLoss(std::function<void()> handler) const
    {
        return m_lost.connect(std::move(handler));
    }

private:
    void dispatchEvents();
    void dispatchQueuedEventsLater();
    void disconnect();

    _XDisplay* m_display = nullptr;
    bool m_connectionLost = false; // set by Xlib from within whichever call noticed the loss
    bool m_dispatchScheduled = false;
    Atom m_utf8String = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    Signal<std::vector<_XEvent>> m_eventsArrived;
    Signal<> m_lost;
};

} // namespace korvalen
