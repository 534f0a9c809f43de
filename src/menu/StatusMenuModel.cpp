#include "menu/StatusMenuModel.h"

#include "localization/StringFormat.h"

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

const QList<StatusMenuModel::InterfaceLanguage> StatusMenuModel::interfaceLanguages{
    {u"简体中文"_s, u"zh-Hans"_s},    {u"繁體中文"_s, u"zh-Hant"_s},
    {u"English"_s, u"en"_s},          {u"日本語"_s, u"ja"_s},
    {u"한국어"_s, u"ko"_s},           {u"Русский"_s, u"ru"_s},
    {u"العربية"_s, u"ar"_s},          {u"עברית"_s, u"he"_s},
    {u"Ελληνικά"_s, u"el"_s},         {u"ไทย"_s, u"th"_s},
    {u"Tiếng Việt"_s, u"vi"_s},       {u"Français"_s, u"fr"_s},
    {u"Deutsch"_s, u"de"_s},          {u"Español"_s, u"es"_s},
    {u"Português"_s, u"pt"_s},        {u"Italiano"_s, u"it"_s},
    {u"Bahasa Indonesia"_s, u"id"_s}, {u"Bahasa Melayu"_s, u"ms"_s},
};

StatusMenuModel::StatusMenuModel(const RuleStore& store, Localizer localizer)
    : m_store(store)
    , m_localizer(std::move(localizer))
{
}

QList<StatusMenuItem> StatusMenuModel::items() const
{
    using Action = StatusMenuAction;
    const bool isLocked = m_store.globalFallbackMode() == GlobalFallbackMode::locked;
    return {
        {.title = u"Korvalen"_s, .isEnabled = false},
        StatusMenuItem::separator(),
        {.title = fallbackStateLine(), .isEnabled = false},
        isLocked ? StatusMenuItem{.title = localized(u"解除锁定"_s), .action = Action::disableLock}
                 : StatusMenuItem{.title = localized(u"锁定当前输入法"_s),
                                  .action = Action::lockCurrentSource},
        StatusMenuItem::separator(),
        {.title = localized(u"按 App 自动切换"_s),
         .isCheckable = true,
         .isChecked = m_store.isAutoSwitchEnabled(),
         .action = Action::toggleAutoSwitch},
        {.title = localized(u"为当前 App 添加规则…"_s), .action = Action::addRuleForFrontmostApp},
        {.title = manageRulesTitle(),
         .action = Action::openRulesWindow,
         .hasPreferencesShortcut = true},
        StatusMenuItem::separator(),
        {.kind = StatusMenuItem::Kind::languageSubmenu, .title = localized(u"语言"_s)},
        StatusMenuItem::separator(),
        {.title = localized(u"退出 Korvalen"_s), .action = Action::quit},
    };
}

QList<StatusMenuItem> StatusMenuModel::languageItems() const
{
    const std::optional<QString> chosen = m_store.languageOverride();
    QList<StatusMenuItem> entries{{.title = localized(u"跟随系统"_s),
                                   .isCheckable = true,
                                   .isChecked = !chosen,
                                   .action = StatusMenuAction::selectLanguage}};
    for (const auto& [name, code] : interfaceLanguages)
        entries.append({.title = name,
                        .isCheckable = true,
                        .isChecked = chosen == code,
                        .action = StatusMenuAction::selectLanguage,
                        .languageCode = code});
    return entries;
}

bool StatusMenuModel::isRightToLeft() const
{
    return korvalen::isRightToLeft(m_localizer.resolveCurrentLocalization().languageCode);
}

QString StatusMenuModel::fallbackStateLine() const
{
    // The stored name is shown as it was when the default was chosen, even if the source has
    // since been removed: the line reports the setting, not the keyboard.
    const auto defaultName = [this] {
        return m_store.defaultSourceDisplayName().value_or(localized(u"未知输入法"_s));
    };
    switch (m_store.globalFallbackMode()) {
    case GlobalFallbackMode::locked:
        return formatted(localized(u"锁定中：%@"_s), {defaultName()});
    case GlobalFallbackMode::defaultOnly:
        return formatted(localized(u"默认选择：%@"_s), {defaultName()});
    case GlobalFallbackMode::disabled:
        break;
    }
    return localized(u"未启用全局默认输入法"_s);
}

QString StatusMenuModel::manageRulesTitle() const
{
    // Only application rules are counted: the website rules are a list of their own.
    const qsizetype count = m_store.rules().size();
    if (count == 0)
        return localized(u"管理规则…"_s);
    return formatted(localized(u"管理规则…（%d 条）"_s), {static_cast<qlonglong>(count)});
}

} // namespace korvalen
