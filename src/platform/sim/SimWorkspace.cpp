#include "platform/sim/SimWorkspace.h"

namespace korvalen {

std::optional<QString> SimWorkspace::pathForApplication(const QString& bundleID) const
{
    const auto found = m_paths.constFind(bundleID);
    if (found == m_paths.constEnd())
        return std::nullopt;
    return *found;
}

void SimWorkspace::activate(std::optional<RunningApplication> application)
{
    m_frontmost = std::move(application);
    announceActivation();
}

void SimWorkspace::setFrontmostApplication(std::optional<RunningApplication> application)
{
    m_frontmost = std::move(application);
}

void SimWorkspace::setRunningApplications(QList<RunningApplication> applications)
{
    m_running = std::move(applications);
}

void SimWorkspace::setPathForApplication(const QString& bundleID, const QString& path)
{
    m_paths.insert(bundleID, path);
}

} // namespace korvalen
