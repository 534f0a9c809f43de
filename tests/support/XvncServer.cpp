#include "support/XvncServer.h"

#include <QDeadlineTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace korvalen::testing {

XvncServer::XvncServer()
{
    // With -displayfd the server takes the first free display number and writes it to the given
    // descriptor once it accepts connections: no guessing, no race with servers started by other
    // tests at the same time.
    m_process.start(QStringLiteral("Xvnc"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"),
                     QStringLiteral("-SecurityTypes"), QStringLiteral("None"),
                     QStringLiteral("-rfbport"), QStringLiteral("-1"), QStringLiteral("-nolisten"),
                     QStringLiteral("tcp"), QStringLiteral("-geometry"), QStringLiteral("640x480"),
                     QStringLiteral("-depth"), QStringLiteral("24")});
}

XvncServer::~XvncServer()
{
    stop();
}

bool XvncServer::waitUntilReady()
{
    if (!m_displayName.isEmpty())
        return true;
    const QDeadlineTimer deadline(30'000);
    while (!m_process.canReadLine() && m_process.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        m_process.waitForReadyRead(int(deadline.remainingTime()));
    bool isNumber = false;
    const int display = m_process.readLine().trimmed().toInt(&isNumber);
    if (!isNumber) {
        ADD_FAILURE() << "Xvnc did not start: " << m_process.errorString().toStdString() << "\n"
                      << m_process.readAllStandardError().toStdString();
        return false;
    }
    m_displayName = ':' + QByteArray::number(display);
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)));
    return true;
}

void XvncServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10'000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

} // namespace korvalen::testing
