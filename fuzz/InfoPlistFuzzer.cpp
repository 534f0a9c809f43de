#include "FuzzTarget.h"
#include "platform/InfoPlist.h"

#include <QXmlStreamWriter>

using namespace korvalen;

namespace {

// The keys the application scanner reads.
const QString keys[] = {QStringLiteral("CFBundleIdentifier"), QStringLiteral("CFBundleName"),
                        QStringLiteral("CFBundleDisplayName"),
                        QStringLiteral("CFBundleExecutable")};

// A property list with the texts the first one has under those keys.
QByteArray rewritten(const InfoPlist& plist)
{
    QByteArray contents;
    QXmlStreamWriter writer(&contents);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("plist"));
    writer.writeStartElement(QStringLiteral("dict"));
    for (const QString& key : keys) {
        if (const auto text = plist.text(key)) {
            writer.writeTextElement(QStringLiteral("key"), key);
            writer.writeTextElement(QStringLiteral("string"), *text);
        }
    }
    writer.writeEndDocument();
    return contents;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray contents = fuzz::bytesOf(data, size);
    // The binary form goes to the platform's reader only; without one it is never read.
    const auto plist = InfoPlist::parse(contents);
    fuzz::require(!plist || !contents.startsWith("bplist"), "no binary list without a reader");
    if (!plist)
        return 0;
    // Texts that came out of a property list go into one and come out the same.
    const auto again = InfoPlist::parse(rewritten(*plist));
    fuzz::require(again.has_value(), "the texts read make a property list again");
    for (const QString& key : keys)
        fuzz::require(again->text(key) == plist->text(key), "the texts read back the same");
    return 0;
}
