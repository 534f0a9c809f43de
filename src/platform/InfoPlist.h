#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <optional>

namespace korvalen {

// The text values of an application bundle's information property list (Contents/Info.plist),
// read from its XML form here, and from its binary form by the platform's own parser.
class InfoPlist {
public:
    using Texts = QHash<QString, QString>;
    // The text values of the top-level dictionary of a property list in the binary form; none
    // when the bytes hold no such list.
    using BinaryReader = std::function<std::optional<Texts>(const QByteArray& contents)>;

    // None when the file cannot be read, is too large to be an information property list, or
    // its contents do not parse.
    static std::optional<InfoPlist> read(const QString& path, const BinaryReader& binary = {});
    // The same, from the contents of a whole file: the binary form (which begins with "bplist")
    // through `binary`, and none without one; otherwise the XML form, none when it is not
    // well-formed XML or does not hold a dictionary.
    static std::optional<InfoPlist> parse(const QByteArray& contents,
                                          const BinaryReader& binary = {});

    // The value of a key of the top-level dictionary when it is a text (an empty one included);
    // none when the key is absent or holds a number, a date, a list or any other kind of value.
    std::optional<QString> text(const QString& key) const;

private:
    explicit InfoPlist(Texts texts);

    Texts m_texts;
};

} // namespace korvalen
