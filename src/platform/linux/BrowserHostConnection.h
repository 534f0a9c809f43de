#pragma once

#include <QByteArray>
#include <QList>
#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace korvalen {

struct BrowserTabReport;

// One browser extension's native messaging host, connected to Korvalen and speaking for the
// browser that started it: reads the host's report lines and keeps what the latest one says
// about the browser's focused window.
class BrowserHostConnection {
public:
    using HostHandler = std::function<void(const std::optional<QString>& host)>;

    // Far beyond any real report (a snapshot lists one short entry per browser window). A host
    // that sends a longer line is not a host and is dropped.
    static constexpr qsizetype maximumLineLength = 64 * 1024;
    // The BrowserScripting budget for one question.
    static constexpr std::chrono::milliseconds snapshotTimeout{300};

    // Takes over the connected socket. `reported` is called after the reports that arrived
    // together have been taken; `ended` once, when the host goes away or is dropped, and the
    // connection may be destroyed inside that call.
    BrowserHostConnection(QLocalSocket* socket, qint64 browserProcessID,
                          std::function<void()> reported,
                          std::function<void(const BrowserHostConnection&)> ended);
    ~BrowserHostConnection();
    BrowserHostConnection(const BrowserHostConnection&) = delete;
    BrowserHostConnection& operator=(const BrowserHostConnection&) = delete;

    qint64 browserProcessID() const { return m_browserProcessID; }

    // The host of the active tab in the browser's focused window; none when no window of the
    // browser has the focus or its tab shows no web page. Answered at once from the latest
    // report; before the first one, from the snapshot the host is asked for, none when it does
    // not come within the timeout or the host goes away first.
    void requestFocusedHost(HostHandler handler);

private:
    struct DeleteLater {
        // The socket may be in the middle of emitting a signal when the connection ends.
        void operator()(QObject* object) const { object->deleteLater(); }
    };

    void read();
    void take(const BrowserTabReport& report);
    void answerWaiting(const std::optional<QString>& host);
    void end();

    std::unique_ptr<QLocalSocket, DeleteLater> m_socket;
    qint64 m_browserProcessID;
    std::function<void()> m_reported;
    std::function<void(const BrowserHostConnection&)> m_ended;
    QByteArray m_unfinishedLine;
    bool m_hasReported = false;
    std::optional<QString> m_focusedHost;
    QList<HostHandler> m_waiting;
    QTimer m_snapshotDeadline;
    bool m_hasEnded = false;
    // The receiver of the socket's signals: they stop reaching this object with it.
    QObject m_receiver;
};

} // namespace korvalen
