#pragma once

#include "menu/FeedbackHUD.h"
#include "menu/StatusMenuActions.h"
#include "menu/StatusMenuModel.h"

#include <QActionGroup>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

namespace korvalen {

// The tray icon and its menu. The menu is built from the store afresh every time it is about to
// open, whether the tray shows it itself (XEmbed) or a desktop panel asks for it over D-Bus, so
// it never holds a copy of a setting; its commands change the store and report through the
// notice.
class StatusMenuController : public QObject {
    Q_OBJECT
public:
    StatusMenuController(RuleStore& store, TextInputSources& inputSources,
                         const Workspace& workspace, Localizer localizer, FeedbackHUD& hud);
    ~StatusMenuController() override;

    // Puts the icon into the tray with its menu built once.
    void start();
    void rebuildMenu();

    QMenu& menu() { return m_menu; }
    // The tray icon; none before start().
    QSystemTrayIcon* statusItem() const { return m_statusItem.get(); }

    void openRulesWindow();
    void quit();

private:
    QAction* addItem(QMenu& menu, const StatusMenuItem& item);
    void perform(const StatusMenuItem& item);
    void showNotice(const QString& message);

    StatusMenuModel m_model;
    StatusMenuActions m_actions;
    FeedbackHUD& m_hud;
    QMenu m_menu;
    QMenu m_languageMenu;
    // Makes the language entries one choice (radio marks); replaced with the entries.
    std::unique_ptr<QActionGroup> m_languageChoice;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
};

} // namespace korvalen
