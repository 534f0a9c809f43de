#include "platform/linux/BrowserHostConnection.h"

#include "website/BrowserTabReport.h"

namespace korvalen {

BrowserHostConnection::BrowserHostConnection(
    QLocalSocket* socket, qint64 browserProcessID, std::function<void()> reported,
    std::function<void(const BrowserHostConnection&)> ended)
    : m_socket(socket)
    , m_browserProcessID(browserProcessID)
    , m_reported(std::move(reported))
    , m_ended(std::move(ended))
{
    m_socket->setParent(nullptr);
    m_snapshotDeadline.setSingleShot(true);
    m_snapshotDeadline.setInterval(snapshotTimeout);
    QObject::connect(&m_snapshotDeadline, &QTimer::timeout, &m_receiver,
                     [this] { answerWaiting(std::nullopt); });
    QObject::connect(m_socket.get(), &QLocalSocket::readyRead, &m_receiver, [this] { read(); });
    QObject::connect(m_socket.get(), &QLocalSocket::disconnected, &m_receiver, [this] { end(); });
}

BrowserHostConnection::~BrowserHostConnection()
{
    QObject::disconnect(m_socket.get(), nullptr, &m_receiver, nullptr);
    m_socket->abort();
}

void BrowserHostConnection::requestFocusedHost(HostHandler handler)
{
    if (m_hasEnded) {
        handler(std::nullopt);
        return;
    }
    if (m_hasReported) {
        handler(m_focusedHost);
        return;
    }
    m_waiting.append(std::move(handler));
    if (m_waiting.size() > 1)
        return;
    m_socket->write(BrowserTabReport::queryLine());
    m_snapshotDeadline.start();
}

void BrowserHostConnection::read()
{
    m_unfinishedLine += m_socket->readAll();
    bool tookReport = false;
    qsizetype start = 0;
    for (qsizetype newline = m_unfinishedLine.indexOf('\n'); newline >= 0;
         start = newline + 1, newline = m_unfinishedLine.indexOf('\n', start)) {
        if (newline - start > maximumLineLength) {
            end();
            return;
        }
        // A line that is not a report (a newer host's, say) is passed over.
        if (const auto report =
                BrowserTabReport::fromJsonLine(m_unfinishedLine.sliced(start, newline - start))) {
            take(*report);
            tookReport = true;
        }
    }
    m_unfinishedLine.remove(0, start);
    if (m_unfinishedLine.size() > maximumLineLength) {
        end();
        return;
    }
    if (tookReport)
        m_reported();
}

void BrowserHostConnection::take(const BrowserTabReport& report)
{
    m_hasReported = true;
    m_focusedHost = report.focusedHost();
    answerWaiting(m_focusedHost);
}

void BrowserHostConnection::answerWaiting(const std::optional<QString>& host)
{
    m_snapshotDeadline.stop();
    for (const HostHandler& handler : std::exchange(m_waiting, {}))
        handler(host);
}

void BrowserHostConnection::end()
{
    if (m_hasEnded)
        return;
    m_hasEnded = true;
    m_socket->abort();
    answerWaiting(std::nullopt);
    m_ended(*this);
}

} // namespace korvalen
