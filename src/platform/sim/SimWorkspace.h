#pragma once

#include "platform/Workspace.h"

#include <QHash>

namespace korvalen {

// A workspace whose applications the test sets.
class SimWorkspace final : public Workspace {
public:
    std::optional<RunningApplication> frontmostApplication() const override { return m_frontmost; }
    QList<RunningApplication> runningApplications() const override { return m_running; }
    std::optional<QString> pathForApplication(const QString& bundleID) const override
    {
        return m_paths.value(bundleID);
    }
    std::optional<QString> iconNameForApplicationAt(const QString& bundlePath) const override
    {
        return m_iconNames.value(bundlePath);
    }

    void setRunningApplications(QList<RunningApplication> running)
    {
        m_running = std::move(running);
    }
    // Where an installed application is; none until set.
    void setPathForApplication(const QString& bundleID, const QString& path)
    {
        m_paths.insert(bundleID, path);
    }
    // The icon the application at a path names; none until set.
    void setIconNameForApplicationAt(const QString& bundlePath, const QString& iconName)
    {
        m_iconNames.insert(bundlePath, iconName);
    }
    // Brings the application to the front and announces the activation.
    void activate(const std::optional<RunningApplication>& application);
    // Brings the application with this identifier (and its identifier as name) to the front.
    void activate(const QString& bundleID);

private:
    std::optional<RunningApplication> m_frontmost;
    QList<RunningApplication> m_running;
    QHash<QString, std::optional<QString>> m_paths;
    QHash<QString, std::optional<QString>> m_iconNames;
};

} // namespace korvalen
