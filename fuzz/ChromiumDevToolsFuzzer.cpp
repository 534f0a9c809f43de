#include "FuzzTarget.h"
#include "platform/linux/ChromiumDevTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

using namespace korvalen;

namespace {

// A browser's DevTools endpoint on 127.0.0.1 that answers every request with the current input.
// One serves all inputs: Qt keeps a connection per host and port for reuse, and a new port per
// input would pile them up.
class Endpoint {
public:
    Endpoint()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->readAll();
                    QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
                    socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                                  QByteArray::number(m_targetList.size()) + "\r\n\r\n" +
                                  m_targetList);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    const QByteArray& targetList() const { return m_targetList; }
    void setTargetList(QByteArray targetList) { m_targetList = std::move(targetList); }

private:
    QTcpServer m_server;
    QByteArray m_targetList;
};

// The "url" members of the targets of type "page", read without the backend's own code.
QJsonArray pageURLs(const QByteArray& targetList)
{
    QJsonArray urls;
    for (const QJsonValue& target : QJsonDocument::fromJson(targetList).array()) {
        const QJsonObject object = target.toObject();
        if (object.value(QStringLiteral("type")) == QStringLiteral("page"))
            urls.append(object.value(QStringLiteral("url")));
    }
    return urls;
}

// The profile folder of a browser whose endpoint is the given one.
QString announcingProfile(const Endpoint& endpoint)
{
    QFile portFile(fuzz::scratchFolder() + QStringLiteral("/DevToolsActivePort"));
    fuzz::require(portFile.open(QIODevice::WriteOnly) &&
                      portFile.write(QByteArray::number(endpoint.port()) + '\n') > 0,
                  "the endpoint's port is announced");
    return fuzz::scratchFolder();
}

} // namespace

// The input is the active window's title, a line break, and the answer to /json/list.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Endpoint endpoint;
    static QString windowTitle;
    static ChromiumDevTools devTools(
        {{QStringLiteral("chromium"), QStringLiteral("Chromium"), announcingProfile(endpoint)}},
        [] {
            return X11ActiveWindow::State{windowTitle, {}};
        });

    // A copy, since the endpoint keeps its part beyond the call.
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype lineEnd = input.indexOf('\n');
    windowTitle = QString::fromUtf8(input.first(std::max(lineEnd, qsizetype(0))));
    endpoint.setTargetList(input.sliced(lineEnd + 1)); // all of it without a line break

    std::optional<std::optional<QString>> answer;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    devTools.requestCurrentTabURL(QStringLiteral("Chromium"),
                                  [&](const std::optional<QString>& url) {
                                      answer = url;
                                      loop.quit();
                                  });
    if (!answer)
        loop.exec();
    // The backend lets its replies go with deleteLater(), which a nested loop that has ended never
    // carries out; the application's own loop would.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    const QJsonArray urls = pageURLs(endpoint.targetList());
    fuzz::require(!answer->has_value() || urls.contains(**answer),
                  "the address is that of a page in the list");
    // Unless the machine was too busy to answer in time.
    const bool answeredInTime = clock.elapsed() < ChromiumDevTools::replyTimeout.count();
    const bool everyURLIsText =
        std::all_of(urls.begin(), urls.end(), [](const QJsonValue& url) { return url.isString(); });
    fuzz::require(answer->has_value() || urls.isEmpty() || !everyURLIsText || !answeredInTime,
                  "a list of pages with addresses gives an address");
    return 0;
}
