#pragma once

#include <QTcpServer>

namespace korvalen::testing {

// An HTTP server on 127.0.0.1 that answers every request with the same body, or, when mute,
// accepts connections and never answers (a hung endpoint).
class LocalWebServer {
public:
    enum class Behaviour { answer, mute };

    explicit LocalWebServer(
        QByteArray body = "<html><head><title>Korvalen test page</title></head></html>",
        Behaviour behaviour = Behaviour::answer);

    quint16 port() const { return m_server.serverPort(); }
    QString url(const QString& path = QStringLiteral("/")) const;

private:
    QTcpServer m_server;
};

} // namespace korvalen::testing
