#pragma once

#include "platform/linux/DesktopEntry.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <vector>

namespace korvalen {

// The application desktop entries installed in a list of "applications" folders, read once.
//
// Folders come most important first and their subfolders are included; when two files have the
// same desktop-file ID, the one in the more important folder wins and the other is not seen,
// even when the winner is hidden ("Hidden=true", the user's way of removing an entry) or is not
// an application. Only visible entries of type Application are indexed.
class DesktopEntryIndex {
public:
    // The "applications" folders of the XDG data directories: $XDG_DATA_HOME (~/.local/share by
    // default), then each of $XDG_DATA_DIRS (/usr/local/share:/usr/share by default).
    static QStringList applicationFolders();

    explicit DesktopEntryIndex(const QStringList& folders);

    // The entry of an application identifier (desktop-file ID without ".desktop"); null if none.
    const DesktopEntry* entryForApplicationID(const QString& applicationID) const;
    // The entry whose StartupWMClass is exactly the given text; null if none. Of several, a visible
    // one (not NoDisplay) before a hidden one, then the one whose ID is the class in any case,
    // then the first.
    const DesktopEntry* entryForStartupWMClass(const QString& wmClass) const;
    // The same, with the StartupWMClass in any letter case.
    const DesktopEntry* entryForStartupWMClassInAnyCase(const QString& wmClass) const;
    // The first entry that starts the program of this file name: the file name in TryExec's path,
    // or in the path Exec starts with. Null if none.
    const DesktopEntry* entryForProgram(const QString& fileName) const;

    // Every folder looked at: those given and their subfolders, including those that did not
    // exist.
    QStringList foldersRead() const { return m_folderTimes.keys(); }
    // Whether the folders still look as they did when they were read. Installing or removing an
    // application adds or removes a file, which changes its folder's modification time.
    bool isCurrent() const;

private:
    void readFolder(const QString& folder, QSet<QString>& takenIDs);

    std::vector<DesktopEntry> m_entries;
    QHash<QString, qsizetype> m_byApplicationID;
    QHash<QString, qsizetype> m_byStartupWMClass;
    QHash<QString, qsizetype> m_byFoldedStartupWMClass;
    QHash<QString, qsizetype> m_byProgram;
    QHash<QString, QDateTime> m_folderTimes; // every folder read, invalid when it did not exist
};

} // namespace korvalen
