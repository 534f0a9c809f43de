#include "platform/linux/BrowserExtensionBridge.h"

#include "platform/linux/PeerProcess.h"

#include <QFileInfo>
#include <QLocalSocket>

#include <unistd.h>

namespace korvalen {

namespace {

// A listener accepts at once (the kernel queues the connection); this only bounds the wait.
constexpr int probeMilliseconds = 300;

} // namespace

BrowserExtensionBridge::BrowserExtensionBridge(QString socketPath, QString procFolder)
    : m_socketPath(std::move(socketPath))
    , m_procFolder(std::move(procFolder))
{
    listen();
}

void BrowserExtensionBridge::listen()
{
    if (QFileInfo(m_socketPath).exists()) {
        // The socket of another Korvalen (one run for a single command, say) stays; one left
        // behind by a Korvalen that ended abruptly answers no one and goes.
        QLocalSocket probe;
        probe.connectToServer(m_socketPath);
        if (probe.waitForConnected(probeMilliseconds))
            return;
        QLocalServer::removeServer(m_socketPath);
    }
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketPath))
        return;
    QObject::connect(server.get(), &QLocalServer::newConnection, server.get(),
                     [this] { acceptPendingConnections(); });
    m_server = std::move(server);
}

// Only the user's own processes may tell Korvalen what the user browses; root is no exception.
// A host whose browser cannot be told is of no use and is let go as well.
void BrowserExtensionBridge::acceptPendingConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        const auto peer = PeerProcess::ofSocket(socket->socketDescriptor());
        const auto browser = peer && peer->userID == ::getuid()
                                 ? PeerProcess::parentOf(peer->processID, m_procFolder)
                                 : std::nullopt;
        if (!browser) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_connections.push_back(std::make_unique<BrowserHostConnection>(
            socket, *browser, [this] { m_reported.emit(); },
            [this](const BrowserHostConnection& ended) {
                std::erase_if(m_connections, [&ended](const auto& connection) {
                    return connection.get() == &ended;
                });
            }));
    }
}

bool BrowserExtensionBridge::isConnectedTo(qint64 browserProcessID) const
{
    return connectionTo(browserProcessID) != nullptr;
}

void BrowserExtensionBridge::requestFocusedHost(qint64 browserProcessID, HostHandler handler)
{
    if (BrowserHostConnection* connection = connectionTo(browserProcessID))
        connection->requestFocusedHost(std::move(handler));
    else
        handler(std::nullopt);
}

// A browser restarted its host (an extension reloaded, say) before the old one was gone: the
// newest speaks for it.
BrowserHostConnection* BrowserExtensionBridge::connectionTo(qint64 browserProcessID) const
{
    for (auto connection = m_connections.rbegin(); connection != m_connections.rend();
         ++connection) {
        if ((*connection)->browserProcessID() == browserProcessID)
            return connection->get();
    }
    return nullptr;
}

} // namespace korvalen
