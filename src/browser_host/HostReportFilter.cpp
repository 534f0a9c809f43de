#include "browser_host/HostReportFilter.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

// Leaves the host only where it names a website; the scheme goes either way.
QJsonObject withWebHostOnly(QJsonObject tab)
{
    const QJsonValue scheme = tab.take(u"scheme"_s);
    const QJsonValue host = tab.value(u"host"_s);
    const bool isWeb = (scheme == u"http"_s || scheme == u"https"_s) && host.isString() &&
                       BrowserTabReport::isWebHost(host.toString());
    if (!isWeb)
        tab.insert(u"host"_s, QJsonValue::Null);
    return tab;
}

} // namespace

std::optional<BrowserTabReport> HostReportFilter::report(const QByteArray& message)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QJsonObject object = document.object();
    if (object.value(u"type"_s) == u"snapshot"_s && object.value(u"windows"_s).isArray()) {
        QJsonArray windows;
        for (const QJsonValue& window : object.value(u"windows"_s).toArray())
            windows.append(window.isObject() ? withWebHostOnly(window.toObject()) : window);
        object.insert(u"windows"_s, windows);
    }
    else {
        object = withWebHostOnly(object);
    }
    return BrowserTabReport::fromJson(object);
}

} // namespace korvalen
