#include "platform/linux/DesktopEntryIndex.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace korvalen {

namespace {

QDateTime modificationTime(const QString& folder)
{
    const QFileInfo info(folder);
    return info.isDir() ? info.lastModified() : QDateTime();
}

// How well an entry suits a window of its StartupWMClass; lower is better. Applications ship
// helpers kept out of menus that share their class, and alternative editions of themselves.
int startupWMClassRank(const DesktopEntry& entry, const QString& wmClass)
{
    const bool hidden = entry.value(QStringLiteral("NoDisplay")) == QStringLiteral("true");
    const bool named = entry.applicationID().compare(wmClass, Qt::CaseInsensitive) == 0;
    return (hidden ? 2 : 0) + (named ? 0 : 1);
}

QString fileNameOf(const QString& path)
{
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

// The program that an Exec line starts: its first word, which may be quoted.
QString programOfCommand(const QString& command)
{
    const QString line = command.trimmed();
    if (line.startsWith(u'"')) {
        const qsizetype end = line.indexOf(u'"', 1);
        return fileNameOf(line.sliced(1, (end < 0 ? line.size() : end) - 1));
    }
    return fileNameOf(line.section(u' ', 0, 0, QString::SectionSkipEmpty));
}

} // namespace

QStringList DesktopEntryIndex::applicationFolders()
{
    // Qt reads the XDG variables afresh on every call and applies the XDG base directory defaults.
    return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

DesktopEntryIndex::DesktopEntryIndex(const QStringList& folders)
{
    QStringList cleanFolders;
    for (const QString& folder : folders)
        cleanFolders << QDir::cleanPath(folder);
    cleanFolders.removeDuplicates();
    QSet<QString> takenIDs;
    for (const QString& folder : std::as_const(cleanFolders))
        readFolder(folder, takenIDs);
}

void DesktopEntryIndex::readFolder(const QString& folder, QSet<QString>& takenIDs)
{
    m_folderTimes.insert(folder, modificationTime(folder));

    QStringList relativePaths;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        if (info.isDir())
            m_folderTimes.insert(info.filePath(), info.lastModified());
        else if (info.fileName().endsWith(DesktopEntry::fileSuffix))
            relativePaths << info.filePath().sliced(folder.size() + 1);
    }
    // The listing order is the file system's; sorting makes the winner among entries with the
    // same StartupWMClass the same on every run.
    std::sort(relativePaths.begin(), relativePaths.end());

    for (const QString& relativePath : std::as_const(relativePaths)) {
        const QString desktopFileID = DesktopEntry::desktopFileIDOf(relativePath);
        if (takenIDs.contains(desktopFileID))
            continue;
        takenIDs.insert(desktopFileID);

        auto entry = DesktopEntry::read(folder + u'/' + relativePath, desktopFileID);
        if (!entry || entry->value(QStringLiteral("Type")) != QStringLiteral("Application") ||
            entry->value(QStringLiteral("Hidden")) == QStringLiteral("true"))
            continue;
        const qsizetype index = qsizetype(m_entries.size());
        m_byApplicationID.insert(entry->applicationID(), index);
        const QString wmClass = entry->value(QStringLiteral("StartupWMClass")).value_or(QString());
        if (!wmClass.isEmpty()) {
            const auto keepBetter = [&](QHash<QString, qsizetype>& byClass, const QString& key) {
                const auto known = byClass.constFind(key);
                if (known == byClass.constEnd() ||
                    startupWMClassRank(*entry, wmClass) <
                        startupWMClassRank(m_entries[size_t(*known)], wmClass))
                    byClass.insert(key, index);
            };
            keepBetter(m_byStartupWMClass, wmClass);
            keepBetter(m_byFoldedStartupWMClass, wmClass.toCaseFolded());
        }
        for (const QString& program :
             {fileNameOf(entry->value(QStringLiteral("TryExec")).value_or(QString())),
              programOfCommand(entry->value(QStringLiteral("Exec")).value_or(QString()))}) {
            if (!program.isEmpty() && !m_byProgram.contains(program))
                m_byProgram.insert(program, index);
        }
        m_entries.push_back(std::move(*entry));
    }
}

const DesktopEntry* DesktopEntryIndex::entryForApplicationID(const QString& applicationID) const
{
    const auto found = m_byApplicationID.constFind(applicationID);
    return found == m_byApplicationID.constEnd() ? nullptr : &m_entries[size_t(*found)];
}

const DesktopEntry* DesktopEntryIndex::entryForStartupWMClass(const QString& wmClass) const
{
    const auto found = m_byStartupWMClass.constFind(wmClass);
    return found == m_byStartupWMClass.constEnd() ? nullptr : &m_entries[size_t(*found)];
}

const DesktopEntry* DesktopEntryIndex::entryForStartupWMClassInAnyCase(const QString& wmClass) const
{
    const auto found = m_byFoldedStartupWMClass.constFind(wmClass.toCaseFolded());
    return found == m_byFoldedStartupWMClass.constEnd() ? nullptr : &m_entries[size_t(*found)];
}

const DesktopEntry* DesktopEntryIndex::entryForProgram(const QString& fileName) const
{
    const auto found = m_byProgram.constFind(fileName);
    return found == m_byProgram.constEnd() ? nullptr : &m_entries[size_t(*found)];
}

bool DesktopEntryIndex::isCurrent() const
{
    for (auto it = m_folderTimes.constBegin(); it != m_folderTimes.constEnd(); ++it) {
        if (modificationTime(it.key()) != it.value())
            return false;
    }
    return true;
}

} // namespace korvalen
