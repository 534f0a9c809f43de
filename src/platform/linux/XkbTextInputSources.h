#pragma once

#include "platform/linux/KeyboardLayoutSources.h"
#include "platform/linux/XkbCoreKeyboard.h"

namespace korvalen {

// The input sources of an X11 session: one keyboard layout per XKB layout group of the core
// keyboard, named after the group, with the identifier its layout and variant give it. Selecting
// a source locks its group. A change is announced when the group in effect changes and when a
// keymap is loaded that changes the layouts, since it can put another layout into the group in
// effect.
class XkbTextInputSources final : public KeyboardLayoutSources {
public:
    // Statuses of select() other than selectAccepted.
    enum SelectStatus {
        // The handle is not one of ours, or its group now holds another layout (the keymap was
        // reloaded since the handle was listed).
        noSuchGroup = 1,
        // The request could not be sent to the X server.
        notSent = 2,
    };

    // Connects to the named display; an empty name means $DISPLAY.
    explicit XkbTextInputSources(const QByteArray& displayName = {});

    QList<Handle> enabledSources() override;
    Handle currentKeyboardSource() override;
    int select(const Handle& source) override;

private:
    // The layouts of the core keyboard's groups, in group order.
    QList<Layout> layouts();

    XkbCoreKeyboard m_keyboard;
    Subscription m_groupChanges;
};

} // namespace korvalen
