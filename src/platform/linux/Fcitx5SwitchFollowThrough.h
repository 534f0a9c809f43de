#pragma once

#include "platform/linux/Fcitx5Controller.h"
#include "support/Signal.h"

#include <QDeadlineTimer>
#include <QString>
#include <QTimer>

namespace korvalen {

// Makes a switch of input method land on the window in front. fcitx5 keeps, per input context
// (per window, by default), whether it types with the group's first input method or with the one
// chosen last, and switches through the focused context; but the window that just came to the
// front may focus its context a moment after Korvalen hears of it: until then no context has the
// focus, or the previous window's still has it.
//
// So the switch is applied to the context focused when it is asked for, and once more to the
// next context that takes the focus within followThroughMs, after which following through ends.
// When no context has the focus, only that next one is switched: switching the one focused last
// would change the window left behind for nothing.
//
// What this cannot tell apart: when the previous window's context still has the focus, it is
// switched too, since it may as well be the new window's; the previous window then keeps the new
// input method until a rule of its own is applied again when it comes back to the front. And a
// switch that landed at once also follows through: a window brought to the front within
// followThroughMs that asks for no switch of its own gets the same input method.
class Fcitx5SwitchFollowThrough {
public:
    static constexpr int followThroughMs = 600;
    // How often the focus is looked at while following through, for want of news of it.
    static constexpr int lookIntervalMs = 25;

    explicit Fcitx5SwitchFollowThrough(Fcitx5Controller& controller);
    Fcitx5SwitchFollowThrough(const Fcitx5SwitchFollowThrough&) = delete;
    Fcitx5SwitchFollowThrough& operator=(const Fcitx5SwitchFollowThrough&) = delete;

    // Switches to the input method as described above, replacing any switch still being followed
    // through; false when fcitx5 did not answer or refused it.
    bool start(const QString& inputMethod);
    void stop();
    bool isFollowingThrough() const { return m_lookAgain.isActive(); }

    // Looks at the focus now rather than at the next interval: for news that it may have moved.
    void lookNow();

    // Called, from the event loop, after a context that took the focus late was switched.
    [[nodiscard]] Subscription subscribeToLateSwitches(std::function<void()> handler) const
    {
        return m_switchedLate.connect(std::move(handler));
    }

private:
    Fcitx5Controller& m_controller;
    QString m_inputMethod;
    QString m_contextFocusedAtStart;
    QDeadlineTimer m_until;
    QTimer m_lookAgain;
    Signal<> m_switchedLate;
};

} // namespace korvalen
