#pragma once

#include <QString>

#include <optional>

namespace korvalen::UrlReference {

// The host of a URL reference read as RFC 3986 writes it: letter case kept, percent-encoding
// decoded, brackets of an IP literal removed. None when the text is not a URI reference or has
// no host, or an empty one ("file:///tmp").
std::optional<QString> host(const QString& reference);

} // namespace korvalen::UrlReference
