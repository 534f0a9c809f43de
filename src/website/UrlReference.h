#pragma once

#include <QString>

#include <optional>

namespace korvalen::UrlReference {

// The host of a URL reference read as RFC 3986 writes it: letter case kept, percent-encoding
// decoded, brackets of an IP literal removed. None when the text is not a URI reference or has
// no host, an empty one ("file:///tmp"), or one that decodes to blanks or control characters
// ("http://a%20b/").
std::optional<QString> host(const QString& reference);

} // namespace korvalen::UrlReference
