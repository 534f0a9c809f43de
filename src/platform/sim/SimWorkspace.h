#pragma once

#include "platform/Workspace.h"

#include <QHash>

namespace korvalen {

// A workspace whose applications tests set by hand.
class SimWorkspace final : public Workspace {
public:
    std::optional<RunningApplication> frontmostApplication() const override { return m_frontmost; }
    QList<RunningApplication> runningApplications() const override { return m_running; }
    std::optional<QString> pathForApplication(const QString& bundleID) const override;

    // Brings the application (or none) to the front and announces the activation.
    void activate(std::optional<RunningApplication> application);
    // Changes the frontmost application without an announcement, as before the subscribers start.
    void setFrontmostApplication(std::optional<RunningApplication> application);
    void setRunningApplications(QList<RunningApplication> applications);
    void setPathForApplication(const QString& bundleID, const QString& path);

private:
    std::optional<RunningApplication> m_frontmost;
    QList<RunningApplication> m_running;
    QHash<QString, QString> m_paths;
};

} // namespace korvalen
