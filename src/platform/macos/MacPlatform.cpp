#include "platform/InfoPlistApplicationBundles.h"
#include "platform/Platform.h"
#include "platform/QSettingsUserDefaults.h"

namespace korvalen {

std::unique_ptr<Platform> makeNativePlatform()
{
    // The native format is the application's user defaults domain, named by the bundle.
    auto platform = std::make_unique<Platform>();
    platform->userDefaults = std::make_unique<QSettingsUserDefaults>(std::make_unique<QSettings>());
    platform->applicationBundles = std::make_unique<InfoPlistApplicationBundles>(
        InfoPlistApplicationBundles::standardFolders());
    platform->clock = std::make_unique<SystemClock>();
    return platform;
}

} // namespace korvalen
