#include "platform/linux/IbusDaemonConnection.h"

#include <QDBusPendingCallWatcher>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace korvalen {

namespace {

QDBusMessage busMethodCall(const QString& member)
{
    return QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                                          u"org.freedesktop.DBus"_s, member);
}

bool sameDaemon(const std::optional<IbusBusAddress>& one,
                const std::optional<IbusBusAddress>& other)
{
    if (!one || !other)
        return !one && !other;
    return one->address == other->address && one->pid == other->pid;
}

} // namespace

IbusDaemonConnection::IbusDaemonConnection()
    : m_daemonSeen(IbusBusAddress::current())
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &IbusDaemonConnection::addressFilesChanged);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this,
            &IbusDaemonConnection::addressFilesChanged);
    watchAddressFiles();
    // Connected from the start, so that engine changes are heard before the first call.
    if (m_daemonSeen)
        connectToDaemon();
}

IbusDaemonConnection::~IbusDaemonConnection()
{
    dropConnection();
}

bool IbusDaemonConnection::isRunning()
{
    // Asked at every activation, so no file is read here: the watched address files keep
    // m_daemonSeen up to date.
    if (!m_daemonSeen)
        return false;
    // An address from the environment says nothing of whether anyone listens there.
    return m_daemonSeen->pid ? m_daemonSeen->writerRuns() : openConnection(*m_daemonSeen);
}

std::optional<QList<QVariant>> IbusDaemonConnection::call(const QDBusMessage& request)
{
    if (!connectToDaemon())
        return std::nullopt;
    return m_calls.call(*m_connection, request);
}

bool IbusDaemonConnection::callInBackground(
    const QDBusMessage& request, int timeoutMs,
    std::function<void(std::optional<QList<QVariant>>)> done)
{
    if (m_calls.isQuiet() || !connectToDaemon())
        return false;
    auto* watcher = new QDBusPendingCallWatcher(m_connection->asyncCall(request, timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, number = m_connectionNumber,
             done = std::move(done)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (number != m_connectionNumber)
                    return;
                const QDBusMessage reply = finished->reply();
                done(reply.type() == QDBusMessage::ReplyMessage ? std::optional(reply.arguments())
                                                                : std::nullopt);
            });
    return true;
}

bool IbusDaemonConnection::connectToDaemon()
{
    const std::optional<IbusBusAddress> daemon = IbusBusAddress::current();
    if (!daemon) {
        dropConnection();
        return false;
    }
    return openConnection(*daemon);
}

bool IbusDaemonConnection::openConnection(const IbusBusAddress& daemon)
{
    if (daemon.address != m_address) {
        dropConnection();
        m_address = daemon.address;
        // Another daemon: whether the last one answered says nothing of this one.
        m_calls = BoundedDBusCalls();
    }
    if (m_connection && m_connection->isConnected())
        return true;
    dropConnection();

    m_connectionName = u"korvalen-ibus-%1-%2"_s.arg(quintptr(this)).arg(m_connectionNumber + 1);
    QDBusConnection connection = QDBusConnection::connectToPeer(m_address, m_connectionName);
    if (!connection.isConnected()) {
        QDBusConnection::disconnectFromPeer(m_connectionName);
        return false;
    }
    ++m_connectionNumber;
    // The daemon serves only clients that introduced themselves, and sends its signals only to
    // those that asked for them. It handles a connection's messages in order, so the calls made
    // from now on reach it after these, and nobody needs to wait for their replies.
    connection.asyncCall(busMethodCall(u"Hello"_s));
    connection.asyncCall(
        busMethodCall(u"AddMatch"_s)
        << u"type='signal',interface='org.freedesktop.IBus',member='GlobalEngineChanged'"_s);
    connection.connect({}, u"/org/freedesktop/IBus"_s, u"org.freedesktop.IBus"_s,
                       u"GlobalEngineChanged"_s, this, SLOT(globalEngineChanged(QString)));
    connection.connect({}, u"/org/freedesktop/DBus/Local"_s, u"org.freedesktop.DBus.Local"_s,
                       u"Disconnected"_s, this, SLOT(connectionLost()));
    m_connection = connection;
    return true;
}

void IbusDaemonConnection::dropConnection()
{
    if (!m_connection)
        return;
    m_connection.reset();
    QDBusConnection::disconnectFromPeer(m_connectionName);
}

void IbusDaemonConnection::globalEngineChanged(const QString&)
{
    m_engineChanged.emit();
}

void IbusDaemonConnection::connectionLost()
{
    // Also heard from a connection that was dropped on purpose: only the one in use counts.
    if (!m_connection || m_connection->isConnected())
        return;
    dropConnection();
    m_daemonSeen = IbusBusAddress::current();
    m_runningChanged.emit();
}

void IbusDaemonConnection::watchAddressFiles()
{
    // A folder tells only that a file appeared or went, and the daemon writes its address into
    // the file after creating it: the files themselves are watched too. The folder appears with
    // the first daemon ever started; until then the nearest folder above it is watched instead.
    QStringList wanted;
    // An address in the environment is used whatever the files say.
    const QStringList files = qEnvironmentVariableIsEmpty("IBUS_ADDRESS")
                                  ? IbusBusAddress::addressFiles()
                                  : QStringList();
    for (const QString& file : files) {
        if (QFileInfo(file).isFile())
            wanted.append(file);
        QString folder = QFileInfo(file).absolutePath();
        while (!QFileInfo(folder).isDir() && QFileInfo(folder).absolutePath() != folder)
            folder = QFileInfo(folder).absolutePath();
        if (!wanted.contains(folder))
            wanted.append(folder);
    }
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString& path : watched) {
        if (!wanted.contains(path))
            m_watcher.removePath(path);
    }
    for (const QString& path : std::as_const(wanted)) {
        if (!watched.contains(path))
            m_watcher.addPath(path);
    }
}

void IbusDaemonConnection::addressFilesChanged()
{
    watchAddressFiles();
    const std::optional<IbusBusAddress> daemon = IbusBusAddress::current();
    if (sameDaemon(daemon, m_daemonSeen))
        return;
    m_daemonSeen = daemon;
    // Connecting now, rather than at the next call, lets the new daemon's engine changes be heard
    // from the start.
    connectToDaemon();
    m_runningChanged.emit();
}

} // namespace korvalen
