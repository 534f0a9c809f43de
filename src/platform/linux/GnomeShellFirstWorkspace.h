#pragma once

#include "platform/linux/GnomeShellWorkspace.h"

#include <memory>
#include <vector>

namespace korvalen {

// The workspace of a GNOME session on X11: GNOME Shell's, while Korvalen's extension runs there,
// else the one X11 tells of. Both know the windows; the Shell knows best which desktop entry a
// window belongs to, and X11 serves whoever has not installed the extension, or before the Shell
// has loaded it. A change between the two is announced as an activation.
class GnomeShellFirstWorkspace final : public Workspace {
public:
    GnomeShellFirstWorkspace(std::unique_ptr<GnomeShellWorkspace> shell,
                             std::unique_ptr<Workspace> fallback);

    std::optional<RunningApplication> frontmostApplication() const override;
    QList<RunningApplication> runningApplications() const override;
    std::optional<QString> pathForApplication(const QString& bundleID) const override;
    std::optional<QString> iconNameForApplicationAt(const QString& bundlePath) const override;

private:
    const Workspace& inUse() const;

    std::unique_ptr<GnomeShellWorkspace> m_shell;
    std::unique_ptr<Workspace> m_fallback;
    std::vector<Subscription> m_subscriptions;
};

} // namespace korvalen
