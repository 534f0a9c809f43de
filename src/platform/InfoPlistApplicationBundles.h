#pragma once

#include "platform/ApplicationBundles.h"
#include "platform/InfoPlist.h"

namespace korvalen {

// Applications as macOS installs them: bundle folders named "<name>.app" directly inside a few
// application folders, each describing itself in its Contents/Info.plist. Written with QtCore
// alone so that the same code runs, and is tested, on every system.
class InfoPlistApplicationBundles final : public ApplicationBundles {
public:
    // Lists in the binary form are read by `binaryPlists`; without one, bundles that keep their
    // list in that form are not applications.
    explicit InfoPlistApplicationBundles(QStringList folders,
                                         InfoPlist::BinaryReader binaryPlists = {});

    // "/Applications", "/System/Applications", "/System/Applications/Utilities" and the user's
    // own "Applications" folder, in that order.
    static QStringList standardFolders();

    QStringList scanDirectories() const override { return m_folders; }
    // The names directly inside the folder, hidden ones included.
    std::optional<QStringList> entryNames(const QString& folder) const override;
    // Names ending in ".app", in exactly that case.
    bool isApplicationEntry(const QString& entryName) const override;
    // Bundle folders only; the identifier comes from "CFBundleIdentifier", the names from
    // "CFBundleDisplayName" and "CFBundleName".
    std::optional<ApplicationBundle> open(const QString& folder,
                                          const QString& entryName) const override;
    // The entry name with every ".app" in it removed: "Notes.app" gives "Notes".
    QString fallbackName(const QString& entryName) const override;

private:
    QStringList m_folders;
    InfoPlist::BinaryReader m_binaryPlists;
};

} // namespace korvalen
