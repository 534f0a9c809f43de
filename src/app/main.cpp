#include "enforcement/EnforcementController.h"
#include "localization/Localized.h"
#include "menu/FeedbackHUD.h"
#include "menu/StatusMenuController.h"
#include "platform/Platform.h"
#include "rules/RuleStore.h"
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

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvalen"));
    QApplication::setApplicationName(QStringLiteral("Korvalen"));
    // A tray utility: closing its last window (or a notice) does not end it; the menu's Quit does.
    QApplication::setQuitOnLastWindowClosed(false);

    Platform::install(makeNativePlatform());
    Platform& platform = Platform::shared();
    RuleStore& store = RuleStore::shared();

    StatusMenuController statusMenu(store, *platform.textInputSources, *platform.workspace,
                                    sharedLocalizer(), FeedbackHUD::shared());
    const EnforcementLog log(EnforcementLog::defaultPath, *platform.clock);
    EnforcementController enforcement(store, WebsiteWatcher::shared(), *platform.textInputSources,
                                      *platform.workspace, NotificationCenter::defaultCenter(),
                                      log);
    // The menu is up before the first switch, so a user who sees the layout change can already
    // find out why; usage is counted from the first settled state.
    statusMenu.start();
    enforcement.start();
    UsageBaselineTracker::shared().start();

    reportStart(store);
    return QApplication::exec();
}
