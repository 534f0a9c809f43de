#include "platform/InfoPlistApplicationBundles.h"

#include <QDir>
#include <QFileInfo>

namespace korvalen {

namespace {
const QString bundleSuffix = QStringLiteral(".app");
} // namespace

InfoPlistApplicationBundles::InfoPlistApplicationBundles(QStringList folders,
                                                         InfoPlist::BinaryReader binaryPlists)
    : m_folders(std::move(folders))
    , m_binaryPlists(std::move(binaryPlists))
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
    // A bundle is a folder that describes itself: a file or a folder named like a bundle but
    // without a readable property list is not one. Reading the list straight away tells both.
    const auto plist = InfoPlist::read(
        entryPath(folder, entryName) + QStringLiteral("/Contents/Info.plist"), m_binaryPlists);
    if (!plist)
        return std::nullopt;
    return ApplicationBundle{plist->text(QStringLiteral("CFBundleIdentifier")),
                             plist->text(QStringLiteral("CFBundleDisplayName")),
                             plist->text(QStringLiteral("CFBundleName"))};
}

QString InfoPlistApplicationBundles::fallbackName(const QString& entryName) const
{
    return QString(entryName).remove(bundleSuffix);
}

} // namespace korvalen
