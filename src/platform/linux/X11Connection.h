#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;
struct _XDisplay;

namespace korvalen {

// One Xlib connection of our own to an X server, independent of the one (if any) that Qt's
// platform plugin uses: typed reads of window properties and notice of changes to one property
// of the root window, delivered on the main thread.
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

    // Calls `changed` after changes of the property on the root window (once for changes that
    // arrive together: the property then holds the latest value), and once when the connection is
    // lost. Replaces any earlier watch.
    void watchRootProperty(Atom property, std::function<void()> changed);

private:
    void dispatchEvents();
    void dispatchQueuedEventsLater();
    void disconnect();

    _XDisplay* m_display = nullptr;
    bool m_connectionLost = false; // set by Xlib from within whichever call noticed the loss
    bool m_dispatchScheduled = false;
    Atom m_utf8String = 0;
    Atom m_watchedProperty = 0;
    std::function<void()> m_watchedPropertyChanged;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace korvalen
