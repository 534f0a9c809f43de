#pragma once

#include "platform/BrowserScripting.h"
#include "platform/Workspace.h"
#include "support/NotificationCenter.h"

#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

namespace korvalen {

// Knows which website the user is looking at: while website rules exist, asks the frontmost
// supported browser for its active tab every poll interval, and at once when an application comes
// to the front or a browser tells of a tab change; keeps the tab's host as currentDomain() and
// posts domainDidChangeNotification whenever it changes. The timer runs only while a supported
// browser is in front: with any other application there, nothing wakes the process.
class WebsiteWatcher {
public:
    static inline const QString domainDidChangeNotification =
        QStringLiteral("Korvalen.websiteDomainDidChange");
    static constexpr std::chrono::milliseconds pollInterval{1500};

    WebsiteWatcher(const Workspace& workspace, BrowserScripting& browsers,
                   NotificationCenter& notifications);
    WebsiteWatcher(const WebsiteWatcher&) = delete;
    WebsiteWatcher& operator=(const WebsiteWatcher&) = delete;

    // The watcher of the running application, on the installed platform.
    static WebsiteWatcher& shared();

    // The host of the frontmost browser's active tab as of the last poll; none while polling is
    // off or the frontmost application is not a supported browser.
    const std::optional<QString>& currentDomain() const { return m_currentDomain; }

    // Polling runs exactly while website rules exist. Turning it off forgets the domain without
    // an announcement; turning it on when it is on keeps the running period.
    void updatePollingState(bool hasWebsiteRules);
    bool isPolling() const { return m_polling; }
    // Whether the poll timer runs: while polling, and a supported browser is in front.
    bool isTimerRunning() const { return m_timer.isActive(); }

    // One poll, as each timer tick runs it. A browser's answer may arrive after this returns; it
    // counts only while that browser is still in front and no later poll has been made since.
    void poll();

private:
    void setCurrentDomain(const std::optional<QString>& domain);
    std::optional<QString> frontmostBrowserName() const;
    void catchUpWithFrontmostApplication();
    void followFrontmostApplication();

    const Workspace& m_workspace;
    BrowserScripting& m_browsers;
    NotificationCenter& m_notifications;
    std::optional<QString> m_currentDomain;
    bool m_polling = false;
    QTimer m_timer;
    // Counts polls, and the end of each polling period, so that an answer is taken only for the
    // latest question and only while the watcher exists: the shared pointer dies with it.
    std::shared_ptr<quint64> m_latestQuestion = std::make_shared<quint64>(0);
    Subscription m_tabChanges;
    Subscription m_activations;
};

} // namespace korvalen
