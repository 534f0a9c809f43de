#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "localization/Localized.h"
#include "platform/Platform.h"
#include "rules_window/RulesWindowController.h"
#include "usage/UsageBaselineTracker.h"
#include "website/WebsiteWatcher.h"

#include <QApplication>
#include <QTextStream>

using namespace korvalen;

namespace {

// One line for whoever started Korvalen from a terminal: what it found and where it writes.
void reportStart(const RuleStore& store)
{
    const auto orNone = [](const std::optional<QString>& text) {
        return text.value_or(QStringLiteral("none"));
    };
    QTextStream(stdout) << "Korvalen is running with " << store.rules().size()
                        << " application rules and " << store.websiteRules().size()
                        << " website rules; default input source "
                        << orNone(store.defaultSourceID()) << " ("
                        << rawValue(store.globalFallbackMode()) << "), switch by application "
                        << (store.isAutoSwitchEnabled() ? "on" : "off") << ", interface language "
                        << resolveCurrentLocalization().languageCode
                        << ". Log: " << EnforcementLog::defaultPath << Qt::endl;
}

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

void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Korvalen"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvalen"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVALEN_VERSION));
}

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
    case CommandLine::Request::run:
        break;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        nameApplication();
        return carryOut(CommandLine::parse(QCoreApplication::arguments()));
    }

    QApplication app(argc, argv);
    nameApplication();
    // A tray utility: closing its last window (or a notice) does not end it; the menu's Quit does.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(SingleInstance::defaultSocketPath());
    if (instance.claimOrDeliver(SingleInstance::Message::showRulesWindow) ==
        SingleInstance::Outcome::delivered)
        return 0;

    Platform::install(makeNativePlatform());
    Platform& platform = Platform::shared();
    RuleStore& store = RuleStore::shared();
    const auto openRulesWindow = [] { RulesWindowController::shared().showWindow(); };
    AppDelegate delegate({store, *platform.textInputSources, *platform.workspace,
                          WebsiteWatcher::shared(), NotificationCenter::defaultCenter(),
                          UsageBaselineTracker::shared(), FeedbackHUD::shared(), sharedLocalizer(),
                          *platform.clock, EnforcementLog::defaultPath, openRulesWindow});
    QObject::connect(&instance, &SingleInstance::messageReceived, &app,
                     [&](SingleInstance::Message message) {
                         if (message == SingleInstance::Message::quit)
                             QApplication::quit();
                         else
                             openRulesWindow();
                     });
    delegate.applicationDidFinishLaunching();

    reportStart(store);
    return QApplication::exec();
}
