#include "platform/InfoPlistApplicationBundles.h"
#include "platform/OsascriptBrowserScripting.h"
#include "platform/Platform.h"
#include "platform/QSettingsUserDefaults.h"
#include "platform/macos/BinaryPropertyList.h"
#include "platform/macos/CarbonTextInputSources.h"
#include "platform/macos/CocoaWorkspace.h"

namespace korvalen {

std::unique_ptr<Platform> makeNativePlatform()
{
    auto platform = std::make_unique<Platform>();
    // The application's own user defaults domain, named by its bundle identifier.
    platform->userDefaults = std::make_unique<QSettingsUserDefaults>(
        QSettingsUserDefaults::nativeSettings(QStringLiteral(KORVALEN_BUNDLE_IDENTIFIER)));
    platform->textInputSources = std::make_unique<CarbonTextInputSources>();
    platform->workspace = std::make_unique<CocoaWorkspace>();
    platform->browserScripting = std::make_unique<OsascriptBrowserScripting>(
        QMap<QString, QString>{
            {QStringLiteral("com.google.Chrome"), QStringLiteral("Google Chrome")}},
        QStringLiteral("/usr/bin/osascript"));
    platform->applicationBundles = std::make_unique<InfoPlistApplicationBundles>(
        InfoPlistApplicationBundles::standardFolders(), &BinaryPropertyList::dictionaryTexts);
    platform->clock = std::make_unique<SystemClock>();
    return platform;
}

} // namespace korvalen
