#include "localization/Localized.h"

#include "localization/Localizer.h"
#include "localization/ResourceBundle.h"
#include "rules/RuleStore.h"

#include <QLocale>

namespace korvalen {

Localizer sharedLocalizer()
{
    return Localizer(resourceBundle(), RuleStore::shared(),
                     [] { return QLocale::system().uiLanguages(); });
}

Localization resolveCurrentLocalization()
{
    return sharedLocalizer().resolveCurrentLocalization();
}

QString localized(const QString& text)
{
    return sharedLocalizer().localized(text);
}

} // namespace korvalen
