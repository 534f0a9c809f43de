#pragma once

#include "platform/linux/KeyboardLayoutSources.h"

#include <optional>

namespace korvalen {

// The layouts of a compositor that tells one keyboard's layouts, and the one in use, in a single
// answer, and switches by position: every call asks afresh, and a switch is made only while the
// position still holds the layout the handle was made for.
class CompositorKeyboardLayouts : public KeyboardLayoutSources {
public:
    // Statuses of select() other than selectAccepted.
    enum SelectStatus {
        // The handle is not one of ours, or its position now holds another layout.
        noSuchLayout = 1,
        // The compositor did not take the command.
        notSent = 2,
    };

    QList<Handle> enabledSources() override;
    Handle currentKeyboardSource() override;
    int select(const Handle& source) override;

protected:
    struct Keyboard {
        QList<Layout> layouts;
        int activeIndex = -1;
    };
    // The keyboard's layouts as the compositor tells them now; none when it does not.
    virtual std::optional<Keyboard> keyboard() = 0;
    // Asks the compositor to switch to the layout at the position; false when it did not take it.
    virtual bool switchTo(int position) = 0;
};

} // namespace korvalen
