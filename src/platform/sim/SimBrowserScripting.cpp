#include "platform/sim/SimBrowserScripting.h"

#include <algorithm>

namespace korvalen {

SimBrowserScripting::SimBrowserScripting(QMap<QString, QString> browsers)
    : m_browsers(std::move(browsers))
{
}

void SimBrowserScripting::requestCurrentTabURL(const QString& appName, TabURLHandler handler)
{
    ++m_requestCount;
    if (m_holding)
        m_held.append({m_tabURLs.value(appName), std::move(handler)});
    else
        handler(m_tabURLs.value(appName));
}

void SimBrowserScripting::setTabURL(const QString& appName, const std::optional<QString>& url)
{
    m_tabURLs.insert(appName, url);
}

void SimBrowserScripting::releaseAnswers(Order order)
{
    m_holding = false;
    QList<Request> held = std::exchange(m_held, {});
    if (order == Order::newestFirst)
        std::ranges::reverse(held);
    for (const Request& request : held)
        request.handler(request.url);
}

} // namespace korvalen
