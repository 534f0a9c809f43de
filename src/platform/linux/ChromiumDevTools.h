#pragma once

#include "platform/BrowserScripting.h"
#include "platform/linux/X11ActiveWindow.h"

#include <QHash>
#include <QList>
#include <QNetworkAccessManager>

#include <chrono>
#include <functional>
#include <memory>

namespace korvalen {

// Chromium-family browsers, asked through their DevTools endpoint on 127.0.0.1. The browser must
// have remote debugging on. Its port is, first that applies: --remote-debugging-port on the
// command line of the process that owns the active window (from _NET_WM_PID and /proc); the
// DevToolsActivePort file in the folder given there by --user-data-dir, else in the browser's
// default profile folder (the most recently written one when several installations share the
// name); else 9222.
//
// The active tab is the page of /json/list whose title the active window shows, else the first
// target of type "page" (the tab shown most recently). One question at a time goes to each
// browser; a question asked while one is pending gets that one's answer. A transfer that has not
// ended within the reply timeout, or that grows beyond the size limit, gives no address.
class ChromiumDevTools final : public BrowserScripting {
public:
    struct Browser {
        QString bundleID;
        QString appName;
        QString profileFolder;
    };
    using ActiveWindowReader = std::function<X11ActiveWindow::State()>;

    static constexpr int defaultPort = 9222;
    static constexpr std::chrono::milliseconds replyTimeout{300};
    static constexpr qint64 maximumTargetListSize = 2 * 1024 * 1024;

    // Without a reader there is no window title nor process to go by. Processes' command lines
    // are read from <procFolder>/<process ID>/cmdline.
    explicit ChromiumDevTools(QList<Browser> browsers, ActiveWindowReader activeWindow = {},
                              QString procFolder = QStringLiteral("/proc"));

    // Google Chrome and Chromium, from Debian packages, Flatpak and Snap, with their default
    // profiles, and the active window of $DISPLAY.
    static std::unique_ptr<ChromiumDevTools> forCurrentUser();

    QMap<QString, QString> supportedBrowsers() const override;
    void requestCurrentTabURL(const QString& appName, TabURLHandler handler) override;

private:
    int portForProcess(const QString& appName, std::optional<qint64> processID) const;
    void fetchTargetList(int port, std::function<void(std::optional<QByteArray>)> done);

    QList<Browser> m_browsers;
    ActiveWindowReader m_activeWindow;
    QString m_procFolder;
    // Application name → whoever waits for the question in flight to that browser.
    QHash<QString, QList<TabURLHandler>> m_waiting;
    // Last, so that pending replies go before the state their handlers use.
    QNetworkAccessManager m_network;
};

} // namespace korvalen
