#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/Requests.h"
#include "app/SingleInstance.h"
#include "localization/Localized.h"
#include "platform/Platform.h"
#include "rules_window/RulesWindowController.h"
#include "usage/UsageBaselineTracker.h"
#include "website/WebsiteWatcher.h"

#include <QApplication>

using namespace korvalen;

namespace {

void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Korvalen"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvalen"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVALEN_VERSION));
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
                          *platform.clock, EnforcementLog::defaultPath,
                          platform.backendsDescription, openRulesWindow});
    QObject::connect(&instance, &SingleInstance::messageReceived, &app,
                     [&](SingleInstance::Message message) {
                         if (message == SingleInstance::Message::quit)
                             QApplication::quit();
                         else
                             openRulesWindow();
                     });
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
