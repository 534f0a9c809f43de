#pragma once

#include "platform/ApplicationBundles.h"

namespace korvalen {

// Applications as XDG desktops install them: desktop entries in "applications" folders, the
// folders of the XDG data directories in the running system.
//
// A desktop entry is known by its desktop-file ID, its path below the folder with "/" replaced by
// "-" ("kde4/konsole.desktop" is "kde4-konsole.desktop"), so an entry of an "applications" folder
// is any file of its tree, named by that path. The identifier is the ID without ".desktop", the
// one the workspace gives running applications.
//
// An entry claims its ID even when it is hidden (Hidden=true or NoDisplay=true), is not of type
// Application, or cannot be read: that is how a user or vendor takes an application off the
// menus, and the copies of that ID in later folders stay hidden with it, as they do when the
// workspace looks applications up.
class DesktopEntryApplicationBundles final : public ApplicationBundles {
public:
    // The folders most important first, e.g. DesktopEntryIndex::applicationFolders().
    explicit DesktopEntryApplicationBundles(const QStringList& folders);

    QStringList scanDirectories() const override { return m_folders; }
    // The paths of the files of the folder's tree, relative to the folder, in byte order.
    std::optional<QStringList> entryNames(const QString& folder) const override;
    // Paths ending in ".desktop", in exactly that case.
    bool isApplicationEntry(const QString& entryName) const override;
    // The display name is "Name" in the user's language (LC_ALL, LC_MESSAGES or LANG), else the
    // plain "Name".
    std::optional<ApplicationBundle> open(const QString& folder,
                                          const QString& entryName) const override;
    // The identifier.
    QString fallbackName(const QString& entryName) const override;

private:
    QStringList m_folders;
};

} // namespace korvalen
