#pragma once

#include "platform/linux/KeyboardLayoutSources.h"
#include "platform/linux/SwayIpcConnection.h"
#include "platform/linux/XkbLayoutRegistry.h"

#include <QTimer>

namespace korvalen {

// The keyboard layouts of a sway session: one source per layout of the first keyboard that has
// layouts, named as sway names it, with the identifier that the XKB group of that layout has on
// X11, found through the rules' registry. Selecting a source switches every keyboard to its
// layout. A change is announced when a keyboard's layout or keymap changes, and when the
// compositor comes or goes.
class SwayTextInputSources final : public KeyboardLayoutSources {
public:
    // Statuses of select() other than selectAccepted.
    enum SelectStatus {
        // The handle is not one of ours, or its position now holds another layout.
        noSuchLayout = 1,
        // The compositor did not take the command.
        notSent = 2,
    };

    explicit SwayTextInputSources(
        const QString& socketPath = SwayIpcConnection::sessionSocketPath(),
        XkbLayoutRegistry registry = XkbLayoutRegistry::system());

    QList<Handle> enabledSources() override;
    Handle currentKeyboardSource() override;
    int select(const Handle& source) override;

private:
    struct Keyboard {
        QList<Layout> layouts;
        int activeIndex = -1;
    };
    std::optional<Keyboard> keyboard();

    SwayIpcConnection m_connection;
    XkbLayoutRegistry m_registry;
    // Every keyboard reports a switch of all of them: one announcement for the lot.
    QTimer m_announcement;
    Subscription m_events;
    Subscription m_connectionChanges;
};

} // namespace korvalen
