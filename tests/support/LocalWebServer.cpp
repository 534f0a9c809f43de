#include "support/LocalWebServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace korvalen::testing {

namespace {

QByteArray response(const QByteArray& body, LocalWebServer::Behaviour behaviour)
{
    using Behaviour = LocalWebServer::Behaviour;
    switch (behaviour) {
    case Behaviour::answer:
        return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\n\r\n" + body;
    case Behaviour::unsized:
        return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body;
    case Behaviour::drip:
        return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
    case Behaviour::redirect:
        return "HTTP/1.1 302 Found\r\nConnection: close\r\nContent-Length: 0\r\nLocation: " + body +
               "\r\n\r\n";
    case Behaviour::mute:
        break;
    }
    return {};
}

// Sends one byte of the body every 100 ms for as long as the connection lasts.
void drip(QTcpSocket* socket, const QByteArray& body)
{
    auto* timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket,
                     [socket, body, next = qsizetype(0)]() mutable {
                         socket->write(body.mid(next, 1));
                         next = (next + 1) % body.size();
                     });
    timer->start(100);
}

} // namespace

LocalWebServer::LocalWebServer(QByteArray body, Behaviour behaviour)
{
    m_server.listen(QHostAddress::LocalHost);
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this, body, behaviour] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_connectionCount;
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            if (behaviour == Behaviour::mute)
                continue;
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, body, behaviour] {
                socket->readAll();
                // Once per connection, whatever else the client sends.
                QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
                socket->write(response(body, behaviour));
                if (behaviour == Behaviour::drip)
                    drip(socket, body);
                else
                    socket->disconnectFromHost();
            });
        }
    });
}

QString LocalWebServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

} // namespace korvalen::testing
