#include "platform/linux/ExtensionFirstBrowserScripting.h"

#include "platform/linux/ChromiumDevTools.h"
#include "website/BrowserExtension.h"

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

ExtensionFirstBrowserScripting::ExtensionFirstBrowserScripting(
    std::unique_ptr<BrowserExtensionBridge> extension, std::unique_ptr<BrowserScripting> fallback,
    QMap<QString, QString> extensionOnlyBrowsers, ActiveWindowReader activeWindow)
    : m_extension(std::move(extension))
    , m_fallback(std::move(fallback))
    , m_extensionOnlyBrowsers(std::move(extensionOnlyBrowsers))
    , m_activeWindow(std::move(activeWindow))
{
    m_reports = m_extension->subscribeToReports([this] { announceTabChanged(); });
    m_fallbackTabChanges = m_fallback->subscribeToTabChanges([this] { announceTabChanged(); });
}

std::unique_ptr<ExtensionFirstBrowserScripting> ExtensionFirstBrowserScripting::forCurrentUser()
{
    auto activeWindow = std::make_shared<X11ActiveWindow>();
    // As Korvalen names Firefox's windows: by the desktop entries of Debian's ESR package, of
    // Mozilla's own package and of the Flatpak, and by the Snap's.
    return std::make_unique<ExtensionFirstBrowserScripting>(
        std::make_unique<BrowserExtensionBridge>(BrowserExtension::socketPath()),
        ChromiumDevTools::forCurrentUser(),
        QMap<QString, QString>{
            {u"firefox"_s, u"Firefox"_s},
            {u"firefox-esr"_s, u"Firefox ESR"_s},
            {u"firefox_firefox"_s, u"Firefox"_s},
            {u"org.mozilla.firefox"_s, u"Firefox"_s},
        },
        [activeWindow] { return activeWindow->read(); });
}

QMap<QString, QString> ExtensionFirstBrowserScripting::supportedBrowsers() const
{
    QMap<QString, QString> browsers = m_fallback->supportedBrowsers();
    browsers.insert(m_extensionOnlyBrowsers);
    return browsers;
}

void ExtensionFirstBrowserScripting::requestCurrentTabURL(const QString& appName,
                                                          TabURLHandler handler)
{
    const std::optional<qint64> browser =
        m_activeWindow ? m_activeWindow().processID : std::nullopt;
    if (!browser || !m_extension->isConnectedTo(*browser)) {
        m_fallback->requestCurrentTabURL(appName, std::move(handler));
        return;
    }
    m_extension->requestFocusedHost(
        *browser, [handler = std::move(handler)](const std::optional<QString>& host) {
            handler(host ? std::optional(u"https://"_s + *host + u'/') : std::nullopt);
        });
}

} // namespace korvalen
