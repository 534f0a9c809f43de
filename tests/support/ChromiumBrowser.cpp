#include "support/ChromiumBrowser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest/QTest>

#include <signal.h>
#include <unistd.h>

namespace korvalen::testing {

ChromiumBrowser::ChromiumBrowser(const QString& url)
    : ChromiumBrowser(QStringList{url}, {})
{
}

ChromiumBrowser::ChromiumBrowser(const QStringList& urls, const Options& options)
{
    for (auto file = options.profileFiles.begin(); file != options.profileFiles.end(); ++file) {
        const QString path = m_profile.filePath(file.key());
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(file.value()) != file.value().size())
            return;
    }
    // Without the background-networking switches Chromium keeps dialling out of a closed network.
    QStringList arguments{
        QStringLiteral("--no-sandbox"),
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--disable-quic"),
        QStringLiteral("--no-first-run"),
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--user-data-dir=") + m_profile.path(),
        QStringLiteral("--remote-debugging-port=0"),
    };
    QProcessEnvironment environment = options.environment.isEmpty()
                                          ? QProcessEnvironment::systemEnvironment()
                                          : options.environment;
    if (options.display.isEmpty())
        arguments.prepend(QStringLiteral("--headless"));
    else
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(options.display));
    m_process.setProgram(QStringLiteral("chromium"));
    m_process.setArguments(arguments + options.arguments + urls);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    // A group of its own, so that its helper processes end with it rather than write into the
    // profile while it is being removed.
    m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
    m_process.start();
}

ChromiumBrowser::~ChromiumBrowser()
{
    if (m_process.processId() > 0)
        ::kill(-pid_t(m_process.processId()), SIGKILL);
    m_process.waitForFinished(5000);
}

bool ChromiumBrowser::waitUntilReady()
{
    const QString portFile = m_profile.filePath(QStringLiteral("DevToolsActivePort"));
    return QTest::qWaitFor([&] { return QFileInfo(portFile).size() > 0; }, 30000);
}

} // namespace korvalen::testing
