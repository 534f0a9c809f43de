#include "platform/linux/ChromiumDevTools.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

namespace {

// The port the browser wrote into its profile when remote debugging started.
int devToolsPort(const QString& profileFolder)
{
    QFile file(QDir(profileFolder).filePath(u"DevToolsActivePort"_s));
    if (!file.open(QIODevice::ReadOnly))
        return ChromiumDevTools::defaultPort;
    bool ok = false;
    const int port = file.readLine(16).trimmed().toInt(&ok);
    return ok && port > 0 && port <= 65535 ? port : ChromiumDevTools::defaultPort;
}

std::optional<QString> firstPageURL(const QByteArray& targetList)
{
    const QJsonArray targets = QJsonDocument::fromJson(targetList).array();
    for (const QJsonValue& target : targets) {
        if (target[u"type"_s] != u"page"_s)
            continue;
        const QJsonValue url = target[u"url"_s];
        return url.isString() ? std::optional(url.toString()) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace

ChromiumDevTools::ChromiumDevTools(QList<Browser> browsers)
    : m_browsers(std::move(browsers))
{
    // The endpoint is on this machine; a proxy must never see the user's tabs.
    m_network.setProxy(QNetworkProxy::NoProxy);
}

std::unique_ptr<ChromiumDevTools> ChromiumDevTools::forCurrentUser()
{
    const QDir config(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    return std::make_unique<ChromiumDevTools>(QList<Browser>{
        {u"google-chrome"_s, u"Google Chrome"_s, config.filePath(u"google-chrome"_s)},
        {u"chromium"_s, u"Chromium"_s, config.filePath(u"chromium"_s)},
    });
}

QMap<QString, QString> ChromiumDevTools::supportedBrowsers() const
{
    QMap<QString, QString> browsers;
    for (const Browser& browser : m_browsers)
        browsers.insert(browser.bundleID, browser.appName);
    return browsers;
}

void ChromiumDevTools::requestCurrentTabURL(const QString& appName, TabURLHandler handler)
{
    const auto browser = std::ranges::find(m_browsers, appName, &Browser::appName);
    if (browser == m_browsers.end()) {
        handler(std::nullopt);
        return;
    }
    QUrl endpoint;
    endpoint.setScheme(u"http"_s);
    endpoint.setHost(u"127.0.0.1"_s);
    endpoint.setPort(devToolsPort(browser->profileFolder));
    endpoint.setPath(u"/json/list"_s);

    QNetworkRequest request(endpoint);
    request.setTransferTimeout(int(replyTimeout.count()));
    // A redirect could lead away from this machine.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network.get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, handler = std::move(handler)] {
        reply->deleteLater();
        const bool answered =
            reply->error() == QNetworkReply::NoError &&
            reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
        handler(answered ? firstPageURL(reply->readAll()) : std::nullopt);
    });
}

} // namespace korvalen
