#include "app/Localized.h"
#include "enforcement/EnforcementController.h"
#include "platform/Platform.h"
#include "rules/RuleStore.h"
#include "usage/UsageBaselineTracker.h"
#include "website/WebsiteWatcher.h"

#include <QCoreApplication>
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
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Korvalen"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvalen"));

    Platform::install(makeNativePlatform());
    Platform& platform = Platform::shared();
    RuleStore& store = RuleStore::shared();

    const EnforcementLog log(EnforcementLog::defaultPath, *platform.clock);
    EnforcementController enforcement(store, WebsiteWatcher::shared(), *platform.textInputSources,
                                      *platform.workspace, NotificationCenter::defaultCenter(),
                                      log);
    enforcement.start();
    UsageBaselineTracker::shared().start();

    reportStart(store);
    return QCoreApplication::exec();
}
