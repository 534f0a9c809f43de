#pragma once

#include <QString>

#include <optional>

namespace korvalen {

// The commands of the status menu.
enum class StatusMenuAction {
    none, // a line that only informs, a separator or a submenu
    lockCurrentSource,
    disableLock,
    toggleAutoSwitch,
    addRuleForFrontmostApp,
    openRulesWindow,
    selectLanguage,
    quit,
};

// One line of the status menu, as the menu widget is to show it.
struct StatusMenuItem {
    enum class Kind { command, separator, languageSubmenu };

    Kind kind = Kind::command;
    QString title{};
    bool isEnabled = true;
    // Whether the line can carry a check mark, and whether it does.
    bool isCheckable = false;
    bool isChecked = false;
    StatusMenuAction action = StatusMenuAction::none;
    // The interface language a language entry stands for; none for "follow the system".
    std::optional<QString> languageCode{};
    // The key that opens the settings in every application: Ctrl+, (Command-comma on macOS).
    bool hasPreferencesShortcut = false;

    static StatusMenuItem separator() { return {.kind = Kind::separator}; }

    friend bool operator==(const StatusMenuItem&, const StatusMenuItem&) = default;
};

} // namespace korvalen
