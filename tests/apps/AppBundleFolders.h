#pragma once

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <optional>

namespace korvalen::testing {

// Folders of ".app" bundles in a temporary directory that is removed afterwards.
class AppBundleFolders : public TemporaryFolder {
public:
    // Writes a bundle whose Info.plist dictionary holds the given XML entries.
    void writeBundle(const QString& relativePath, const QByteArray& dictionaryEntries) const
    {
        write(relativePath + QStringLiteral("/Contents/Info.plist"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\">\n<dict>\n" +
                  dictionaryEntries + "</dict>\n</plist>\n");
    }

    // Writes a bundle with this identifier and, where given, these names as texts.
    void writeApp(const QString& relativePath, const QByteArray& identifier,
                  const std::optional<QByteArray>& displayName = std::nullopt,
                  const std::optional<QByteArray>& name = std::nullopt) const
    {
        QByteArray entries = entry("CFBundleIdentifier", identifier);
        if (displayName)
            entries += entry("CFBundleDisplayName", *displayName);
        if (name)
            entries += entry("CFBundleName", *name);
        writeBundle(relativePath, entries);
    }

    static QByteArray entry(const QByteArray& key, const QByteArray& text)
    {
        return "<key>" + key + "</key><string>" + text + "</string>\n";
    }
};

} // namespace korvalen::testing
