#pragma once

#include "support/Signal.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QStringList>
#include <QTimer>

#include <optional>

namespace korvalen {

// A client of the IPC socket of sway (and of other compositors that speak i3's IPC): each message
// is "i3-ipc", its payload's length and its type, both 32-bit in the machine's byte order, then
// the JSON payload. Events arrive on a socket of their own, read as they come; requests are
// answered on another, waited for briefly so that the caller's thread never stalls for long.
//
// When the compositor goes away the connection is tried again twice a second, so that a
// compositor started again at the same socket path (a link to its socket, say) is found.
class SwayIpcConnection {
public:
    enum class MessageType : quint32 {
        runCommand = 0,
        subscribe = 2,
        getTree = 4,
        getInputs = 100,
    };
    static constexpr quint32 windowEvent = 0x80000003;
    static constexpr quint32 inputEvent = 0x80000015;

    // Far beyond the tree of any real session; a longer message ends the connection.
    static constexpr quint32 maximumPayloadSize = 16 * 1024 * 1024;
    // A compositor answers within a few milliseconds; one that does not is given up on.
    static constexpr int requestTimeout = 40;     // ms
    static constexpr int reconnectInterval = 500; // ms

    // Subscribes to the named events ("window", "input") of the compositor at the socket path.
    SwayIpcConnection(QString socketPath, QStringList eventNames);
    ~SwayIpcConnection();
    SwayIpcConnection(const SwayIpcConnection&) = delete;
    SwayIpcConnection& operator=(const SwayIpcConnection&) = delete;

    // $SWAYSOCK; empty outside a sway session.
    static QString sessionSocketPath();

    // Whether the events are being received.
    bool isConnected() const { return m_subscribed; }

    // The reply to a request; none without a compositor, or when its reply is not valid JSON or
    // does not come within the request timeout.
    std::optional<QJsonDocument> request(MessageType type, const QByteArray& payload = {});

    // Called with each event's type and payload.
    [[nodiscard]] Subscription
    subscribeToEvents(std::function<void(quint32, const QJsonObject&)> handler) const
    {
        return m_events.connect(std::move(handler));
    }
    // Called when the events begin to arrive and when the compositor goes away.
    [[nodiscard]] Subscription subscribeToConnectionChanges(std::function<void()> handler) const
    {
        return m_connectionChanges.connect(std::move(handler));
    }

private:
    struct Message {
        quint32 type = 0;
        QByteArray payload;
    };

    static QByteArray frame(quint32 type, const QByteArray& payload);
    // Takes one whole message off the front of the buffer; none while it is incomplete. Sets
    // `invalid` when the buffer cannot begin with a message.
    static std::optional<Message> takeMessage(QByteArray& buffer, bool& invalid);

    void connectEvents();
    void readEvents();
    void lose();

    QString m_socketPath;
    QByteArray m_subscription;
    QLocalSocket m_eventSocket;
    QLocalSocket m_requestSocket;
    QByteArray m_eventBuffer;
    bool m_subscribed = false;
    QTimer m_reconnect;
    Signal<quint32, QJsonObject> m_events;
    Signal<> m_connectionChanges;
};

} // namespace korvalen
