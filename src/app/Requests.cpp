#include "app/Requests.h"

#include "app/BrowserIntegrationCommand.h"
#include "app/GnomeExtensionCommand.h"
#include "app/SingleInstance.h"
#include "platform/Platform.h"

#include <QTextStream>

namespace korvalen {

namespace {

int answer(const CommandLine& commandLine)
{
    (commandLine.exitCode == 0 ? QTextStream(stdout) : QTextStream(stderr))
        << commandLine.output << Qt::flush;
    return commandLine.exitCode;
}

int setStartAtLogin(bool starts)
{
    LoginItems* loginItems = Platform::shared().loginItems.get();
    if (!loginItems || !loginItems->setStartsAtLogin(starts)) {
        QTextStream(stderr) << "Could not change whether Korvalen starts at login." << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << (starts ? "Korvalen will start when you log in."
                                   : "Korvalen will no longer start when you log in.")
                        << Qt::endl;
    return 0;
}

int askRunningInstanceToQuit()
{
    if (SingleInstance(SingleInstance::defaultSocketPath())
            .deliver(SingleInstance::Message::quit) == SingleInstance::Outcome::delivered)
        return 0;
    QTextStream(stderr) << "Korvalen is not running." << Qt::endl;
    return 1;
}

// Sets up the browsers or GNOME Shell for Korvalen's extensions, or tells where they stand.
int setUp(CommandLine::Request request)
{
    const Platform& platform = Platform::shared();
    QTextStream output(stdout);
    QTextStream errors(stderr);
    switch (request) {
    case CommandLine::Request::gnomeExtensionInstall:
    case CommandLine::Request::gnomeExtensionRemove:
    case CommandLine::Request::gnomeExtensionStatus:
        return GnomeExtensionCommand::carryOut(request, platform.desktopShellExtension.get(),
                                               output, errors);
    default:
        return BrowserIntegrationCommand::carryOut(request, platform.browserIntegration.get(),
                                                   output, errors);
    }
}

} // namespace

// Options are requests to answer or to pass on, which need no display: `korvalen --help` works
// on a server too.
int carryOut(const CommandLine& commandLine)
{
    switch (commandLine.request) {
    case CommandLine::Request::answered:
        return answer(commandLine);
    case CommandLine::Request::quit:
        return askRunningInstanceToQuit();
    case CommandLine::Request::autostartOn:
    case CommandLine::Request::autostartOff:
        Platform::install(makeNativePlatform());
        return setStartAtLogin(commandLine.request == CommandLine::Request::autostartOn);
    case CommandLine::Request::browserIntegrationInstall:
    case CommandLine::Request::browserIntegrationRemove:
    case CommandLine::Request::browserIntegrationStatus:
    case CommandLine::Request::gnomeExtensionInstall:
    case CommandLine::Request::gnomeExtensionRemove:
    case CommandLine::Request::gnomeExtensionStatus:
        Platform::install(makeNativePlatform());
        return setUp(commandLine.request);
    case CommandLine::Request::run:
        break;
    }
    return 0;
}

} // namespace korvalen
