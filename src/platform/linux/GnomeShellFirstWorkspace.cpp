#include "platform/linux/GnomeShellFirstWorkspace.h"

namespace korvalen {

GnomeShellFirstWorkspace::GnomeShellFirstWorkspace(std::unique_ptr<GnomeShellWorkspace> shell,
                                                   std::unique_ptr<Workspace> fallback)
    : m_shell(std::move(shell))
    , m_fallback(std::move(fallback))
{
    m_subscriptions.push_back(m_shell->subscribeToActivations([this] {
        if (m_shell->isReporting())
            announceActivation();
    }));
    m_subscriptions.push_back(m_fallback->subscribeToActivations([this] {
        if (!m_shell->isReporting())
            announceActivation();
    }));
    m_subscriptions.push_back(
        m_shell->subscribeToReportingChanges([this] { announceActivation(); }));
}

const Workspace& GnomeShellFirstWorkspace::inUse() const
{
    return m_shell->isReporting() ? static_cast<const Workspace&>(*m_shell) : *m_fallback;
}

std::optional<RunningApplication> GnomeShellFirstWorkspace::frontmostApplication() const
{
    return inUse().frontmostApplication();
}

QList<RunningApplication> GnomeShellFirstWorkspace::runningApplications() const
{
    return inUse().runningApplications();
}

std::optional<QString> GnomeShellFirstWorkspace::pathForApplication(const QString& bundleID) const
{
    return inUse().pathForApplication(bundleID);
}

std::optional<QString>
GnomeShellFirstWorkspace::iconNameForApplicationAt(const QString& bundlePath) const
{
    return inUse().iconNameForApplicationAt(bundlePath);
}

} // namespace korvalen
