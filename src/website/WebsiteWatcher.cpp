#include "website/WebsiteWatcher.h"

#include "platform/Platform.h"
#include "website/UrlReference.h"

namespace korvalen {

WebsiteWatcher::WebsiteWatcher(const Workspace& workspace, BrowserScripting& browsers,
                               NotificationCenter& notifications)
    : m_workspace(workspace)
    , m_browsers(browsers)
    , m_notifications(notifications)
{
    m_timer.setInterval(pollInterval);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    // The timer stays the fallback: a browser may tell of some changes only, or of none.
    m_tabChanges = m_browsers.subscribeToTabChanges([this] { catchUpWithFrontmostApplication(); });
    // Left to the timer, the domain of a browser just left would decide the input source of the
    // window in front for up to a period, and a report that came before the workspace saw the
    // browser come back would be lost. Subscribed here rather than when polling starts, so that
    // the domain is settled before the enforcement's own pass on the activation: its controller
    // subscribes later, as it needs this watcher to exist.
    m_activations =
        m_workspace.subscribeToActivations([this] { catchUpWithFrontmostApplication(); });
}

WebsiteWatcher& WebsiteWatcher::shared()
{
    Platform& platform = Platform::shared();
    static WebsiteWatcher watcher(*platform.workspace, *platform.browserScripting,
                                  NotificationCenter::defaultCenter());
    return watcher;
}

void WebsiteWatcher::updatePollingState(bool hasWebsiteRules)
{
    if (!hasWebsiteRules) {
        m_polling = false;
        m_timer.stop();
        ++*m_latestQuestion;
        m_currentDomain.reset();
        return;
    }
    if (m_polling)
        return;
    m_polling = true;
    followFrontmostApplication();
}

std::optional<QString> WebsiteWatcher::frontmostBrowserName() const
{
    const auto bundleID = m_workspace.frontmostBundleID();
    const QMap<QString, QString> browsers = m_browsers.supportedBrowsers();
    if (!bundleID || !browsers.contains(*bundleID))
        return std::nullopt;
    return browsers.value(*bundleID);
}

// A browser that tells of a tab change may have become one we can ask only now (its extension
// has just connected) while it was already in front, so the timer is reconsidered too.
void WebsiteWatcher::catchUpWithFrontmostApplication()
{
    if (!m_polling)
        return;
    poll();
    followFrontmostApplication();
}

// Only the browser in front has a tab to ask about, and each activation asks at once: ticking
// while another application is in front would only wake the process every interval.
void WebsiteWatcher::followFrontmostApplication()
{
    if (!m_polling || !frontmostBrowserName())
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}

// An answer tells about the moment it was asked for. Since then the user may have brought another
// application to the front, or a later poll may have asked again, and browsers do not answer in
// order; taking such an answer would give the application in front a domain that is not its own.
void WebsiteWatcher::poll()
{
    const quint64 question = ++*m_latestQuestion;
    const std::optional<QString> browserName = frontmostBrowserName();
    if (!browserName) {
        if (m_currentDomain)
            setCurrentDomain(std::nullopt);
        return;
    }
    const std::weak_ptr<quint64> latest = m_latestQuestion;
    const auto takeAnswer = [this, latest, question, browser = m_workspace.frontmostBundleID()](
                                const std::optional<QString>& url) {
        const auto current = latest.lock();
        if (!current || *current != question || m_workspace.frontmostBundleID() != browser)
            return;
        const std::optional<QString> domain = url ? UrlReference::host(*url) : std::nullopt;
        if (domain != m_currentDomain)
            setCurrentDomain(domain);
    };
    m_browsers.requestCurrentTabURL(*browserName, takeAnswer);
}

// Stored before the announcement, so observers read the new value.
void WebsiteWatcher::setCurrentDomain(const std::optional<QString>& domain)
{
    m_currentDomain = domain;
    m_notifications.post(domainDidChangeNotification);
}

} // namespace korvalen
