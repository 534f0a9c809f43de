#include "platform/linux/FocusedWindowApplication.h"

#include <QSet>

namespace korvalen {

namespace {

// Long enough for the focus to arrive at the next window of a switch.
constexpr int noWindowDelayMs = 150;

bool saysNothing(const WindowApplicationHints& hints)
{
    return hints.gtkApplicationID.isEmpty() && hints.desktopFile.isEmpty() &&
           hints.wmClassInstance.isEmpty() && hints.wmClassName.isEmpty() && hints.processID == 0;
}

} // namespace

FocusedWindowApplication::FocusedWindowApplication(const ApplicationResolver& resolver,
                                                   std::function<void()> announce)
    : m_resolver(resolver)
    , m_announce(std::move(announce))
{
    m_noWindow.setSingleShot(true);
    m_noWindow.setInterval(noWindowDelayMs);
    QObject::connect(&m_noWindow, &QTimer::timeout, &m_noWindow,
                     [this] { setFrontmost(std::nullopt); });
}

void FocusedWindowApplication::windowFocused(const WindowApplicationHints& hints)
{
    if (saysNothing(hints)) {
        if (!m_noWindow.isActive())
            m_noWindow.start();
        return;
    }
    m_noWindow.stop();
    setFrontmost(applicationOf(hints));
}

void FocusedWindowApplication::clear()
{
    m_noWindow.stop();
    setFrontmost(std::nullopt);
}

QList<RunningApplication>
FocusedWindowApplication::applicationsOf(const QList<WindowApplicationHints>& windows) const
{
    QList<RunningApplication> running;
    QSet<QString> seen;
    for (const WindowApplicationHints& hints : windows) {
        RunningApplication application = applicationOf(hints);
        // Without an identifier there is nothing to tell two such applications apart, nor to make
        // a rule for.
        if (application.bundleID && !seen.contains(*application.bundleID)) {
            seen.insert(*application.bundleID);
            running.append(std::move(application));
        }
    }
    return running;
}

RunningApplication
FocusedWindowApplication::applicationOf(const WindowApplicationHints& hints) const
{
    RunningApplication application = m_resolver.applicationForWindow(hints);
    application.activationPolicy = RunningApplication::ActivationPolicy::regular;
    return application;
}

void FocusedWindowApplication::setFrontmost(std::optional<RunningApplication> frontmost)
{
    const bool activated = frontmost.has_value() != m_frontmost.has_value() ||
                           (frontmost && frontmost->bundleID != m_frontmost->bundleID);
    m_frontmost = std::move(frontmost);
    if (activated)
        m_announce();
}

} // namespace korvalen
