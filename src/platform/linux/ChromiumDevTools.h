#pragma once

#include "platform/BrowserScripting.h"

#include <QList>
#include <QNetworkAccessManager>

#include <chrono>
#include <memory>

namespace korvalen {

// Chromium-family browsers, asked through their DevTools endpoint on 127.0.0.1. The browser must
// have been started with --remote-debugging-port; the port is read from the profile's
// DevToolsActivePort file, else 9222. The active tab is the first target of type "page" in
// /json/list. A browser that does not answer within the reply timeout gives no address.
class ChromiumDevTools final : public BrowserScripting {
public:
    struct Browser {
        QString bundleID;
        QString appName;
        QString profileFolder;
    };

    static constexpr int defaultPort = 9222;
    static constexpr std::chrono::milliseconds replyTimeout{300};

    explicit ChromiumDevTools(QList<Browser> browsers);

    // Google Chrome and Chromium with their default profiles under the user's config folder.
    static std::unique_ptr<ChromiumDevTools> forCurrentUser();

    QMap<QString, QString> supportedBrowsers() const override;
    void requestCurrentTabURL(const QString& appName, TabURLHandler handler) override;

private:
    QList<Browser> m_browsers;
    QNetworkAccessManager m_network;
};

} // namespace korvalen
