#pragma once

#include "enforcement/EnforcementController.h"
#include "enforcement/EnforcementLog.h"
#include "menu/StatusMenuController.h"

#include <QMenuBar>
#include <QObject>

#include <functional>
#include <memory>

namespace korvalen {

class UsageBaselineTracker;

// The running application: owns the tray's controller and the enforcement engine for the life
// of the process and starts the services in their order.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    struct Services {
        RuleStore& store;
        TextInputSources& inputSources;
        const Workspace& workspace;
        WebsiteWatcher& websiteWatcher;
        NotificationCenter& notifications;
        UsageBaselineTracker& usageTracker;
        FeedbackHUD& hud;
        Localizer localizer;
        const Clock& clock;
        QString enforcementLogPath;
        // Which backends run, for the start line; empty when the platform has no choice.
        QString backendsDescription;
        // Opens the rules window: the one place the user can reach the settings without a tray.
        std::function<void()> openRulesWindow;
    };

    explicit AppDelegate(Services services);
    ~AppDelegate() override;

    // In this order: the Edit menu, the tray, enforcement with its first pass, usage learning.
    // Without a system tray the rules window opens, so the settings can still be reached. Ends
    // with one line on standard output saying what was loaded and where the log goes.
    void applicationDidFinishLaunching();

    StatusMenuController& statusMenu() { return m_statusMenu; }
    // The application's menu bar: shown where the platform has one for the whole screen (macOS),
    // and there only to give text fields the standard editing commands.
    QMenuBar& mainMenu() { return *m_mainMenu; }

private:
    void setupMainMenu();
    void reportStart() const;

    Services m_services;
    EnforcementLog m_log;
    StatusMenuController m_statusMenu;
    EnforcementController m_enforcement;
    std::unique_ptr<QMenuBar> m_mainMenu;
};

} // namespace korvalen
