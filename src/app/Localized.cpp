#include "app/Localized.h"

#include "app/Localizer.h"
#include "app/ResourceBundle.h"
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
