#pragma once

#include "platform/linux/BrowserHostConnection.h"
#include "support/Signal.h"

#include <QLocalServer>
#include <QString>

#include <chrono>
#include <memory>
#include <vector>

namespace korvalen {

// Where the native messaging hosts of Korvalen's browser extension report: a local socket that
// takes connections from the user's own processes only. Each host speaks for the browser
// process that started it, which is the process that owns that browser's windows (their
// _NET_WM_PID), so a window leads to the host that knows its tab.
class BrowserExtensionBridge {
public:
    using HostHandler = BrowserHostConnection::HostHandler;

    // Listens on the socket unless another process answers on it already. Processes are read
    // under procFolder.
    explicit BrowserExtensionBridge(QString socketPath,
                                    QString procFolder = QStringLiteral("/proc"));
    BrowserExtensionBridge(const BrowserExtensionBridge&) = delete;
    BrowserExtensionBridge& operator=(const BrowserExtensionBridge&) = delete;

    bool isListening() const { return m_server != nullptr; }

    // Whether a host started by the given browser process is connected.
    bool isConnectedTo(qint64 browserProcessID) const;
    // The host of the active tab in that browser's focused window, as its host tells (see
    // BrowserHostConnection::requestFocusedHost); none when no host of it is connected.
    void requestFocusedHost(qint64 browserProcessID, HostHandler handler);

    // Called after each batch of reports from any host. From the event loop only.
    [[nodiscard]] Subscription subscribeToReports(std::function<void()> handler) const
    {
        return m_reported.connect(std::move(handler));
    }

private:
    void listen();
    void acceptPendingConnections();
    BrowserHostConnection* connectionTo(qint64 browserProcessID) const;

    QString m_socketPath;
    QString m_procFolder;
    Signal<> m_reported;
    std::unique_ptr<QLocalServer> m_server;
    // Last, so that hosts are let go before what their calls reach.
    std::vector<std::unique_ptr<BrowserHostConnection>> m_connections;
};

} // namespace korvalen
