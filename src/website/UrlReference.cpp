#include "website/UrlReference.h"

#include <uriparser/Uri.h>

namespace korvalen::UrlReference {

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
        result = QString::fromUtf8(hostBytes);
    }
    uriFreeUriMembersA(&uri);
    return result;
}

} // namespace korvalen::UrlReference
