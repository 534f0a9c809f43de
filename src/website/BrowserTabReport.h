#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace korvalen {

// What the browser extension tells, through the native messaging host, about the active tabs:
// only the host name of a tab showing an http or https page, never its address (addresses carry
// tokens). Travels from the host to Korvalen as one compact JSON object per line:
//
//   {"type":"tab","reason":"activated","windowId":7,"host":"example.com"}
//   {"type":"snapshot","windows":[{"windowId":7,"focused":true,"host":"example.com"}]}
//
// "reason" is "activated", "updated", "focusChanged" or "connected"; "host" is null (or absent)
// for a tab showing no web page, and a "tab" report with windowId -1 says that no window of the
// browser has the focus. A snapshot answers the query line {"type":"query"} that Korvalen sends
// the host. The members of an object may come in any order; unknown members are ignored.
struct BrowserTabReport {
    enum class Type { tab, snapshot };
    struct Window {
        qint64 windowId = -1;
        bool focused = false;
        std::optional<QString> host;
        bool operator==(const Window&) const = default;
    };

    Type type = Type::tab;
    QString reason;        // tab reports only
    QList<Window> windows; // a tab report holds one, the focused window's: focused unless its
                           // windowId is -1
    bool operator==(const BrowserTabReport&) const = default;

    // The host of the focused window's active tab, if the report names one.
    std::optional<QString> focusedHost() const;

    // Parses one line; none when it is not a report of this shape (unknown type, wrong field
    // types, a host that is not a valid lower-case host name).
    static std::optional<BrowserTabReport> fromJsonLine(const QByteArray& line);
    static std::optional<BrowserTabReport> fromJson(const QJsonObject& object);
    // The line, with its "\n".
    QByteArray toJsonLine() const;

    // The query line Korvalen sends, with its "\n".
    static QByteArray queryLine();

    // Whether the text is a host name as a browser reports it in a URL: lower-case ASCII labels
    // of letters, digits, hyphens and underscores (internationalised names in their punycode
    // form), an IPv4 address, or an IPv6 address in brackets; at most 253 characters.
    static bool isWebHost(const QString& host);
};

} // namespace korvalen
