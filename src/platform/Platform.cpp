#include "platform/Platform.h"

#include <QtGlobal>

namespace korvalen {

namespace {
std::unique_ptr<Platform>& installedPlatform()
{
    static std::unique_ptr<Platform> platform;
    return platform;
}
} // namespace

// Replacing the platform would destroy what RuleStore::shared(), WebsiteWatcher::shared() and the
// other process-wide singletons refer to; keeping the first leaves them all valid.
void Platform::install(std::unique_ptr<Platform> platform)
{
    auto& installed = installedPlatform();
    if (installed) {
        qWarning("Platform::install() called again; the platform installed first stays in use");
        return;
    }
    installed = std::move(platform);
}

Platform& Platform::shared()
{
    auto& platform = installedPlatform();
    if (!platform)
        qFatal("Platform::shared() used before main() installed a platform");
    return *platform;
}

} // namespace korvalen
