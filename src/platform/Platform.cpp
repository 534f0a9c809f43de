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

void Platform::install(std::unique_ptr<Platform> platform)
{
    installedPlatform() = std::move(platform);
}

Platform& Platform::shared()
{
    auto& platform = installedPlatform();
    if (!platform)
        qFatal("Platform::shared() used before main() installed a platform");
    return *platform;
}

} // namespace korvalen
