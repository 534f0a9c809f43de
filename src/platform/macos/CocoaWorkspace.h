#pragma once

#include "platform/Workspace.h"

#include <memory>

namespace korvalen {

// The applications of the user's session as NSWorkspace tells them. Announces every activation
// that the workspace's notification center posts, on the main queue.
class CocoaWorkspace final : public Workspace {
public:
    CocoaWorkspace();
    ~CocoaWorkspace() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    QList<RunningApplication> runningApplications() const override;
    std::optional<QString> pathForApplication(const QString& bundleID) const override;
    // Never a name: a bundle's icon is in the bundle, where the file icon provider (which asks
    // NSWorkspace) reads it.
    std::optional<QString> iconNameForApplicationAt(const QString&) const override
    {
        return std::nullopt;
    }

private:
    struct ActivationObserver;
    std::unique_ptr<ActivationObserver> m_activationObserver;
};

} // namespace korvalen
