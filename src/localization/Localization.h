#pragma once

#include "localization/Bundle.h"

#include <QString>

#include <optional>

namespace korvalen {

// The interface language decided for one lookup: the folder to look texts up in (none when the
// resource bundle is missing) and the language code the texts are in.
struct Localization {
    std::optional<Bundle> bundle;
    QString languageCode;
};

// The language code of the development texts, and the answer when no localization matches.
inline const QString developmentLanguage = QStringLiteral("zh-Hans");

// Whether an interface in this language is laid out from right to left.
inline bool isRightToLeft(const QString& languageCode)
{
    return languageCode == u"ar" || languageCode == u"he";
}

} // namespace korvalen
