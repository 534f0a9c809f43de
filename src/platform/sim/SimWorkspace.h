#pragma once

#include "platform/Workspace.h"

namespace korvalen {

// A workspace whose applications the test sets.
class SimWorkspace final : public Workspace {
public:
    std::optional<RunningApplication> frontmostApplication() const override { return m_frontmost; }
    QList<RunningApplication> runningApplications() const override { return m_running; }
    std::optional<QString> pathForApplication(const QString&) const override { return {}; }

    void setRunningApplications(QList<RunningApplication> running)
    {
        m_running = std::move(running);
    }
    // Brings the application to the front and announces the activation.
    void activate(const std::optional<RunningApplication>& application);
    // Brings the application with this identifier (and its identifier as name) to the front.
    void activate(const QString& bundleID);

private:
    std::optional<RunningApplication> m_frontmost;
    QList<RunningApplication> m_running;
};

} // namespace korvalen
