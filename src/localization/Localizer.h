#pragma once

#include "localization/Bundle.h"
#include "localization/Localization.h"
#include "rules/RuleStore.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace korvalen {

// Decides the interface language and looks texts up in it. Nothing is cached: every call reads
// the store's language override and the bundle's folders again, so a new choice of language
// shows in the very next text.
class Localizer {
public:
    // The system's preferred language codes, most preferred first.
    using PreferredLanguages = std::function<QStringList()>;

    Localizer(std::optional<Bundle> resourceBundle, const RuleStore& store,
              PreferredLanguages systemPreferredLanguages);

    // The localization folder that best matches the override, or the system's preferences when
    // there is no override. When nothing matches (or the bundle is missing) the development
    // texts serve: the resource bundle itself and "zh-Hans".
    Localization resolveCurrentLocalization() const;

    // The development-language text in the current interface language; the text itself when
    // the language's table has no entry for it.
    QString localized(const QString& text) const;

private:
    std::optional<Bundle> m_resourceBundle;
    const RuleStore& m_store;
    PreferredLanguages m_systemPreferredLanguages;
};

} // namespace korvalen
