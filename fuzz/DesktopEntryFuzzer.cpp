#include "FuzzTarget.h"
#include "platform/linux/DesktopEntry.h"

#include <QFile>

using namespace korvalen;

namespace {

// Whether a line of the text opens the main group, found without the reader's own parsing.
bool hasMainGroupHeader(const QByteArray& contents)
{
    for (QString line : QString::fromUtf8(contents).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line == u"[Desktop Entry]")
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The reader takes a path: each input is written to the same file.
    static const QString path = fuzz::scratchFolder() + QStringLiteral("/fuzz.desktop");
    const QByteArray contents = fuzz::bytesOf(data, size);
    QFile file(path);
    fuzz::require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                      file.write(contents) == contents.size(),
                  "the input is written to a file");
    file.close();

    const auto entry = DesktopEntry::read(path, QStringLiteral("org.example.Fuzz.desktop"));
    fuzz::require(entry.has_value() == hasMainGroupHeader(contents),
                  "an entry is read exactly when the file has a main group");
    if (!entry)
        return 0;
    fuzz::require(entry->applicationID() == u"org.example.Fuzz", "the ID is the file's");
    // Locales of every shape the environment may give, down to bare separators.
    for (const QString& key : {QStringLiteral("Name"), QStringLiteral("Exec")}) {
        for (const QString& locale : {QStringLiteral("de_DE.UTF-8"), QStringLiteral("sr_RS@latin"),
                                      QStringLiteral("C"), QStringLiteral("_.@"), QString()})
            entry->localizedValue(key, locale);
    }
    return 0;
}
