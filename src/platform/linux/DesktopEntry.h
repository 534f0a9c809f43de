#pragma once

#include <QHash>
#include <QString>

#include <optional>

namespace korvalen {

// The main group ("[Desktop Entry]") of one desktop entry file, as the XDG Desktop Entry
// standard describes it: how an installed application names itself and how its windows
// identify themselves.
class DesktopEntry {
public:
    // The ending of desktop entry file names.
    static inline const QString fileSuffix = QStringLiteral(".desktop");
    // The desktop-file ID of a file's path below an "applications" folder: the path with "/"
    // replaced by "-", so "kde4/konsole.desktop" gives "kde4-konsole.desktop".
    static QString desktopFileIDOf(const QString& relativePath);
    // The application ID of a desktop-file ID: the ID without ".desktop".
    static QString applicationIDOf(const QString& desktopFileID);

    // Reads the file with the given desktop-file ID (its path below an "applications" folder with
    // "/" replaced by "-"). None when the file cannot be read, is too large to be a desktop entry,
    // or has no main group. Lines that are not entries are skipped, as are repeated keys after
    // their first occurrence.
    static std::optional<DesktopEntry> read(const QString& path, const QString& desktopFileID);

    // The locale that localized values are chosen for, e.g. "de_DE.UTF-8": as for translated
    // messages, the first language of LANGUAGE, else LC_ALL, LC_MESSAGES or LANG (the first one
    // set); LANGUAGE does not count under the C locale. Empty when none is set.
    static QString messagesLocale();

    // The application's identifier: the desktop-file ID without ".desktop".
    const QString& applicationID() const { return m_applicationID; }
    const QString& path() const { return m_path; }

    // The value of a key, with the escapes \s \n \t \r \\ decoded; none when the key is absent.
    std::optional<QString> value(const QString& key) const;
    // The value of a localized key for a locale such as "sr_RS.UTF-8@latin": "Key[sr_RS@latin]",
    // "Key[sr_RS]", "Key[sr@latin]", "Key[sr]", then "Key", the first present.
    std::optional<QString> localizedValue(const QString& key, const QString& locale) const;

private:
    DesktopEntry(QString path, QString applicationID, QHash<QString, QString> rawValues);

    QString m_path;
    QString m_applicationID;
    QHash<QString, QString> m_rawValues; // key (with its locale suffix) → value as written
};

} // namespace korvalen
