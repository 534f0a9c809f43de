#include "platform/InfoPlist.h"

#include <QFile>
#include <QXmlStreamReader>

#include <utility>

namespace korvalen {

namespace {

// Real information property lists are at most a few hundred kilobytes; anything far larger is
// not one, and reading it would only cost memory and time.
constexpr qint64 maximumFileSize = 4 * 1024 * 1024;

// The text values of the <dict> the reader is on, its other values skipped; none on malformed
// XML.
std::optional<InfoPlist::Texts> dictionaryTexts(QXmlStreamReader& reader)
{
    InfoPlist::Texts texts;
    std::optional<QString> pendingKey;
    while (reader.readNextStartElement()) {
        if (reader.name() == u"key") {
            pendingKey = reader.readElementText();
        }
        else if (pendingKey && reader.name() == u"string") {
            texts.insert(*std::exchange(pendingKey, std::nullopt), reader.readElementText());
        }
        else {
            pendingKey.reset();
            reader.skipCurrentElement();
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return texts;
}

} // namespace

InfoPlist::InfoPlist(Texts texts)
    : m_texts(std::move(texts))
{
}

std::optional<InfoPlist> InfoPlist::read(const QString& path, const BinaryReader& binary)
{
    // Opened before its size is asked, so that the size comes from the open file rather than from
    // a second walk along the path.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || file.size() > maximumFileSize)
        return std::nullopt;
    return parse(file.read(file.size()), binary);
}

std::optional<InfoPlist> InfoPlist::parse(const QByteArray& contents, const BinaryReader& binary)
{
    // The version follows the six letters; which versions are read is the platform's concern.
    if (contents.startsWith("bplist")) {
        auto texts = binary ? binary(contents) : std::nullopt;
        if (!texts)
            return std::nullopt;
        return InfoPlist(std::move(*texts));
    }
    // <plist version="1.0"><dict>…</dict></plist>
    QXmlStreamReader reader(contents);
    if (!reader.readNextStartElement() || reader.name() != u"plist" ||
        !reader.readNextStartElement() || reader.name() != u"dict")
        return std::nullopt;
    auto texts = dictionaryTexts(reader);
    if (!texts)
        return std::nullopt;
    // Whatever follows the dictionary must still be well-formed, as a property list parser
    // rejects the whole file otherwise.
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError())
        return std::nullopt;
    return InfoPlist(std::move(*texts));
}

std::optional<QString> InfoPlist::text(const QString& key) const
{
    const auto found = m_texts.constFind(key);
    if (found == m_texts.constEnd())
        return std::nullopt;
    return *found;
}

} // namespace korvalen
