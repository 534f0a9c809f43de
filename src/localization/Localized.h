#pragma once

#include "localization/Localization.h"
#include "localization/Localizer.h"

#include <QString>

namespace korvalen {

// The lookups of the running program, for classes that take their localizer explicitly.
Localizer sharedLocalizer();

// The interface language of the running program: the language chosen in the status menu (the
// rule store's override) or else the system's preferred languages, matched against the
// resource bundle's localizations. Decided afresh at every call.
Localization resolveCurrentLocalization();

// The development-language (Simplified Chinese) text in the current interface language, the
// text itself when there is no translation. Format texts are looked up first and filled
// afterwards with formatted().
//
// Pass the text as a literal, QStringLiteral("…") or u"…"_s: a test reads these calls to check
// that every string table has an entry for each of them.
QString localized(const QString& text);

} // namespace korvalen
