#pragma once

#include "website/BrowserTabReport.h"

#include <QByteArray>

#include <optional>

namespace korvalen {

// Turns what the extension says into the report Korvalen may see: a tab keeps its host only
// when it shows an http or https page whose host is a plain host name, and nothing else of
// the message (a URL the extension might add, say) passes.
class HostReportFilter {
public:
    // The extension's message, one JSON object: {"type":"tab", "reason", "windowId", "scheme",
    // "host"} or {"type":"snapshot", "windows":[{"windowId", "focused", "scheme", "host"}…]}.
    // None when it is not of that shape.
    static std::optional<BrowserTabReport> report(const QByteArray& message);
};

} // namespace korvalen
