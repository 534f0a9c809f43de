#pragma once

#include "platform/Workspace.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "support/Subscription.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace korvalen {

// What a window says about the application it belongs to; empty texts where it says nothing.
struct WindowApplicationHints {
    QString gtkApplicationID; // _GTK_APPLICATION_ID
    // _KDE_NET_WM_DESKTOP_FILE, or the desktop entry KWin or GNOME Shell matched the window to.
    QString desktopFile;
    QString wmClassInstance; // WM_CLASS, first part
    QString wmClassName;     // WM_CLASS, second part: the class
    qint64 processID = 0;    // _NET_WM_PID; 0 when unknown
    // Whether the class arrived in lower case whatever the window set (KWin gives its scripts
    // the class so), so that StartupWMClass is compared in any case as a last resort.
    bool classCaseLost = false;
};

// Tells which application a window belongs to: its identifier, name and desktop entry, the
// identifier being, first that applies, the GTK application ID, the window's desktop file, the
// desktop entry whose StartupWMClass is the WM_CLASS instance or class, the desktop entry named
// after the instance or class (as written, then in lower case), the desktop entry of the
// application ID that a launcher gave the window's process (its systemd scope, from the process's
// cgroup), the desktop entry whose program is named like the instance or class, or else the class
// itself.
//
// Desktop entries are read on first use, and read again from the event loop a moment after their
// folders have changed, so an application installed while we run is recognised and no window
// waits for the folders to be looked at.
class ApplicationResolver {
public:
    // Entries from the given folders (most important first); names for the given locale; processes
    // as the proc file system mounted at `processFolder` describes them.
    ApplicationResolver(QStringList applicationFolders, QString locale,
                        QString processFolder = QStringLiteral("/proc"));
    // Entries from the XDG data directories; names for the user's locale.
    static ApplicationResolver forCurrentUser();

    // The application with its name and desktop entry path; the activation policy is left to the
    // caller. No identifier when the window gives no hint at all.
    RunningApplication applicationForWindow(const WindowApplicationHints& hints) const;

    // The desktop entry path of an application identifier, or none.
    std::optional<QString> pathForApplication(const QString& applicationID) const;

    // The Icon of the desktop entry at the path, for the user's locale; none when the entry
    // names none or cannot be read.
    static std::optional<QString> iconNameOfEntryAt(const QString& entryPath);

    // Calls `handler` from the event loop each time the desktop entries have been read again.
    [[nodiscard]] Subscription subscribeToEntryChanges(std::function<void()> handler) const;

private:
    class Entries;

    const DesktopEntryIndex& index() const;
    const DesktopEntry* entryForWMClass(const WindowApplicationHints& hints) const;
    const DesktopEntry* entryForProgram(const WindowApplicationHints& hints) const;
    const DesktopEntry* entryForProcess(qint64 processID) const;

    QString m_locale;
    QString m_processFolder;
    std::shared_ptr<Entries> m_entries; // shared by copies, which read the same folders
};

} // namespace korvalen
