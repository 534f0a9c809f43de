#include "platform/sim/SimBrowserScripting.h"

namespace korvalen {

SimBrowserScripting::SimBrowserScripting(QMap<QString, QString> browsers)
    : m_browsers(std::move(browsers))
{
}

void SimBrowserScripting::requestCurrentTabURL(const QString& appName, TabURLHandler handler)
{
    ++m_requestCount;
    if (m_holding)
        m_held.append({appName, std::move(handler)});
    else
        handler(m_tabURLs.value(appName));
}

void SimBrowserScripting::setTabURL(const QString& appName, const std::optional<QString>& url)
{
    m_tabURLs.insert(appName, url);
}

void SimBrowserScripting::releaseAnswers()
{
    m_holding = false;
    const QList<Request> held = std::exchange(m_held, {});
    for (const Request& request : held)
        request.handler(m_tabURLs.value(request.appName));
}

} // namespace korvalen
