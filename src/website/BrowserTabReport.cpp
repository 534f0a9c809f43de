#include "website/BrowserTabReport.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

// Window IDs are JavaScript numbers: integers stay exact up to 2^53.
constexpr double largestWindowId = 9007199254740991.0;

const QStringList& reasons()
{
    static const QStringList list = {u"activated"_s, u"updated"_s, u"focusChanged"_s,
                                     u"connected"_s};
    return list;
}

std::optional<qint64> windowIdOf(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != std::floor(number) || number < -1 || number > largestWindowId)
        return std::nullopt;
    return static_cast<qint64>(number);
}

// Absent and null both mean no web page; any other value must be a host name.
bool readHost(const QJsonValue& value, std::optional<QString>& host)
{
    if (value.isUndefined() || value.isNull()) {
        host.reset();
        return true;
    }
    if (!value.isString() || !BrowserTabReport::isWebHost(value.toString()))
        return false;
    host = value.toString();
    return true;
}

QJsonValue hostValue(const std::optional<QString>& host)
{
    return host ? QJsonValue(*host) : QJsonValue(QJsonValue::Null);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
bool isHexDigit(QChar c)
{
    return isAsciiDigit(c) || (c >= u'a' && c <= u'f');
}

// Browsers write an IPv4 address as four decimal numbers without leading zeros.
bool isIPv4(QStringView text)
{
    const auto parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (QStringView part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.front() == u'0') ||
            !std::all_of(part.begin(), part.end(), isAsciiDigit) || part.toInt() > 255)
            return false;
    }
    return true;
}

// Browsers write an IPv6 address as lower-case hexadecimal groups, the longest run of zero
// groups shortened to "::", never with an embedded IPv4 address.
bool isBracketedIPv6(QStringView text)
{
    if (text.size() < 4 || text.front() != u'[' || text.back() != u']')
        return false;
    const QStringView inner = text.sliced(1, text.size() - 2);
    const qsizetype gap = inner.indexOf(u"::");
    if (gap >= 0 && inner.indexOf(u"::", gap + 1) >= 0)
        return false;
    auto countGroups = [](QStringView side) -> int {
        if (side.isEmpty())
            return 0;
        int groups = 0;
        for (QStringView group : side.split(u':')) {
            if (group.isEmpty() || group.size() > 4 ||
                !std::all_of(group.begin(), group.end(), isHexDigit))
                return -1;
            ++groups;
        }
        return groups;
    };
    if (gap < 0)
        return countGroups(inner) == 8;
    const int before = countGroups(inner.first(gap));
    const int after = countGroups(inner.sliced(gap + 2));
    return before >= 0 && after >= 0 && before + after <= 7;
}

bool isDomainName(QStringView text)
{
    const auto labels = text.split(u'.');
    for (QStringView label : labels) {
        if (label.isEmpty() || label.size() > 63)
            return false;
        for (QChar c : label) {
            if (!(isAsciiDigit(c) || (c >= u'a' && c <= u'z') || c == u'-' || c == u'_'))
                return false;
        }
    }
    // A browser reads a name whose last label is a number as an IPv4 address.
    const QStringView last = labels.back();
    return !std::all_of(last.begin(), last.end(), isAsciiDigit);
}

} // namespace

std::optional<QString> BrowserTabReport::focusedHost() const
{
    for (const Window& window : windows) {
        if (window.focused)
            return window.host;
    }
    return std::nullopt;
}

std::optional<BrowserTabReport> BrowserTabReport::fromJsonLine(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromJson(document.object());
}

std::optional<BrowserTabReport> BrowserTabReport::fromJson(const QJsonObject& object)
{
    BrowserTabReport report;
    const QJsonValue type = object.value(u"type"_s);
    if (type == u"tab"_s) {
        report.type = Type::tab;
        const QJsonValue reason = object.value(u"reason"_s);
        if (!reason.isString() || !reasons().contains(reason.toString()))
            return std::nullopt;
        report.reason = reason.toString();
        Window window;
        const auto windowId = windowIdOf(object.value(u"windowId"_s));
        if (!windowId || !readHost(object.value(u"host"_s), window.host))
            return std::nullopt;
        window.windowId = *windowId;
        window.focused = *windowId != -1;
        // No window has the focus, so no tab is shown.
        if (!window.focused && window.host)
            return std::nullopt;
        report.windows.append(window);
        return report;
    }
    if (type == u"snapshot"_s) {
        report.type = Type::snapshot;
        const QJsonValue windows = object.value(u"windows"_s);
        if (!windows.isArray())
            return std::nullopt;
        for (const QJsonValue& value : windows.toArray()) {
            const QJsonObject entry = value.toObject();
            Window window;
            const auto windowId = windowIdOf(entry.value(u"windowId"_s));
            const QJsonValue focused = entry.value(u"focused"_s);
            if (!value.isObject() || !windowId || *windowId == -1 || !focused.isBool() ||
                !readHost(entry.value(u"host"_s), window.host))
                return std::nullopt;
            window.windowId = *windowId;
            window.focused = focused.toBool();
            report.windows.append(window);
        }
        return report;
    }
    return std::nullopt;
}

QByteArray BrowserTabReport::toJsonLine() const
{
    QJsonObject object;
    if (type == Type::tab) {
        const Window window = windows.value(0);
        object = {{u"type"_s, u"tab"_s},
                  {u"reason"_s, reason},
                  {u"windowId"_s, window.windowId},
                  {u"host"_s, hostValue(window.host)}};
    }
    else {
        QJsonArray list;
        for (const Window& window : windows) {
            list.append(QJsonObject{{u"windowId"_s, window.windowId},
                                    {u"focused"_s, window.focused},
                                    {u"host"_s, hostValue(window.host)}});
        }
        object = {{u"type"_s, u"snapshot"_s}, {u"windows"_s, list}};
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray BrowserTabReport::queryLine()
{
    return "{\"type\":\"query\"}\n";
}

bool BrowserTabReport::isWebHost(const QString& host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    if (host.front() == u'[')
        return isBracketedIPv6(host);
    return isIPv4(host) || isDomainName(host);
}

} // namespace korvalen
