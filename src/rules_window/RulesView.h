#pragma once

#include "apps/InstalledApp.h"
#include "rules_window/RuleRows.h"
#include "rules_window/RulesEditor.h"
#include "support/Subscription.h"

#include <QButtonGroup>
#include <QScrollArea>

#include <array>
#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace korvalen {

class DesktopShellExtension;
class InputSourcePickerButton;
class ItemIcons;
class SearchableAppPickerButton;
class Workspace;

// The whole content of the rules window: whether application rules apply, the form that adds
// one (with what usage suggests), the application rules, the website rules with their form, the
// global default input source with its mode, and the known limitations; above them, while the
// desktop needs Korvalen's shell extension and it does not run, what to do about it. Every
// control writes to the store at once; there is nothing to save.
//
// Every change of the store redraws what depends on it, in the interface language of the moment.
// The entry widgets of the two forms live as long as the view, so a redraw never takes away what
// the user is typing, the keyboard focus or the scroll position.
class RulesView : public QScrollArea {
    Q_OBJECT
public:
    static constexpr QSize minimumEditorSize{600, 460};

    // `shellExtension` is none where the platform has no desktop shell extension.
    RulesView(RulesEditor& editor, const ItemIcons& icons, const Workspace& workspace,
              const DesktopShellExtension* shellExtension = nullptr, QWidget* parent = nullptr);
    ~RulesView() override;

    // Shows the store, the keyboard's input sources and the entry fields as they are now.
    void refresh();

private:
    QWidget* makeShellExtensionNotice();
    QWidget* makeRulesHeaderSection();
    QWidget* makeAddRuleSection();
    QWidget* makeRulesListSection();
    QWidget* makeWebsiteRulesSection();
    QWidget* makeFallbackSection();
    QWidget* makeLimitationNotice();

    void refreshTexts();
    void refreshAddRuleForm();
    void refreshWebsiteForm();
    void refreshFallback();
    void refreshShellExtensionNotice();
    QString fallbackModeExplanation() const;

    RulesEditor& m_editor;
    const ItemIcons& m_icons;
    const Workspace& m_workspace;
    const DesktopShellExtension* m_shellExtension;
    // The selectable input sources and the language as the last redraw read them.
    RuleRowContext m_rowContext;

    QWidget* m_shellExtensionNotice = nullptr;
    QLabel* m_shellExtensionNote = nullptr;

    QLabel* m_rulesTitle = nullptr;
    QCheckBox* m_autoSwitch = nullptr;
    QLabel* m_rulesNote = nullptr;

    QLabel* m_addRuleTitle = nullptr;
    SearchableAppPickerButton* m_appPicker = nullptr;
    InstalledApp m_selectedApp;
    InputSourcePickerButton* m_sourcePicker = nullptr;
    QPushButton* m_addRule = nullptr;
    QLabel* m_addRuleNote = nullptr;
    QWidget* m_suggestionRow = nullptr;
    QLabel* m_suggestionText = nullptr;
    QPushButton* m_adoptSuggestion = nullptr;
    std::optional<RuleSuggestion> m_suggestion;

    QLabel* m_listTitle = nullptr;
    QLabel* m_noRules = nullptr;
    std::unique_ptr<RuleRowColumn<AppRule, AppRuleRow>> m_ruleRows;

    QLabel* m_websiteTitle = nullptr;
    QLineEdit* m_domainField = nullptr;
    InputSourcePickerButton* m_websiteSourcePicker = nullptr;
    QPushButton* m_addWebsiteRule = nullptr;
    QLabel* m_websiteNote = nullptr;
    std::unique_ptr<RuleRowColumn<WebsiteRule, WebsiteRuleRow>> m_websiteRows;

    QLabel* m_fallbackTitle = nullptr;
    QButtonGroup m_modes;
    std::array<QPushButton*, 3> m_modeButtons{};
    QWidget* m_defaultSourceRow = nullptr;
    QLabel* m_defaultSourceLabel = nullptr;
    InputSourcePickerButton* m_defaultSourcePicker = nullptr;
    QLabel* m_explanation = nullptr;

    QLabel* m_limitationTitle = nullptr;
    QLabel* m_limitationNote = nullptr;

    Subscription m_storeChanges;
    Subscription m_shellExtensionChanges;
};

} // namespace korvalen
