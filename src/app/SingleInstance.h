#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace korvalen {

// One Korvalen per user session. The first instance listens on a local socket in a folder only
// its user can reach; a later `korvalen` hands its request to that one and ends.
//
// A socket left behind by a crash is taken over; a socket that belongs to another user is never
// connected to or removed.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Message { showRulesWindow, quit };

    // The rendezvous of the current user: in $XDG_RUNTIME_DIR on Linux, the user's own runtime
    // folder elsewhere.
    static QString defaultSocketPath();

    explicit SingleInstance(QString socketPath);
    ~SingleInstance() override;

    enum class Outcome {
        primary,   // no other instance: this one now listens
        delivered, // another instance took the message
        failed,    // neither (the folder is not usable, or the socket is another user's)
    };
    // Becomes the listening instance, or hands `message` to the one that listens.
    Outcome claimOrDeliver(Message message);
    // Hands `message` to the listening instance, without ever listening itself.
    Outcome deliver(Message message);

    const QString& socketPath() const { return m_socketPath; }

Q_SIGNALS:
    void messageReceived(korvalen::SingleInstance::Message message);

private:
    bool isOwnedByAnotherUser() const;
    void answer();

    QString m_socketPath;
    QLockFile m_startLock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace korvalen
