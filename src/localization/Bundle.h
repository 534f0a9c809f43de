#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace korvalen {

// A resource folder: the resource bundle, or one of its localization folders
// ("<language code>.lproj"), each of which may hold the default string table
// "Localizable.strings".
class Bundle {
public:
    // None when the path is not an existing folder.
    static std::optional<Bundle> open(const QString& path);

    const QString& path() const { return m_path; }

    // The codes of the localization folders, sorted; empty when there are none.
    QStringList localizations() const;
    // The localization folder of exactly this code, when it exists.
    std::optional<Bundle> localizationBundle(const QString& languageCode) const;

    // The text's entry in the default string table, read again whenever the file has changed;
    // the text itself when the table has no entry for it or there is no table.
    QString localizedString(const QString& text) const;

private:
    explicit Bundle(QString path)
        : m_path(std::move(path))
    {
    }

    QString m_path;
};

} // namespace korvalen
