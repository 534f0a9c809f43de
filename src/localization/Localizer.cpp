#include "localization/Localizer.h"

#include "localization/LanguageMatching.h"

namespace korvalen {

Localizer::Localizer(std::optional<Bundle> resourceBundle, const RuleStore& store,
                     PreferredLanguages systemPreferredLanguages)
    : m_resourceBundle(std::move(resourceBundle))
    , m_store(store)
    , m_systemPreferredLanguages(std::move(systemPreferredLanguages))
{
}

Localization Localizer::resolveCurrentLocalization() const
{
    if (!m_resourceBundle)
        return {std::nullopt, developmentLanguage};
    const auto override = m_store.languageOverride();
    const QStringList preferences =
        override ? QStringList{*override} : m_systemPreferredLanguages();
    if (const auto code = bestLocalization(preferences, m_resourceBundle->localizations())) {
        if (auto folder = m_resourceBundle->localizationBundle(*code))
            return {std::move(folder), *code};
    }
    return {m_resourceBundle, developmentLanguage};
}

QString Localizer::localized(const QString& text) const
{
    const Localization localization = resolveCurrentLocalization();
    return localization.bundle ? localization.bundle->localizedString(text) : text;
}

} // namespace korvalen
