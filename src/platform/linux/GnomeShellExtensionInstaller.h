#pragma once

#include "platform/DesktopShellExtension.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/GnomeShellExtension.h"

#include <QDBusConnection>

#include <memory>

namespace korvalen {

class GnomeExtensionCalls;
class GnomeVersion;

// Korvalen's GNOME Shell extension in the current user's extensions folder, where GNOME Shell
// finds it when it starts, enabled in GNOME's settings and, while the Shell runs, by the Shell.
// The copy depends on the Shell's version: the running Shell's, else the installed program's.
class GnomeShellExtensionInstaller final : public DesktopShellExtension {
public:
    struct Places {
        QString userFolder;        // $XDG_DATA_HOME/gnome-shell/extensions
        QStringList systemFolders; // <each of $XDG_DATA_DIRS>/gnome-shell/extensions
        // The copies of the extension, a folder for each flavour (GnomeVersion::flavour()).
        QString flavours;
        // Asked for its version when no Shell answers on the bus; looked up on $PATH.
        QString shellProgram;
    };

    // The current user's folders, and the copies installed with the program in
    // `programFolder`, or else those of the source tree.
    static std::unique_ptr<GnomeShellExtensionInstaller>
    forCurrentUser(const QString& programFolder, DesktopSession::Kind session);

    GnomeShellExtensionInstaller(Places places, DesktopSession::Kind session, QDBusConnection bus);
    ~GnomeShellExtensionInstaller() override;

    bool isNeeded() const override;
    bool isRunning() const override { return m_extension.isRunning(); }
    [[nodiscard]] Subscription
    subscribeToRunningChanges(std::function<void()> handler) const override;

    Change install() override;
    Change remove() override;
    Status status() const override;

private:
    QString userCopy() const;
    QStringList systemCopies() const;
    std::optional<GnomeVersion> shellVersion(GnomeExtensionCalls& shell) const;
    // When a change that the running Shell did not carry out takes effect.
    TakesEffect afterRestart(const GnomeExtensionCalls& shell) const;

    Places m_places;
    DesktopSession::Kind m_session;
    QDBusConnection m_bus;
    // Not const: the running extension's signals reach Korvalen through it.
    mutable GnomeShellExtension m_extension;
};

} // namespace korvalen
