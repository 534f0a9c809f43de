#pragma once

#include <QProcess>
#include <QTemporaryDir>

namespace korvalen::testing {

// Debian's Chromium, headless, with a fresh profile and remote debugging on a port of its
// choosing, showing one page. Killed when destroyed.
class ChromiumBrowser {
public:
    explicit ChromiumBrowser(const QString& url);
    ~ChromiumBrowser();
    ChromiumBrowser(const ChromiumBrowser&) = delete;
    ChromiumBrowser& operator=(const ChromiumBrowser&) = delete;

    // Waits until the browser has published its DevTools port in the profile.
    bool waitUntilReady();
    QString profileFolder() const { return m_profile.path(); }
    // The browser's own process, which owns its windows.
    qint64 processID() const { return m_process.processId(); }

private:
    QTemporaryDir m_profile;
    QProcess m_process;
};

} // namespace korvalen::testing
