#pragma once

#include "platform/linux/CompositorKeyboardLayouts.h"
#include "platform/linux/SwayIpcConnection.h"
#include "platform/linux/XkbLayoutRegistry.h"

#include <QTimer>

namespace korvalen {

// The keyboard layouts of a sway session: one source per layout of the first keyboard that has
// layouts, named as sway names it, with the identifier that the XKB group of that layout has on
// X11, found through the rules' registry. Selecting a source switches every keyboard to its
// layout. A change is announced when a keyboard's layout or keymap changes, and when the
// compositor comes or goes.
class SwayTextInputSources final : public CompositorKeyboardLayouts {
public:
    explicit SwayTextInputSources(
        const QString& socketPath = SwayIpcConnection::sessionSocketPath(),
        XkbLayoutRegistry registry = XkbLayoutRegistry::system());

private:
    std::optional<Keyboard> keyboard() override;
    bool switchTo(int position) override;

    SwayIpcConnection m_connection;
    XkbLayoutRegistry m_registry;
    // Every keyboard reports a switch of all of them: one announcement for the lot.
    QTimer m_announcement;
    Subscription m_events;
    Subscription m_connectionChanges;
};

} // namespace korvalen
