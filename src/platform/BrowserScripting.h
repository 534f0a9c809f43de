#pragma once

#include <QMap>
#include <QString>

#include <functional>
#include <optional>

namespace korvalen {

// Asks web browsers for the address of their active tab.
class BrowserScripting {
public:
    using TabURLHandler = std::function<void(const std::optional<QString>& url)>;

    virtual ~BrowserScripting() = default;

    // The browsers that can be asked: application identifier → application name.
    virtual QMap<QString, QString> supportedBrowsers() const = 0;

    // Asks the named browser for the address of the active tab of its front window. The answer
    // (none on any failure) arrives later on the main thread, or at once; the call itself never
    // holds the main thread for more than a moment, whatever the browser does. A question asked
    // while an earlier one to the same browser is pending may share that one's answer.
    virtual void requestCurrentTabURL(const QString& appName, TabURLHandler handler) = 0;
};

} // namespace korvalen
