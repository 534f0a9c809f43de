#pragma once

#include "platform/linux/X11Connection.h"
#include "support/Signal.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace korvalen {

// The core keyboard of an X server, reached over a connection of its own, so that it works
// whatever Qt platform plugin the application runs on: its XKB layout groups, the group in use,
// locking a group, and the news that the layout in use may have changed.
//
// The groups and the group in use are known from the server's news rather than asked for: the
// groups are read once and again only after a keymap change, and the group in use is the one the
// latest state news named. News the server has sent counts as soon as it is asked for, even
// before the event loop hands it over.
//
// Without a display, when the server lacks XKB, or once the server has gone away, the keyboard
// has no groups and no group in use, and locking fails.
class XkbCoreKeyboard {
public:
    struct LayoutGroup {
        // From the symbols the keymap was compiled from, else from what the rules were last asked
        // for; empty when the group's layout is unknown.
        QString identifier;
        std::optional<QString> name;

        bool operator==(const LayoutGroup&) const = default;
    };

    // Connects to the named display; an empty name means $DISPLAY.
    explicit XkbCoreKeyboard(const QByteArray& displayName = {});
    XkbCoreKeyboard(const XkbCoreKeyboard&) = delete;
    XkbCoreKeyboard& operator=(const XkbCoreKeyboard&) = delete;

    // The groups of the keymap loaded now, in group order.
    QList<LayoutGroup> layoutGroups();
    // The group in effect now, as the server reports it. After a reload with fewer layouts it may
    // lie past the last group; keys then wrap it into range.
    std::optional<int> currentGroup();
    // Asks the server to lock the group; true when the request was sent.
    bool lockGroup(int group);

    // Called from the event loop each time the group in effect changes, whoever changed it, and
    // each time a keymap loaded by whichever tool changes the groups, which may put another
    // layout into the group in effect.
    [[nodiscard]] Subscription subscribeToLayoutChanges(std::function<void()> handler) const
    {
        return m_layoutChanged.connect(std::move(handler));
    }

private:
    // What events say about the keyboard.
    struct News {
        std::optional<int> group; // the group in effect, when it changed
        bool keymapChanged = false;
    };

    bool hasXkb() const { return m_xkbEventType && m_connection.isConnected(); }
    void read(const _XEvent& event, News& news) const;
    // Takes the news that has arrived but has not been handled yet.
    void catchUp();
    void take(const News& news);
    // Reads the groups and the group in effect afresh.
    void readKeymap();
    QList<LayoutGroup> readLayoutGroups();
    std::optional<int> readCurrentGroup();
    void watchRulesNames(bool watched);
    QByteArray rulesNames();

    X11Connection m_connection;
    std::optional<int> m_xkbEventType; // none when the server lacks XKB
    X11Connection::Atom m_rulesNamesAtom = 0;
    bool m_rulesNamesWatched = false;
    QList<LayoutGroup> m_groups;        // as the latest keymap news left them
    std::optional<int> m_group;         // as the latest state news left it
    QList<LayoutGroup> m_handledGroups; // as the last news handled left them
    Signal<> m_layoutChanged;
    Subscription m_events;
};

} // namespace korvalen
