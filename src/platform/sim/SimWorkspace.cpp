#include "platform/sim/SimWorkspace.h"

namespace korvalen {

void SimWorkspace::activate(const std::optional<RunningApplication>& application)
{
    m_frontmost = application;
    announceActivation();
}

void SimWorkspace::activate(const QString& bundleID)
{
    activate(
        RunningApplication{bundleID, bundleID, {}, RunningApplication::ActivationPolicy::regular});
}

} // namespace korvalen
