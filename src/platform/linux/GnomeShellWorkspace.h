#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/FocusedWindowApplication.h"
#include "platform/linux/GnomeShellExtension.h"

#include <vector>

namespace korvalen {

// The workspace of a GNOME session as GNOME Shell tells it through Korvalen's extension: the
// frontmost application is that of the focused window, named by the desktop entry the Shell
// matched the window to, else by its class (a Wayland window's app_id), resolved through the
// desktop entries as X11 windows are.
//
// While the extension does not run, no application is frontmost and none runs; installed
// applications are still found.
class GnomeShellWorkspace final : public Workspace {
public:
    // The user's session bus, with the current user's desktop entries.
    GnomeShellWorkspace();
    GnomeShellWorkspace(QDBusConnection bus, ApplicationResolver resolver);

    // Whether the extension runs, and so reports the windows.
    bool isReporting() const { return m_extension.isRunning(); }
    // Called from the event loop when isReporting() may have changed.
    [[nodiscard]] Subscription subscribeToReportingChanges(std::function<void()> handler)
    {
        return m_extension.subscribeToRunningChanges(std::move(handler));
    }

    std::optional<RunningApplication> frontmostApplication() const override;
    // One entry per application identifier of the Shell's normal windows; all regular.
    QList<RunningApplication> runningApplications() const override;
    std::optional<QString> pathForApplication(const QString& bundleID) const override;
    std::optional<QString> iconNameForApplicationAt(const QString& bundlePath) const override;

private:
    void followExtension();

    ApplicationResolver m_resolver;
    GnomeShellExtension m_extension;
    FocusedWindowApplication m_focus;
    std::vector<Subscription> m_subscriptions;
};

} // namespace korvalen
