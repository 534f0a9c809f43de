#include "browser_host/ExtensionCaller.h"

#include "website/BrowserExtension.h"

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

bool ExtensionCaller::isKorvalenExtension(const QStringList& arguments)
{
    const QString chromiumOrigin = u"chrome-extension://"_s + BrowserExtension::chromiumId + u'/';
    if (arguments.size() == 2 || arguments.size() == 3) {
        if (arguments.at(1) == chromiumOrigin &&
            (arguments.size() == 2 || arguments.at(2).startsWith(u"--parent-window="_s)))
            return true;
    }
    return arguments.size() == 3 && arguments.at(2) == BrowserExtension::firefoxId;
}

} // namespace korvalen
