#include "platform/linux/GnomeShellWorkspace.h"

namespace korvalen {

namespace {

WindowApplicationHints hintsOf(const GnomeShellExtension::Window& window)
{
    WindowApplicationHints hints;
    hints.desktopFile = window.applicationID;
    hints.wmClassName = window.wmClass;
    hints.wmClassInstance = window.wmClassInstance;
    hints.processID = window.processID;
    return hints;
}

} // namespace

GnomeShellWorkspace::GnomeShellWorkspace()
    : GnomeShellWorkspace(QDBusConnection::sessionBus(), ApplicationResolver::forCurrentUser())
{
}

GnomeShellWorkspace::GnomeShellWorkspace(QDBusConnection bus, ApplicationResolver resolver)
    : m_resolver(std::move(resolver))
    , m_extension(std::move(bus))
    , m_focus(m_resolver, [this] { announceActivation(); })
{
    m_subscriptions.push_back(
        m_extension.subscribeToFocusChanges([this](const GnomeShellExtension::Window& window) {
            m_focus.windowFocused(hintsOf(window));
        }));
    m_subscriptions.push_back(m_extension.subscribeToRunningChanges([this] { followExtension(); }));
    followExtension();
}

void GnomeShellWorkspace::followExtension()
{
    // A new extension tells the focused window as soon as it has answered.
    if (!m_extension.isRunning())
        m_focus.clear();
}

std::optional<RunningApplication> GnomeShellWorkspace::frontmostApplication() const
{
    return m_focus.frontmost();
}

QList<RunningApplication> GnomeShellWorkspace::runningApplications() const
{
    QList<WindowApplicationHints> windows;
    for (const GnomeShellExtension::Window& window : m_extension.windows())
        windows.append(hintsOf(window));
    return m_focus.applicationsOf(windows);
}

std::optional<QString> GnomeShellWorkspace::pathForApplication(const QString& bundleID) const
{
    return m_resolver.pathForApplication(bundleID);
}

std::optional<QString>
GnomeShellWorkspace::iconNameForApplicationAt(const QString& bundlePath) const
{
    return ApplicationResolver::iconNameOfEntryAt(bundlePath);
}

} // namespace korvalen
