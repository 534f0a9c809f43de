#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ApplicationResolver.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace korvalen {

// The frontmost application of a desktop that reports focus changes window by window: each
// focused window is resolved to its application, and an activation is announced only when the
// application changes. Focus that leaves every window counts only after a moment, since the
// desktop reports a switch between two windows as passing through none.
class FocusedWindowApplication {
public:
    // `announce` is called after each change of the frontmost application.
    FocusedWindowApplication(const ApplicationResolver& resolver, std::function<void()> announce);

    const std::optional<RunningApplication>& frontmost() const { return m_frontmost; }

    // Hints that say nothing at all stand for no window.
    void windowFocused(const WindowApplicationHints& hints);
    // No window has the focus, and none will soon: the desktop went away.
    void clear();

    // One entry per application identifier of the windows, in the windows' order.
    QList<RunningApplication> applicationsOf(const QList<WindowApplicationHints>& windows) const;

private:
    RunningApplication applicationOf(const WindowApplicationHints& hints) const;
    void setFrontmost(std::optional<RunningApplication> frontmost);

    const ApplicationResolver& m_resolver;
    std::function<void()> m_announce;
    std::optional<RunningApplication> m_frontmost;
    QTimer m_noWindow;
};

} // namespace korvalen
