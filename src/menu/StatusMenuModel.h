#pragma once

#include "localization/Localizer.h"
#include "menu/StatusMenuItem.h"
#include "rules/RuleStore.h"

#include <QList>

namespace korvalen {

// What the status menu shows, read from the store and looked up in the interface language each
// time it is asked, so the menu never shows a stale setting or language.
class StatusMenuModel {
public:
    struct InterfaceLanguage {
        QString name; // in the language itself, never translated
        QString code;
    };
    // The languages the interface can be switched to, in the submenu's order.
    static const QList<InterfaceLanguage> interfaceLanguages;

    StatusMenuModel(const RuleStore& store, Localizer localizer);

    // The menu's twelve lines, separators included.
    QList<StatusMenuItem> items() const;
    // The language submenu: "follow the system", then one entry per interface language. At most
    // one entry is checked: none when the chosen language is not one of them.
    QList<StatusMenuItem> languageItems() const;
    // Whether the interface language is written from right to left, so the menu is mirrored.
    bool isRightToLeft() const;

private:
    QString fallbackStateLine() const;
    QString manageRulesTitle() const;
    QString localized(const QString& text) const { return m_localizer.localized(text); }

    const RuleStore& m_store;
    Localizer m_localizer;
};

} // namespace korvalen
