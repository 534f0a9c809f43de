#pragma once

#include "support/Signal.h"

#include <QMap>
#include <QString>

#include <functional>
#include <optional>

namespace korvalen {

// Asks web browsers for the address of their active tab.
class BrowserScripting {
public:
    using TabURLHandler = std::function<void(const std::optional<QString>& url)>;

    BrowserScripting() = default;
    BrowserScripting(const BrowserScripting&) = delete;
    BrowserScripting& operator=(const BrowserScripting&) = delete;
    virtual ~BrowserScripting() = default;

    // The browsers that can be asked: application identifier → application name.
    virtual QMap<QString, QString> supportedBrowsers() const = 0;

    // Asks the named browser for the address of the active tab of its front window. The answer
    // (none on any failure) arrives later on the main thread, or at once; the call itself never
    // holds the main thread for more than a moment, whatever the browser does. A question asked
    // while an earlier one to the same browser is pending may share that one's answer.
    virtual void requestCurrentTabURL(const QString& appName, TabURLHandler handler) = 0;

    // Called when a browser tells that the active tab of one of its windows, or which of its
    // windows has the focus, may have changed, so that a question asked now can get a newer
    // answer. Browsers that tell nothing leave the asker to ask again from time to time. Always
    // from the event loop, never inside a call to this object.
    [[nodiscard]] Subscription subscribeToTabChanges(std::function<void()> handler) const
    {
        return m_tabChanged.connect(std::move(handler));
    }

protected:
    void announceTabChanged() const { m_tabChanged.emit(); }

private:
    Signal<> m_tabChanged;
};

} // namespace korvalen
