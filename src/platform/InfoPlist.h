#pragma once

#include <QHash>
#include <QString>

#include <optional>

namespace korvalen {

// The text values of an application bundle's information property list (Contents/Info.plist),
// read from its XML form.
class InfoPlist {
public:
    // None when the file cannot be read, is too large to be an information property list, is not
    // well-formed XML, or does not hold a dictionary.
    static std::optional<InfoPlist> read(const QString& path);
    // The same, from the text of a whole file.
    static std::optional<InfoPlist> parse(const QByteArray& xml);

    // The value of a key of the top-level dictionary when it is a text (an empty one included);
    // none when the key is absent or holds a number, a date, a list or any other kind of value.
    std::optional<QString> text(const QString& key) const;

private:
    explicit InfoPlist(QHash<QString, QString> texts);

    QHash<QString, QString> m_texts;
};

} // namespace korvalen
