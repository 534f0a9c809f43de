#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace korvalen {

// The process at the other end of a local socket, as the kernel recorded it when that process
// connected: it cannot claim to be another.
struct PeerProcess {
    qint64 processID = 0;
    uint userID = 0;

    // None when the descriptor is not a connected local socket.
    static std::optional<PeerProcess> ofSocket(qintptr descriptor);
    // The process that started the given one, from <procFolder>/<process ID>/stat; none when the
    // process has ended.
    static std::optional<qint64> parentOf(qint64 processID,
                                          const QString& procFolder = QStringLiteral("/proc"));
};

} // namespace korvalen
