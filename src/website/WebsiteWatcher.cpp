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
        m_timer.reset();
        ++*m_pollingPeriod;
        m_currentDomain.reset();
        return;
    }
    if (m_timer)
        return;
    m_timer = std::make_unique<QTimer>();
    m_timer->setInterval(pollInterval);
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] { poll(); });
    m_timer->start();
}

void WebsiteWatcher::poll()
{
    const auto bundleID = m_workspace.frontmostBundleID();
    const QMap<QString, QString> browsers = m_browsers.supportedBrowsers();
    if (!bundleID || !browsers.contains(*bundleID)) {
        if (m_currentDomain)
            setCurrentDomain(std::nullopt);
        return;
    }
    std::weak_ptr<quint64> period = m_pollingPeriod;
    m_browsers.requestCurrentTabURL(
        browsers.value(*bundleID),
        [this, period, askedIn = *m_pollingPeriod](const std::optional<QString>& url) {
            const auto current = period.lock();
            if (!current || *current != askedIn)
                return;
            const std::optional<QString> domain = url ? UrlReference::host(*url) : std::nullopt;
            if (domain != m_currentDomain)
                setCurrentDomain(domain);
        });
}

// Stored before the announcement, so observers read the new value.
void WebsiteWatcher::setCurrentDomain(const std::optional<QString>& domain)
{
    m_currentDomain = domain;
    m_notifications.post(domainDidChangeNotification);
}

} // namespace korvalen
