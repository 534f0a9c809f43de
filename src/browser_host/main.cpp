// The native messaging host: started by the browser for Korvalen's extension, it passes the
// extension's reports on the active tabs to the running Korvalen, and Korvalen's questions back.

#include "browser_host/ExtensionCaller.h"
#include "browser_host/HostReportFilter.h"
#include "browser_host/KorvalenConnection.h"
#include "browser_host/NativeMessagingReader.h"
#include "browser_host/NativeMessagingWriter.h"
#include "website/BrowserExtension.h"

#include <QCoreApplication>

#include <cstdio>

#include <unistd.h>

using namespace korvalen;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (!ExtensionCaller::isKorvalenExtension(QCoreApplication::arguments())) {
        std::fputs("korvalen-browser-host: only Korvalen's browser extension may start this "
                   "program\n",
                   stderr);
        return 2;
    }

    NativeMessagingReader browserInput(STDIN_FILENO);
    NativeMessagingWriter browserOutput(STDOUT_FILENO);
    KorvalenConnection korvalen(BrowserExtension::socketPath());

    QObject::connect(&browserInput, &NativeMessagingReader::messageReceived, &korvalen,
                     [&korvalen](const QByteArray& message) {
                         if (const auto report = HostReportFilter::report(message))
                             korvalen.send(*report);
                     });
    QObject::connect(&korvalen, &KorvalenConnection::queryReceived, &app, [&browserOutput] {
        browserOutput.write(BrowserTabReport::queryLine().trimmed());
    });
    QObject::connect(&browserInput, &NativeMessagingReader::finished, &app,
                     [&korvalen](bool complete) {
                         korvalen.finish();
                         if (!complete)
                             std::fputs("korvalen-browser-host: the browser sent a message "
                                        "that is cut short or too long\n",
                                        stderr);
                         QCoreApplication::exit(complete ? 0 : 1);
                     });

    korvalen.start();
    return QCoreApplication::exec();
}
