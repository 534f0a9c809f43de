#include "support/ChromiumBrowser.h"

#include <QFileInfo>
#include <QtTest/QTest>

namespace korvalen::testing {

ChromiumBrowser::ChromiumBrowser(const QString& url)
{
    // Without the background-networking switches Chromium keeps dialling out of a closed network.
    m_process.setProgram(QStringLiteral("chromium"));
    m_process.setArguments({
        QStringLiteral("--headless"),
        QStringLiteral("--no-sandbox"),
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--disable-quic"),
        QStringLiteral("--no-first-run"),
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--user-data-dir=") + m_profile.path(),
        QStringLiteral("--remote-debugging-port=0"),
        url,
    });
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start();
}

ChromiumBrowser::~ChromiumBrowser()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool ChromiumBrowser::waitUntilReady()
{
    const QString portFile = m_profile.filePath(QStringLiteral("DevToolsActivePort"));
    return QTest::qWaitFor([&] { return QFileInfo(portFile).size() > 0; }, 30000);
}

} // namespace korvalen::testing
