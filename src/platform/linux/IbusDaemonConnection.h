#pragma once

#include "platform/linux/BoundedDBusCalls.h"
#include "platform/linux/IbusBusAddress.h"
#include "support/Signal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileSystemWatcher>
#include <QObject>

#include <functional>
#include <optional>

namespace korvalen {

// The connection to the IBus daemon's own bus, made at the first call that needs it and made
// anew when the daemon restarts, is replaced or appears only later.
//
// The daemon's bus is opened as a peer connection that then joins the bus without waiting for the
// daemon's welcome, rather than with QDBusConnection::connectToBus(): that one waits for the
// welcome inside Qt's D-Bus thread, which with a stopped daemon holds up every D-Bus connection
// of the process (the tray's too) for as long as the daemon stays stopped. Here only method calls
// wait, each one bounded (see BoundedDBusCalls), so a daemon that does not answer costs one short
// wait and then nothing for a while. One connection is kept for as long as the daemon's socket
// holds it, answered or not: new connections to a stopped daemon would fill its socket's backlog,
// and the next one would then block.
class IbusDaemonConnection final : public QObject {
    Q_OBJECT

public:
    IbusDaemonConnection();
    ~IbusDaemonConnection() override;

    // Whether the daemon is there now: its address file, as last seen, names a process that lives;
    // for an address given in $IBUS_ADDRESS, whether its socket takes a connection. Never waits on
    // the daemon.
    bool isRunning();

    // Calls the daemon, connecting first when needed; the reply's arguments, or none when no
    // daemon runs or it refused, did not answer or did not answer lately (see BoundedDBusCalls).
    std::optional<QList<QVariant>> call(const QDBusMessage& request);
    // Calls the daemon without waiting; false when the call was not made, for no daemon runs or
    // it let a call run out lately. The reply's arguments, or none when the call failed, reach
    // `done` from the event loop; nothing does when the connection was replaced meanwhile.
    bool callInBackground(const QDBusMessage& request, int timeoutMs,
                          std::function<void(std::optional<QList<QVariant>>)> done);
    // Changes each time a new connection replaces the last, so that what was learnt over one is
    // known to be out of date.
    quint64 connectionNumber() const { return m_connectionNumber; }

    // Called from the event loop when the daemon announces another global engine.
    [[nodiscard]] Subscription subscribeToEngineChanges(std::function<void()> handler) const
    {
        return m_engineChanged.connect(std::move(handler));
    }
    // Called from the event loop when isRunning() may have changed: an address file was written
    // or removed, or the connection was lost.
    [[nodiscard]] Subscription subscribeToRunningChanges(std::function<void()> handler) const
    {
        return m_runningChanged.connect(std::move(handler));
    }

private Q_SLOTS:
    void globalEngineChanged(const QString& engineName);
    void connectionLost();

private:
    bool connectToDaemon();
    bool openConnection(const IbusBusAddress& daemon);
    void dropConnection();
    void watchAddressFiles();
    void addressFilesChanged();

    // The daemon that the address files named when last read.
    std::optional<IbusBusAddress> m_daemonSeen;
    std::optional<QDBusConnection> m_connection;
    QString m_connectionName;
    QString m_address;
    quint64 m_connectionNumber = 0;
    BoundedDBusCalls m_calls;
    QFileSystemWatcher m_watcher;
    Signal<> m_engineChanged;
    Signal<> m_runningChanged;
};

} // namespace korvalen
