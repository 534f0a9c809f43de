#pragma once

#include "support/Signal.h"

#include <QList>
#include <QString>

struct _GSettings;

namespace korvalen {

// The input sources the user enabled for IBus, in the user's order, as the desktop keeps them in
// GSettings: IBus's own list of engines, or on GNOME the desktop's list of input sources, which
// then is the one the user sees and edits. Without the schemas (IBus or GNOME not installed) the
// list is empty.
class IbusEngineList {
public:
    // One enabled source: an IBus engine by name, or an XKB layout that GNOME Shell switches
    // itself, which IBus serves with one of its "xkb:" engines.
    struct Entry {
        QString engineName;
        QString layout;
        QString variant;

        bool operator==(const Entry&) const = default;
    };

    IbusEngineList();
    IbusEngineList(const IbusEngineList&) = delete;
    IbusEngineList& operator=(const IbusEngineList&) = delete;
    ~IbusEngineList();

    // The list now.
    QList<Entry> entries() const;

    // Called from the event loop when either list changed. GSettings tells of changes through the
    // GLib main loop, which Qt runs as its event loop unless QT_NO_GLIB is set; without it, the
    // change shows at the next call of entries() instead (dconf is read afresh at every call).
    [[nodiscard]] Subscription subscribeToChanges(std::function<void()> handler) const
    {
        return m_changed.connect(std::move(handler));
    }

private:
    static void settingChanged(_GSettings* settings, const char* key, void* list);

    _GSettings* m_ibusSettings = nullptr;
    _GSettings* m_gnomeSettings = nullptr;
    Signal<> m_changed;
};

} // namespace korvalen
