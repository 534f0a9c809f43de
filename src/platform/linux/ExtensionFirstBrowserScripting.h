#pragma once

#include "platform/BrowserScripting.h"
#include "platform/linux/BrowserExtensionBridge.h"
#include "platform/linux/X11ActiveWindow.h"

#include <functional>
#include <memory>

namespace korvalen {

// Asks the browser in front through Korvalen's browser extension when that browser's host is
// connected, and through the fallback otherwise. The front browser is the process that owns the
// active window. An answer from the extension carries the tab's host only ("https://<host>/"),
// which is all the extension tells. Tells of tab changes whenever a host reports.
class ExtensionFirstBrowserScripting final : public BrowserScripting {
public:
    using ActiveWindowReader = std::function<X11ActiveWindow::State()>;

    // extensionOnlyBrowsers: identifier → name of the browsers that only the extension can ask,
    // supported on top of the fallback's.
    ExtensionFirstBrowserScripting(std::unique_ptr<BrowserExtensionBridge> extension,
                                   std::unique_ptr<BrowserScripting> fallback,
                                   QMap<QString, QString> extensionOnlyBrowsers,
                                   ActiveWindowReader activeWindow);

    // The extension's socket, Chromium-family browsers over DevTools as the fallback, Firefox
    // from the extension only, and the active window of $DISPLAY.
    static std::unique_ptr<ExtensionFirstBrowserScripting> forCurrentUser();

    QMap<QString, QString> supportedBrowsers() const override;
    void requestCurrentTabURL(const QString& appName, TabURLHandler handler) override;

private:
    std::unique_ptr<BrowserExtensionBridge> m_extension;
    std::unique_ptr<BrowserScripting> m_fallback;
    QMap<QString, QString> m_extensionOnlyBrowsers;
    ActiveWindowReader m_activeWindow;
    Subscription m_reports;
    Subscription m_fallbackTabChanges;
};

} // namespace korvalen
