#pragma once

#include "localization/Localizer.h"
#include "platform/TextInputSources.h"
#include "platform/Workspace.h"
#include "rules/RuleStore.h"

#include <QString>

#include <functional>
#include <optional>

namespace korvalen {

// What the status menu's commands do to the settings, and the one-line notice each of the lock,
// unlock and add-rule commands reports its outcome with. A failure changes nothing and says why.
class StatusMenuActions {
public:
    using ShowNotice = std::function<void(const QString& message)>;

    StatusMenuActions(RuleStore& store, TextInputSources& inputSources, const Workspace& workspace,
                      Localizer localizer, ShowNotice showNotice);

    // Makes the current input source the default and holds it.
    void lockCurrentSource();
    // Stops holding the default; the default itself stays, for a later choice of mode.
    void disableLock();
    void toggleAutoSwitch();
    // Makes the current input source the rule of the application in front, replacing its rule.
    void addRuleForFrontmostApp();
    // Switches the interface language; none follows the system's languages.
    void selectLanguage(const std::optional<QString>& code);

    // "✓ heading：detail", or "✓ heading" without a detail. The same mark serves failures: the
    // heading tells them apart.
    static QString noticeLine(const QString& heading, const std::optional<QString>& detail);

private:
    QString localized(const QString& text) const { return m_localizer.localized(text); }
    void showFailure(const QString& heading, const QString& detail);

    RuleStore& m_store;
    TextInputSources& m_inputSources;
    const Workspace& m_workspace;
    Localizer m_localizer;
    ShowNotice m_showNotice;
};

} // namespace korvalen
