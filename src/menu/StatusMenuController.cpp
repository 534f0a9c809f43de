#include "menu/StatusMenuController.h"

#include "menu/TrayIconImage.h"
#include "rules_window/RulesWindowController.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeySequence>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

StatusMenuController::StatusMenuController(RuleStore& store, TextInputSources& inputSources,
                                           const Workspace& workspace, Localizer localizer,
                                           FeedbackHUD& hud)
    : m_model(store, localizer)
    , m_actions(store, inputSources, workspace, localizer,
                [this](const QString& message) { showNotice(message); })
    , m_hud(hud)
{
    connect(&m_menu, &QMenu::aboutToShow, this, &StatusMenuController::rebuildMenu);
}

StatusMenuController::~StatusMenuController() = default;

void StatusMenuController::start()
{
    m_statusItem = std::make_unique<QSystemTrayIcon>(
        trayIconImage(QGuiApplication::palette().color(QPalette::WindowText)));
    m_statusItem->setToolTip(u"Korvalen"_s);
    m_statusItem->setContextMenu(&m_menu);
    // The tray shows the menu on a right click by itself; a left click opens it too, as it does
    // for every tray utility whose icon has nothing else to do.
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    m_menu.popup(QCursor::pos());
            });
    rebuildMenu();
    m_statusItem->show();
}

void StatusMenuController::rebuildMenu()
{
    m_menu.clear();
    m_languageMenu.clear();
    m_languageChoice = std::make_unique<QActionGroup>(nullptr);
    // An exclusive group that may also have nothing checked: a language chosen elsewhere that
    // is none of the entries.
    m_languageChoice->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    // The whole application follows the interface language's direction, so that the menu (its
    // text alignment and submenu arrows, not only its columns) and the notices are mirrored in
    // Arabic and Hebrew.
    QGuiApplication::setLayoutDirection(m_model.isRightToLeft() ? Qt::RightToLeft
                                                                : Qt::LeftToRight);
    for (const StatusMenuItem& item : m_model.items())
        addItem(m_menu, item);
    for (const StatusMenuItem& item : m_model.languageItems())
        m_languageChoice->addAction(addItem(m_languageMenu, item));
}

QAction* StatusMenuController::addItem(QMenu& menu, const StatusMenuItem& item)
{
    switch (item.kind) {
    case StatusMenuItem::Kind::separator:
        return menu.addSeparator();
    case StatusMenuItem::Kind::languageSubmenu:
        m_languageMenu.setTitle(item.title);
        return menu.addMenu(&m_languageMenu);
    case StatusMenuItem::Kind::command:
        break;
    }
    QAction* action = menu.addAction(item.title);
    action->setEnabled(item.isEnabled);
    action->setCheckable(item.isCheckable);
    action->setChecked(item.isChecked);
    if (item.hasPreferencesShortcut)
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    if (item.action != StatusMenuAction::none)
        connect(action, &QAction::triggered, this, [this, item] { perform(item); });
    return action;
}

void StatusMenuController::perform(const StatusMenuItem& item)
{
    switch (item.action) {
    case StatusMenuAction::none:
        return;
    case StatusMenuAction::lockCurrentSource:
        m_actions.lockCurrentSource();
        return;
    case StatusMenuAction::disableLock:
        m_actions.disableLock();
        return;
    case StatusMenuAction::toggleAutoSwitch:
        m_actions.toggleAutoSwitch();
        return;
    case StatusMenuAction::addRuleForFrontmostApp:
        m_actions.addRuleForFrontmostApp();
        return;
    case StatusMenuAction::openRulesWindow:
        openRulesWindow();
        return;
    case StatusMenuAction::selectLanguage:
        m_actions.selectLanguage(item.languageCode);
        return;
    case StatusMenuAction::quit:
        quit();
        return;
    }
}

void StatusMenuController::openRulesWindow()
{
    RulesWindowController::shared().showWindow();
}

void StatusMenuController::quit()
{
    QCoreApplication::quit();
}

void StatusMenuController::showNotice(const QString& message)
{
    // Only an XEmbed tray tells where its icon is; a panel that draws the icon itself does not,
    // and the notice then hangs at the top of the screen.
    const QRect icon = m_statusItem ? m_statusItem->geometry() : QRect();
    m_hud.show(message, icon.isValid() ? std::optional(icon) : std::nullopt);
}

} // namespace korvalen
