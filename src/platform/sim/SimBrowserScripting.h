#pragma once

#include "platform/BrowserScripting.h"

#include <QList>

namespace korvalen {

// Browsers whose active tab the test sets. Answers come at once, or, while held, when the test
// releases them, to model a browser that answers late or out of order. An answer carries the
// address the tab showed when the browser was asked. A browser that tells of its tab changes is
// modelled by the test announcing them.
class SimBrowserScripting final : public BrowserScripting {
public:
    explicit SimBrowserScripting(QMap<QString, QString> browsers);

    QMap<QString, QString> supportedBrowsers() const override { return m_browsers; }
    void setSupportedBrowsers(QMap<QString, QString> browsers) { m_browsers = std::move(browsers); }
    void requestCurrentTabURL(const QString& appName, TabURLHandler handler) override;

    // The address the named browser reports; none models a browser with no window.
    void setTabURL(const QString& appName, const std::optional<QString>& url);
    void holdAnswers() { m_holding = true; }
    enum class Order { asked, newestFirst };
    // Delivers every held answer in the given order; later requests are answered at once again.
    void releaseAnswers(Order order = Order::asked);
    int requestCount() const { return m_requestCount; }
    void announceTabChange() const { announceTabChanged(); }

private:
    struct Request {
        std::optional<QString> url;
        TabURLHandler handler;
    };

    QMap<QString, QString> m_browsers;
    QMap<QString, std::optional<QString>> m_tabURLs;
    QList<Request> m_held;
    bool m_holding = false;
    int m_requestCount = 0;
};

} // namespace korvalen
