#pragma once

#include "enforcement/EnforcementLog.h"
#include "platform/TextInputSources.h"
#include "platform/Workspace.h"
#include "rules/RuleStore.h"
#include "support/NotificationCenter.h"
#include "website/WebsiteWatcher.h"

#include <vector>

namespace korvalen {

// Keeps the input source where the rules say. Every event that can make the current source wrong
// (an application activated, the source changed, the browser's tab moved to another domain, a
// rule or setting changed) runs one pass: decide the desired source, and switch when the current
// one differs. Every event and decision is written to the enforcement log.
//
// Correction loops end by themselves: our own switch makes the platform announce a source change,
// and the pass that starts finds the current source already desired.
class EnforcementController {
public:
    enum class Trigger {
        appActivated,       // an activation, a domain change, a settings change, the first pass
        inputSourceChanged, // the platform's selected-source-changed notification
    };
    static QString logText(Trigger trigger);

    // The layout that some input methods switch to while caps lock is on; a switch to it is the
    // input method's own doing and is not corrected.
    static inline const QString capsLockCompanionSourceID =
        QStringLiteral("com.apple.keylayout.ABC");

    EnforcementController(RuleStore& store, WebsiteWatcher& watcher, TextInputSources& inputSources,
                          const Workspace& workspace, NotificationCenter& notifications,
                          const EnforcementLog& log);
    EnforcementController(const EnforcementController&) = delete;
    EnforcementController& operator=(const EnforcementController&) = delete;

    // Observes the platform and the store, turns website polling on or off, runs the first pass.
    void start();

    // The source the rules want now: a website rule for the current domain, else (while switching
    // by application is on) the frontmost application's rule, else the default as the fallback
    // mode applies it to this trigger.
    std::optional<QString> desiredSourceID(Trigger trigger) const;

private:
    // One pass, its lines in the log after the event that set it off (`cause`, when given).
    void enforce(Trigger trigger, const QString& cause = {});
    void decide(Trigger trigger);
    std::optional<QString> fallbackSourceID(Trigger trigger) const;
    void handleAppActivated();
    void handleInputSourceChanged();
    void handleWebsiteDomainChanged();
    template <typename T>
    void enforceOnChangesOf(const Published<T>& property);

    RuleStore& m_store;
    WebsiteWatcher& m_watcher;
    TextInputSources& m_inputSources;
    const Workspace& m_workspace;
    NotificationCenter& m_notifications;
    const EnforcementLog& m_log;
    std::vector<Subscription> m_cancellables;
    QStringList m_passLog;
    int m_passDepth = 0;
};

} // namespace korvalen
