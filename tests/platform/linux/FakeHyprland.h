#pragma once

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

namespace korvalen::testing {

// A stand-in for Hyprland's two IPC sockets, written from Hyprland's IPC documentation (Hyprland
// is not packaged for Debian 12): .socket.sock answers one request per connection and closes it
// ("j/devices", "switchxkblayout all <index>"), .socket2.sock writes "activelayout>>" lines to
// whoever listens. It serves on a thread of its own, since the client waits for answers without
// running the test's event loop. Its one keyboard of interest is main and has a second keyboard
// without the main flag in front of it.
class FakeHyprland {
public:
    struct Layout {
        QString layout;  // "de"
        QString variant; // "nodeadkeys"
        QString name;    // "German (no dead keys)"
    };

    FakeHyprland(const QString& instanceFolder, QList<Layout> layouts)
        : m_layouts(std::move(layouts))
    {
        QDir().mkpath(instanceFolder);
        m_context.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_context,
            [this, instanceFolder] {
                m_requests = new QLocalServer(&m_context);
                m_events = new QLocalServer(&m_context);
                m_requests->listen(instanceFolder + QStringLiteral("/.socket.sock"));
                m_events->listen(instanceFolder + QStringLiteral("/.socket2.sock"));
                QObject::connect(m_requests, &QLocalServer::newConnection, &m_context,
                                 [this] { acceptRequest(); });
                QObject::connect(m_events, &QLocalServer::newConnection, &m_context, [this] {
                    while (QLocalSocket* client = m_events->nextPendingConnection()) {
                        QMutexLocker lock(&m_mutex);
                        m_eventClients.append(client);
                    }
                });
            },
            Qt::BlockingQueuedConnection);
    }
    ~FakeHyprland()
    {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                const QObjectList servers = m_context.children();
                qDeleteAll(servers);
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    FakeHyprland(const FakeHyprland&) = delete;
    FakeHyprland& operator=(const FakeHyprland&) = delete;

    // The requests after "switchxkblayout", as written.
    QList<QByteArray> switches() const
    {
        QMutexLocker lock(&m_mutex);
        return m_switches;
    }
    int eventClientCount() const
    {
        QMutexLocker lock(&m_mutex);
        return int(m_eventClients.size());
    }
    void setLayouts(QList<Layout> layouts)
    {
        QMutexLocker lock(&m_mutex);
        m_layouts = std::move(layouts);
        m_active = 0;
    }
    // Leaves requests unanswered and their connections open, as a stalled compositor would.
    void setAnswering(bool answering)
    {
        QMutexLocker lock(&m_mutex);
        m_answering = answering;
    }

    // Writes "<line>\n" to every listener of the event socket.
    void sendEvent(const QByteArray& line)
    {
        QMetaObject::invokeMethod(&m_context, [this, line] { writeEvent(line); });
    }
    // Closes every listener's connection, as a compositor that goes away.
    void dropEventClients()
    {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                QList<QLocalSocket*> clients;
                {
                    QMutexLocker lock(&m_mutex);
                    clients.swap(m_eventClients);
                }
                for (QLocalSocket* client : clients) {
                    client->abort();
                    client->deleteLater();
                }
            },
            Qt::BlockingQueuedConnection);
    }

private:
    void acceptRequest()
    {
        while (QLocalSocket* client = m_requests->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::readyRead, client,
                             [this, client] { answer(client); });
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    }

    void answer(QLocalSocket* client)
    {
        const QByteArray request = client->readAll();
        QByteArray reply;
        QByteArray event;
        {
            QMutexLocker lock(&m_mutex);
            if (!m_answering)
                return;
            if (request == "j/devices") {
                reply = devices();
            }
            else if (request.startsWith("switchxkblayout ")) {
                m_switches.append(request);
                const QList<QByteArray> words = request.split(' ');
                bool valid = false;
                const int index = words.size() == 3 ? words.at(2).toInt(&valid) : -1;
                if (valid && words.at(1) == "all" && index >= 0 && index < m_layouts.size()) {
                    m_active = index;
                    reply = "ok";
                    event = "activelayout>>at-translated-set-2-keyboard," +
                            m_layouts.at(index).name.toUtf8();
                }
                else {
                    reply = "error";
                }
            }
            else {
                reply = "unknown request";
            }
        }
        client->write(reply);
        client->flush();
        client->disconnectFromServer();
        if (!event.isEmpty())
            writeEvent(event);
    }

    // Called with the mutex held.
    QByteArray devices() const
    {
        QStringList layouts;
        QStringList variants;
        for (const Layout& layout : m_layouts) {
            layouts.append(layout.layout);
            variants.append(layout.variant);
        }
        const QJsonObject other{{QStringLiteral("name"), QStringLiteral("power-button")},
                                {QStringLiteral("layout"), QStringLiteral("fr")},
                                {QStringLiteral("variant"), QString()},
                                {QStringLiteral("active_keymap"), QStringLiteral("French")},
                                {QStringLiteral("main"), false}};
        const QJsonObject main{
            {QStringLiteral("name"), QStringLiteral("at-translated-set-2-keyboard")},
            {QStringLiteral("layout"), layouts.join(u',')},
            {QStringLiteral("variant"), variants.join(u',')},
            {QStringLiteral("active_keymap"), m_layouts.value(m_active).name},
            {QStringLiteral("main"), true}};
        return QJsonDocument(QJsonObject{{QStringLiteral("mice"), QJsonArray()},
                                         {QStringLiteral("keyboards"), QJsonArray{other, main}}})
            .toJson(QJsonDocument::Compact);
    }

    void writeEvent(const QByteArray& line)
    {
        QMutexLocker lock(&m_mutex);
        for (QLocalSocket* client : std::as_const(m_eventClients)) {
            client->write(line + '\n');
            client->flush();
        }
    }

    QThread m_thread;
    QObject m_context;
    QLocalServer* m_requests = nullptr;
    QLocalServer* m_events = nullptr;
    mutable QMutex m_mutex;
    QList<Layout> m_layouts;
    int m_active = 0;
    bool m_answering = true;
    QList<QByteArray> m_switches;
    QList<QLocalSocket*> m_eventClients;
};

} // namespace korvalen::testing
