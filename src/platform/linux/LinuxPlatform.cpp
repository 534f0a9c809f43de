#include "platform/Platform.h"
#include "platform/QSettingsUserDefaults.h"
#include "platform/linux/DesktopEntryApplicationBundles.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/ExtensionFirstBrowserScripting.h"
#include "platform/linux/GnomeShellExtensionInstaller.h"
#include "platform/linux/NativeMessagingHostManifests.h"
#include "platform/linux/XdgAutostart.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace korvalen {

std::unique_ptr<Platform> makeNativePlatform()
{
    // $XDG_CONFIG_HOME when it is set to an absolute path, ~/.config otherwise.
    const QString configHome =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    auto platform = std::make_unique<Platform>();
    platform->userDefaults =
        QSettingsUserDefaults::inIniFile(configHome + QStringLiteral("/Korvalen/Korvalen.conf"));
    DesktopSession::Backends session = DesktopSession::makeBackends(
        DesktopSession::kindOf(DesktopSession::Environment::current()), *platform->userDefaults);
    platform->workspace = std::move(session.workspace);
    platform->textInputSources = std::move(session.textInputSources);
    platform->backendsDescription = session.description;
    platform->browserScripting = ExtensionFirstBrowserScripting::forCurrentUser();
    platform->applicationBundles =
        std::make_unique<DesktopEntryApplicationBundles>(DesktopEntryIndex::applicationFolders());
    platform->clock = std::make_unique<SystemClock>();
    platform->loginItems = std::make_unique<XdgAutostart>(
        XdgAutostart::forCurrentUser(QCoreApplication::applicationFilePath()));
    // The host is installed beside korvalen, and the build puts it there too.
    platform->browserIntegration =
        NativeMessagingHostManifests::forCurrentUser(QCoreApplication::applicationDirPath());
    // Installed beside the program's data as well, or taken from the source tree.
    platform->desktopShellExtension = GnomeShellExtensionInstaller::forCurrentUser(
        QCoreApplication::applicationDirPath(),
        DesktopSession::kindOf(DesktopSession::Environment::current()));
    return platform;
}

} // namespace korvalen
