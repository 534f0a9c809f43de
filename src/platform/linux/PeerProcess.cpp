#include "platform/linux/PeerProcess.h"

#include <QFile>

#include <sys/socket.h>

namespace korvalen {

namespace {

// The whole line is a few hundred bytes; the fields read come early in it.
constexpr qint64 maximumStatSize = 4096;

} // namespace

std::optional<PeerProcess> PeerProcess::ofSocket(qintptr descriptor)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (descriptor < 0 ||
        ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials || credentials.pid <= 0)
        return std::nullopt;
    return PeerProcess{credentials.pid, credentials.uid};
}

std::optional<qint64> PeerProcess::parentOf(qint64 processID, const QString& procFolder)
{
    QFile file(procFolder + u'/' + QString::number(processID) + QStringLiteral("/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "<pid> (<name>) <state> <parent pid> …": the name may hold spaces and parentheses, so the
    // fields are counted from the last ")".
    const QByteArray stat = file.read(maximumStatSize);
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(nameEnd + 1).simplified().split(' ');
    bool ok = false;
    const qint64 parent = fields.size() > 1 ? fields[1].toLongLong(&ok) : 0;
    return ok && parent > 0 ? std::optional(parent) : std::nullopt;
}

} // namespace korvalen
