#include "browser_host/KorvalenConnection.h"

#include <QFileInfo>

#include <unistd.h>

namespace korvalen {

namespace {

// A query is a short line; anything longer without an end is not Korvalen talking.
constexpr qint64 longestLine = 4096;
constexpr int finishMilliseconds = 1000;

} // namespace

KorvalenConnection::KorvalenConnection(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
{
    m_retryTimer.setSingleShot(true);
    m_retryTimer.setInterval(retryInterval);
    connect(&m_retryTimer, &QTimer::timeout, this, &KorvalenConnection::connectToKorvalen);
    connect(&m_socket, &QLocalSocket::connected, this, &KorvalenConnection::sendLatest);
    connect(&m_socket, &QLocalSocket::disconnected, this, &KorvalenConnection::retryLater);
    connect(&m_socket, &QLocalSocket::errorOccurred, this, [this] {
        if (m_socket.state() == QLocalSocket::UnconnectedState)
            retryLater();
    });
    connect(&m_socket, &QLocalSocket::readyRead, this, &KorvalenConnection::readLines);
}

void KorvalenConnection::start()
{
    connectToKorvalen();
}

void KorvalenConnection::send(const BrowserTabReport& report)
{
    m_latest = report.toJsonLine();
    if (m_socket.state() == QLocalSocket::ConnectedState)
        sendLatest();
}

void KorvalenConnection::finish()
{
    m_retryTimer.stop();
    if (m_socket.state() == QLocalSocket::ConnectingState &&
        m_socket.waitForConnected(finishMilliseconds))
        sendLatest();
    if (m_socket.state() != QLocalSocket::ConnectedState)
        return;
    m_socket.flush();
    while (m_socket.bytesToWrite() > 0 && m_socket.waitForBytesWritten(finishMilliseconds)) {
    }
    m_socket.disconnectFromServer();
}

void KorvalenConnection::connectToKorvalen()
{
    if (m_socket.state() != QLocalSocket::UnconnectedState)
        return;
    // Whoever listens there hears which websites the user visits: only Korvalen of the same
    // user may.
    const QFileInfo socketFile(m_socketPath);
    if (!socketFile.exists() || socketFile.ownerId() != ::getuid()) {
        retryLater();
        return;
    }
    m_socket.connectToServer(m_socketPath);
}

void KorvalenConnection::retryLater()
{
    if (!m_retryTimer.isActive())
        m_retryTimer.start();
}

void KorvalenConnection::sendLatest()
{
    if (m_latest.isEmpty())
        return;
    m_socket.write(m_latest);
    m_latest.clear();
}

void KorvalenConnection::readLines()
{
    while (m_socket.canReadLine()) {
        if (m_socket.readLine() == BrowserTabReport::queryLine())
            Q_EMIT queryReceived();
    }
    if (m_socket.bytesAvailable() > longestLine) {
        m_socket.abort();
        retryLater();
    }
}

} // namespace korvalen
