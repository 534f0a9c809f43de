#include "platform/linux/DesktopEntryApplicationBundles.h"

#include "platform/linux/DesktopEntry.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace korvalen {

namespace {

QString applicationID(const QString& entryName)
{
    return DesktopEntry::applicationIDOf(DesktopEntry::desktopFileIDOf(entryName));
}

bool isShown(const DesktopEntry& entry)
{
    const QString yes = QStringLiteral("true");
    return entry.value(QStringLiteral("Type")) == QStringLiteral("Application") &&
           entry.value(QStringLiteral("Hidden")) != yes &&
           entry.value(QStringLiteral("NoDisplay")) != yes;
}

} // namespace

DesktopEntryApplicationBundles::DesktopEntryApplicationBundles(const QStringList& folders)
{
    // $XDG_DATA_DIRS may name a folder twice, or with a trailing "/".
    for (const QString& folder : folders)
        m_folders << QDir::cleanPath(folder);
    m_folders.removeDuplicates();
}

std::optional<QStringList> DesktopEntryApplicationBundles::entryNames(const QString& folder) const
{
    const QString cleanFolder = QDir::cleanPath(folder);
    if (!QFileInfo(cleanFolder).isDir())
        return std::nullopt;
    // Links to folders are not followed, so a link loop ends the walk rather than repeating it.
    QStringList relativePaths;
    QDirIterator it(cleanFolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        relativePaths << it.next().sliced(cleanFolder.size() + 1);
    // "a/b.desktop" and "a-b.desktop" have one ID; sorting makes the same one win on every run,
    // the one the workspace finds too.
    relativePaths.sort();
    return relativePaths;
}

bool DesktopEntryApplicationBundles::isApplicationEntry(const QString& entryName) const
{
    return entryName.endsWith(DesktopEntry::fileSuffix);
}

std::optional<ApplicationBundle>
DesktopEntryApplicationBundles::open(const QString& folder, const QString& entryName) const
{
    ApplicationBundle bundle{applicationID(entryName), std::nullopt, std::nullopt, true};
    const auto entry =
        DesktopEntry::read(entryPath(folder, entryName), DesktopEntry::desktopFileIDOf(entryName));
    if (entry && isShown(*entry)) {
        bundle.displayName =
            entry->localizedValue(QStringLiteral("Name"), DesktopEntry::messagesLocale());
        bundle.isHidden = false;
    }
    return bundle;
}

QString DesktopEntryApplicationBundles::fallbackName(const QString& entryName) const
{
    return applicationID(entryName);
}

} // namespace korvalen
