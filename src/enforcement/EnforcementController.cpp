#include "enforcement/EnforcementController.h"

#include "input/InputSourceManager.h"

#include <utility>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

namespace {
QString orNil(const std::optional<QString>& text)
{
    return text.value_or(u"nil"_s);
}
} // namespace

QString EnforcementController::logText(Trigger trigger)
{
    switch (trigger) {
    case Trigger::appActivated:
        return u"appActivated"_s;
    case Trigger::inputSourceChanged:
        return u"inputSourceChanged"_s;
    }
    Q_UNREACHABLE();
    return {};
}

EnforcementController::EnforcementController(RuleStore& store, WebsiteWatcher& watcher,
                                             TextInputSources& inputSources,
                                             const Workspace& workspace,
                                             NotificationCenter& notifications,
                                             const EnforcementLog& log)
    : m_store(store)
    , m_watcher(watcher)
    , m_inputSources(inputSources)
    , m_workspace(workspace)
    , m_notifications(notifications)
    , m_log(log)
{
}

void EnforcementController::start()
{
    // The watcher, made before this controller, hears each activation first: the pass sees the
    // domain of the application now in front, not of the one left.
    m_cancellables.push_back(m_workspace.subscribeToActivations([this] { handleAppActivated(); }));
    m_cancellables.push_back(m_inputSources.subscribeToSelectedKeyboardSourceChanges(
        [this] { handleInputSourceChanged(); }));
    m_cancellables.push_back(m_notifications.addObserver(
        WebsiteWatcher::domainDidChangeNotification, [this] { handleWebsiteDomainChanged(); }));

    enforceOnChangesOf(m_store.rulesStream());
    // Polling follows the website rules before the pass, so the pass sees the domain it leaves.
    // It follows the rules the store holds, not the list delivered: a subscriber heard earlier
    // may already have changed them again, and the newer list is announced after this one.
    m_cancellables.push_back(
        m_store.websiteRulesStream().subscribeToChanges([this](const QList<WebsiteRule>&) {
            m_watcher.updatePollingState(!m_store.websiteRules().isEmpty());
            enforce(Trigger::appActivated);
        }));
    enforceOnChangesOf(m_store.defaultSourceIDStream());
    enforceOnChangesOf(m_store.globalFallbackModeStream());
    enforceOnChangesOf(m_store.autoSwitchEnabledStream());

    m_watcher.updatePollingState(!m_store.websiteRules().isEmpty());
    enforce(Trigger::appActivated);
}

template <typename T>
void EnforcementController::enforceOnChangesOf(const Published<T>& property)
{
    m_cancellables.push_back(
        property.subscribeToChanges([this](const T&) { enforce(Trigger::appActivated); }));
}

std::optional<QString> EnforcementController::desiredSourceID(Trigger trigger) const
{
    if (const auto& domain = m_watcher.currentDomain()) {
        if (const auto rule = m_store.websiteRuleForDomain(*domain))
            return rule->inputSourceID;
    }
    if (m_store.isAutoSwitchEnabled()) {
        if (const auto bundleID = m_workspace.frontmostBundleID()) {
            if (const auto rule = m_store.ruleForBundleID(*bundleID))
                return rule->inputSourceID;
        }
    }
    return fallbackSourceID(trigger);
}

std::optional<QString> EnforcementController::fallbackSourceID(Trigger trigger) const
{
    const auto defaultSourceID = m_store.defaultSourceID();
    if (!defaultSourceID)
        return std::nullopt;
    switch (m_store.globalFallbackMode()) {
    case GlobalFallbackMode::locked:
        return defaultSourceID;
    case GlobalFallbackMode::defaultOnly:
        return trigger == Trigger::appActivated ? defaultSourceID : std::nullopt;
    case GlobalFallbackMode::disabled:
        return std::nullopt;
    }
    Q_UNREACHABLE();
    return std::nullopt;
}

void EnforcementController::enforce(Trigger trigger, const QString& cause)
{
    // The pass's lines are written once it is done, in one go: between an activation and the
    // switch it calls for, the log would take longer than everything else. A switch announced
    // at once starts a pass within this one, whose lines fall in between as they happen.
    if (!cause.isEmpty())
        m_passLog.append(cause);
    ++m_passDepth;
    decide(trigger);
    // A change that no activation explains matters only when the next pass would correct it;
    // platforms that must poll to notice such changes poll only then. Told after the switch,
    // which is what the pass is for.
    m_inputSources.setChangeNotificationsNeeded(
        desiredSourceID(Trigger::inputSourceChanged).has_value());
    if (--m_passDepth == 0)
        m_log.write(std::exchange(m_passLog, {}));
}

void EnforcementController::decide(Trigger trigger)
{
    const auto current = InputSourceManager::currentSource(m_inputSources);
    const auto desired = desiredSourceID(trigger);
    m_passLog.append(u"enforce("_s + logText(trigger) + u"): front="_s +
                     orNil(m_workspace.frontmostBundleID()) + u" current="_s +
                     orNil(current ? std::optional(current->id) : std::nullopt) + u" desired="_s +
                     orNil(desired));
    if (!desired)
        return;
    // Where each window has a source of its own, what reads as current at an activation may
    // still be the last window's, or unknown until the new one takes the focus.
    const bool selectWhateverIsCurrent =
        trigger == Trigger::appActivated && m_inputSources.keepsSourcePerWindow();
    if (!selectWhateverIsCurrent && (!current || current->id == *desired))
        return;
    if (trigger == Trigger::inputSourceChanged && current->id == capsLockCompanionSourceID) {
        m_passLog.append(
            u"  -> skip correction: current is ABC (likely IME caps-lock companion layout)"_s);
        return;
    }
    const bool accepted = InputSourceManager::select(m_inputSources, *desired);
    m_passLog.append(u"  -> select("_s + *desired + u") returned "_s +
                     (accepted ? u"true"_s : u"false"_s));
}

void EnforcementController::handleAppActivated()
{
    enforce(Trigger::appActivated, u"app activated: "_s + orNil(m_workspace.frontmostBundleID()));
}

void EnforcementController::handleInputSourceChanged()
{
    enforce(Trigger::inputSourceChanged, u"TIS input source changed notification fired"_s);
}

void EnforcementController::handleWebsiteDomainChanged()
{
    enforce(Trigger::appActivated,
            u"website domain changed: "_s + orNil(m_watcher.currentDomain()));
}

} // namespace korvalen
