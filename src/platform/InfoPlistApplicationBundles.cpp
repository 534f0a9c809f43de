#include "platform/InfoPlistApplicationBundles.h"

#include "platform/InfoPlist.h"

#include <QDir>
#include <QFileInfo>

namespace korvalen {

namespace {
const QString bundleSuffix = QStringLiteral(".app");
} // namespace

InfoPlistApplicationBundles::InfoPlistApplicationBundles(QStringList folders)
    : m_folders(std::move(folders))
{
}

QStringList InfoPlistApplicationBundles::standardFolders()
{
    return {QStringLiteral("/Applications"), QStringLiteral("/System/Applications"),
            QStringLiteral("/System/Applications/Utilities"),
            QDir::homePath() + QStringLiteral("/Applications")};
}

std::optional<QStringList> InfoPlistApplicationBundles::entryNames(const QString& folder) const
{
    if (!QFileInfo(folder).isDir())
        return std::nullopt;
    // One level only: applications kept in sub-folders are not looked for.
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

bool InfoPlistApplicationBundles::isApplicationEntry(const QString& entryName) const
{
    return entryName.endsWith(bundleSuffix);
}

std::optional<ApplicationBundle> InfoPlistApplicationBundles::open(const QString& folder,
                                                                   const QString& entryName) const
{
    const QString path = entryPath(folder, entryName);
    // A bundle is a folder; a file or a dangling link named like one is not.
    if (!QFileInfo(path).isDir())
        return std::nullopt;
    ApplicationBundle bundle;
    // Without a readable property list the bundle has no identifier, so it is not listed.
    if (const auto plist = InfoPlist::read(path + QStringLiteral("/Contents/Info.plist"))) {
        bundle.identifier = plist->text(QStringLiteral("CFBundleIdentifier"));
        bundle.displayName = plist->text(QStringLiteral("CFBundleDisplayName"));
        bundle.name = plist->text(QStringLiteral("CFBundleName"));
    }
    return bundle;
}

QString InfoPlistApplicationBundles::fallbackName(const QString& entryName) const
{
    return QString(entryName).remove(bundleSuffix);
}

} // namespace korvalen
