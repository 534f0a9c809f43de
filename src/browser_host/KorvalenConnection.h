#pragma once

#include "website/BrowserTabReport.h"

#include <QLocalSocket>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace korvalen {

// The host's line to the running Korvalen: reports go out as lines, query lines come in. Korvalen
// may start after the browser, or restart; the connection is tried again until it is made.
class KorvalenConnection : public QObject {
    Q_OBJECT

public:
    // Often enough that a newly started Korvalen hears from the browser soon, seldom enough
    // that a host waiting all day costs nothing.
    static constexpr std::chrono::milliseconds retryInterval{2000};

    explicit KorvalenConnection(QString socketPath, QObject* parent = nullptr);

    // Connects now and whenever the connection is lost.
    void start();
    // Sent at once while connected; otherwise only the latest report is kept, for the next
    // connection, since it alone says what the browser shows.
    void send(const BrowserTabReport& report);
    // Delivers what is still on its way, waiting a moment at most, and disconnects.
    void finish();

Q_SIGNALS:
    void queryReceived();

private:
    void connectToKorvalen();
    void retryLater();
    void sendLatest();
    void readLines();

    QString m_socketPath;
    QLocalSocket m_socket;
    QTimer m_retryTimer;
    QByteArray m_latest;
};

} // namespace korvalen
