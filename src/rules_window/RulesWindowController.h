#pragma once

#include "rules_window/ItemIcons.h"
#include "rules_window/RulesEditor.h"
#include "support/Subscription.h"

#include <QObject>
#include <QWidget>

#include <memory>

namespace korvalen {

class DesktopShellExtension;

// The rules window: made once, on first demand, and kept for the life of the process. Closing
// it only hides it, so it comes back where and as the user left it, with whatever was typed in
// its forms. Its title follows the interface language; Ctrl+W (Command-W on macOS) closes it.
class RulesWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr QSize initialSize{620, 480};

    // `shellExtension` is none where the platform has no desktop shell extension.
    RulesWindowController(RuleStore& store, TextInputSources& inputSources,
                          const Workspace& workspace, RulesEditor::AppList pickerApps,
                          RulesEditor::Suggestions suggestions,
                          const DesktopShellExtension* shellExtension = nullptr);
    ~RulesWindowController() override;

    // The window of the running application, made on the first call.
    static RulesWindowController& shared();

    // Shows the window, in front and active, as it was left.
    void showWindow();
    QWidget& window() { return *m_window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void retitle();

    RuleStore& m_store;
    ItemIcons m_icons;
    RulesEditor m_editor;
    std::unique_ptr<QWidget> m_window;
    Subscription m_languageSubscription;
};

} // namespace korvalen
