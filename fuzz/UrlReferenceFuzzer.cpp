#include "FuzzTarget.h"
#include "website/UrlReference.h"

#include <algorithm>

using namespace korvalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The typed or pasted text of the rules editor, or a browser's tab address.
    const auto host = UrlReference::host(QString::fromUtf8(fuzz::bytesOf(data, size)));
    if (!host)
        return 0;
    fuzz::require(!host->isEmpty(), "a host is never empty");
    // A website rule's domain is matched against hosts like this one; no browser opens a host
    // with blanks or control characters in it.
    fuzz::require(
        std::ranges::none_of(
            *host, [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; }),
        "a host has no blanks or control characters");
    return 0;
}
