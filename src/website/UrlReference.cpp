#include "website/UrlReference.h"

#include <uriparser/Uri.h>

#include <algorithm>

namespace korvalen::UrlReference {

namespace {

// Percent-encoding lets an address spell out in its host what no browser opens (the URL standard
// forbids blanks and control characters there); such a host could only make a rule that never
// matches.
bool isOpenableHost(const QString& host)
{
    return std::ranges::none_of(
        host, [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; });
}

} // namespace

std::optional<QString> host(const QString& reference)
{
    const QByteArray text = reference.toUtf8();
    UriUriA uri;
    const char* errorPosition = nullptr;
    if (uriParseSingleUriExA(&uri, text.constBegin(), text.constEnd(), &errorPosition) !=
        URI_SUCCESS)
        return std::nullopt;

    std::optional<QString> result;
    const UriTextRangeA& range = uri.hostText;
    if (range.first && range.afterLast > range.first) {
        QByteArray hostBytes(range.first, range.afterLast - range.first);
        const char* end = uriUnescapeInPlaceExA(hostBytes.data(), URI_FALSE, URI_BR_DONT_TOUCH);
        hostBytes.truncate(end - hostBytes.constData());
        if (QString decoded = QString::fromUtf8(hostBytes); isOpenableHost(decoded))
            result = std::move(decoded);
    }
    uriFreeUriMembersA(&uri);
    return result;
}

} // namespace korvalen::UrlReference
