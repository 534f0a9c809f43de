#include "app/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

// Long enough for a busy instance to answer, short enough that a hung one does not hold up the
// user's command for long.
constexpr int answerMilliseconds = 3000;

QByteArray lineOf(SingleInstance::Message message)
{
    return message == SingleInstance::Message::quit ? "quit\n" : "show\n";
}

std::optional<SingleInstance::Message> messageOf(const QByteArray& line)
{
    if (line == "quit")
        return SingleInstance::Message::quit;
    if (line == "show")
        return SingleInstance::Message::showRulesWindow;
    return std::nullopt;
}

} // namespace

QString SingleInstance::defaultSocketPath()
{
    // Qt checks that the runtime folder is the user's own and not readable by others, and makes
    // a private one when $XDG_RUNTIME_DIR is unset.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           u"/korvalen.socket"_s;
}

SingleInstance::SingleInstance(QString socketPath)
    : m_socketPath(std::move(socketPath))
    , m_startLock(m_socketPath + u".lock"_s)
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::isOwnedByAnotherUser() const
{
    const QFileInfo socket(m_socketPath);
    return socket.exists() && socket.ownerId() != ::getuid();
}

SingleInstance::Outcome SingleInstance::deliver(Message message)
{
    if (isOwnedByAnotherUser())
        return Outcome::failed;
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(answerMilliseconds))
        return Outcome::failed;
    socket.write(lineOf(message));
    socket.flush();
    // The answer says the message was read, so a quit is under way when the caller exits.
    if (!socket.waitForReadyRead(answerMilliseconds) || !socket.readLine().startsWith("ok"))
        return Outcome::failed;
    return Outcome::delivered;
}

SingleInstance::Outcome SingleInstance::claimOrDeliver(Message message)
{
    if (isOwnedByAnotherUser())
        return Outcome::failed;
    // Two instances started together must not both find no listener and both listen.
    if (!QDir().mkpath(QFileInfo(m_socketPath).path()) || !m_startLock.tryLock(answerMilliseconds))
        return Outcome::failed;
    if (deliver(message) == Outcome::delivered) {
        m_startLock.unlock();
        return Outcome::delivered;
    }
    // Nobody answers: whatever is at the path was left by an instance that ended abruptly.
    QLocalServer::removeServer(m_socketPath);
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    const bool listening = server->listen(m_socketPath);
    m_startLock.unlock();
    if (!listening)
        return Outcome::failed;
    m_server = std::move(server);
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::answer);
    return Outcome::primary;
}

void SingleInstance::answer()
{
    while (QLocalSocket* client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine())
                return;
            const auto message = messageOf(client->readLine().trimmed());
            // Acted on before it is acknowledged: the asking instance may end at the answer.
            if (message)
                Q_EMIT messageReceived(*message);
            client->write(message ? "ok\n" : "unknown\n");
            client->flush();
            client->disconnectFromServer();
        });
    }
}

} // namespace korvalen
