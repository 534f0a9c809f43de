#pragma once

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

namespace korvalen::testing {

// Debian's Chromium with a fresh profile and remote debugging on a port of its choosing, headless
// unless given a display. Killed when destroyed.
class ChromiumBrowser {
public:
    struct Options {
        // The X display to show windows on; headless when empty.
        QByteArray display;
        QStringList arguments;
        // Written into the profile before the browser starts: relative path → contents.
        QMap<QString, QByteArray> profileFiles;
        QProcessEnvironment environment;
    };

    // Headless, showing one page.
    explicit ChromiumBrowser(const QString& url);
    // Opens each page in a tab of its own, the first one in front.
    ChromiumBrowser(const QStringList& urls, const Options& options);
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
