#include "platform/linux/SwayIpcConnection.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QtEndian>

#include <cstring>

namespace korvalen {

namespace {

constexpr char magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr qsizetype headerSize = sizeof(magic) + 2 * sizeof(quint32);

} // namespace

SwayIpcConnection::SwayIpcConnection(QString socketPath, QStringList eventNames)
    : m_socketPath(std::move(socketPath))
    , m_subscription(
          QJsonDocument(QJsonArray::fromStringList(eventNames)).toJson(QJsonDocument::Compact))
{
    m_reconnect.setInterval(reconnectInterval);
    QObject::connect(&m_reconnect, &QTimer::timeout, &m_eventSocket, [this] { connectEvents(); });
    QObject::connect(&m_eventSocket, &QLocalSocket::connected, &m_eventSocket, [this] {
        m_reconnect.stop();
        m_eventSocket.write(frame(quint32(MessageType::subscribe), m_subscription));
    });
    QObject::connect(&m_eventSocket, &QLocalSocket::readyRead, &m_eventSocket,
                     [this] { readEvents(); });
    QObject::connect(&m_eventSocket, &QLocalSocket::disconnected, &m_eventSocket,
                     [this] { lose(); });
    QObject::connect(&m_eventSocket, &QLocalSocket::errorOccurred, &m_eventSocket,
                     [this](QLocalSocket::LocalSocketError) {
                         if (m_eventSocket.state() == QLocalSocket::UnconnectedState)
                             lose();
                     });
    connectEvents();
}

SwayIpcConnection::~SwayIpcConnection()
{
    // The socket closing as it is destroyed is no compositor going away.
    m_eventSocket.disconnect();
}

QString SwayIpcConnection::sessionSocketPath()
{
    return qEnvironmentVariable("SWAYSOCK");
}

QByteArray SwayIpcConnection::frame(quint32 type, const QByteArray& payload)
{
    QByteArray message(magic, sizeof(magic));
    const quint32 header[] = {quint32(payload.size()), type};
    message.append(reinterpret_cast<const char*>(header), sizeof(header));
    return message + payload;
}

std::optional<SwayIpcConnection::Message> SwayIpcConnection::takeMessage(QByteArray& buffer,
                                                                         bool& invalid)
{
    invalid = false;
    if (buffer.size() < headerSize)
        return std::nullopt;
    quint32 header[2] = {};
    std::memcpy(header, buffer.constData() + sizeof(magic), sizeof(header));
    if (std::memcmp(buffer.constData(), magic, sizeof(magic)) != 0 ||
        header[0] > maximumPayloadSize) {
        invalid = true;
        return std::nullopt;
    }
    if (buffer.size() < headerSize + qsizetype(header[0]))
        return std::nullopt;
    Message message{header[1], buffer.mid(headerSize, header[0])};
    buffer.remove(0, headerSize + header[0]);
    return message;
}

void SwayIpcConnection::connectEvents()
{
    if (m_socketPath.isEmpty() || m_eventSocket.state() != QLocalSocket::UnconnectedState)
        return;
    m_eventBuffer.clear();
    m_eventSocket.connectToServer(m_socketPath);
}

void SwayIpcConnection::readEvents()
{
    m_eventBuffer.append(m_eventSocket.readAll());
    bool invalid = false;
    while (const auto message = takeMessage(m_eventBuffer, invalid)) {
        if (message->type == quint32(MessageType::subscribe)) {
            // The reply to the subscription: from here on no event is missed, and what was read
            // before can be read afresh. Requests go to the compositor that now answers.
            m_subscribed = QJsonDocument::fromJson(message->payload)
                               .object()
                               .value(QStringLiteral("success"))
                               .toBool();
            m_requestSocket.abort();
            m_connectionChanges.emit();
            continue;
        }
        if (message->type & 0x80000000u)
            m_events.emit(message->type, QJsonDocument::fromJson(message->payload).object());
    }
    if (invalid)
        m_eventSocket.abort();
}

void SwayIpcConnection::lose()
{
    if (!m_reconnect.isActive())
        m_reconnect.start();
    m_requestSocket.abort();
    if (!m_subscribed)
        return;
    m_subscribed = false;
    m_connectionChanges.emit();
}

std::optional<QJsonDocument> SwayIpcConnection::request(MessageType type, const QByteArray& payload)
{
    if (m_socketPath.isEmpty())
        return std::nullopt;
    const QDeadlineTimer deadline(requestTimeout);
    if (m_requestSocket.state() != QLocalSocket::ConnectedState) {
        m_requestSocket.abort();
        m_requestSocket.connectToServer(m_socketPath);
        if (!m_requestSocket.waitForConnected(int(deadline.remainingTime())))
            return std::nullopt;
    }
    m_requestSocket.write(frame(quint32(type), payload));
    QByteArray buffer;
    for (;;) {
        buffer.append(m_requestSocket.readAll());
        bool invalid = false;
        if (const auto message = takeMessage(buffer, invalid)) {
            if (message->type != quint32(type))
                break;
            QJsonParseError error;
            auto reply = QJsonDocument::fromJson(message->payload, &error);
            if (error.error != QJsonParseError::NoError)
                break;
            return reply;
        }
        if (invalid || deadline.hasExpired() ||
            !m_requestSocket.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    // A reply may still come: it would be taken for the next request's.
    m_requestSocket.abort();
    return std::nullopt;
}

} // namespace korvalen
