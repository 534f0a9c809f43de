#include "support/XvncServer.h"

#include <QFile>
#include <QProcess>

namespace korvalen::testing {

QByteArray XvncServer::displayStartedIn(const QString& folder)
{
    QFile file(folder + QStringLiteral("/display"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().trimmed();
}

XvncServer::XvncServer(const QString& fixtureScript)
    : m_fixtureScript(fixtureScript)
{
    if (run(QStringLiteral("start")))
        m_displayName = displayStartedIn(m_folder.path());
}

XvncServer::~XvncServer()
{
    stop();
}

void XvncServer::stop()
{
    if (!m_displayName.isEmpty())
        run(QStringLiteral("stop"));
    m_displayName.clear();
}

bool XvncServer::run(const QString& action) const
{
    return QProcess::execute(QStringLiteral("bash"), {m_fixtureScript, action, m_folder.path()}) ==
           0;
}

} // namespace korvalen::testing
