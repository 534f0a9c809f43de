#pragma once

#include <QTcpServer>

namespace korvalen::testing {

// An HTTP server on 127.0.0.1 that answers every request alike, as the behaviour says:
// - answer: 200 with the body and its length;
// - unsized: 200 with the body, its end told only by closing the connection;
// - mute: accepts connections and never answers (a hung endpoint);
// - drip: 200, then one byte of the body every 100 ms, round and round, never ending;
// - redirect: 302 to the address that the body holds.
class LocalWebServer {
public:
    enum class Behaviour { answer, unsized, mute, drip, redirect };

    explicit LocalWebServer(
        QByteArray body = "<html><head><title>Korvalen test page</title></head></html>",
        Behaviour behaviour = Behaviour::answer);

    quint16 port() const { return m_server.serverPort(); }
    QString url(const QString& path = QStringLiteral("/")) const;
    // How many connections clients have opened so far.
    int connectionCount() const { return m_connectionCount; }

private:
    QTcpServer m_server;
    int m_connectionCount = 0;
};

} // namespace korvalen::testing
