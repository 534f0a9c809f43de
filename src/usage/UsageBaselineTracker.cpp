#include "usage/UsageBaselineTracker.h"

#include "input/InputSourceManager.h"
#include "platform/Platform.h"

#include <algorithm>

namespace korvalen {

UsageBaselineTracker::UsageBaselineTracker(UserDefaults& defaults, const Workspace& workspace,
                                           TextInputSources& inputSources, const Clock& clock,
                                           const RuleStore& store)
    : m_workspace(workspace)
    , m_inputSources(inputSources)
    , m_clock(clock)
    , m_store(store)
    , m_storage(defaults, samplesKey)
    , m_segmentStart(clock.now())
{
    // A later entry for the same pair replaces an earlier one.
    for (UsageSample& sample : m_storage.load<UsageSample>())
        m_samples.insert(sample.key(), std::move(sample));
}

UsageBaselineTracker& UsageBaselineTracker::shared()
{
    Platform& platform = Platform::shared();
    static UsageBaselineTracker tracker(*platform.userDefaults, *platform.workspace,
                                        *platform.textInputSources, *platform.clock,
                                        RuleStore::shared());
    return tracker;
}

void UsageBaselineTracker::start()
{
    m_currentBundleID = m_workspace.frontmostBundleID();
    m_currentSourceID = currentSourceID();
    m_segmentStart = m_clock.now();
    m_observers.push_back(m_workspace.subscribeToActivations([this] { closeSegmentAndAdvance(); }));
    m_observers.push_back(m_inputSources.subscribeToSelectedKeyboardSourceChanges(
        [this] { closeSegmentAndAdvance(); }));
}

void UsageBaselineTracker::closeSegmentAndAdvance()
{
    const QDateTime now = m_clock.now();
    if (m_currentBundleID && m_currentSourceID)
        recordDwell(*m_currentBundleID, *m_currentSourceID, m_segmentStart.msecsTo(now) / 1000.0);
    m_currentBundleID = m_workspace.frontmostBundleID();
    m_currentSourceID = currentSourceID();
    m_segmentStart = now;
}

void UsageBaselineTracker::recordDwell(const QString& bundleID, const QString& sourceID,
                                       double seconds)
{
    // Short segments are the moments between an activation and our own correction; a clock set
    // back gives a negative one; neither is usage. Durations are whole milliseconds between two
    // clock readings (an unreadable reading gives 0), so they are always finite and the stored
    // JSON stays valid.
    if (seconds <= 1.0)
        return;
    const QString key = UsageSample::key(bundleID, sourceID);
    auto it = m_samples.find(key);
    if (it == m_samples.end()) {
        it = m_samples.insert(key, UsageSample{bundleID,
                                               runningApplicationName(bundleID),
                                               sourceID,
                                               inputSourceName(sourceID),
                                               0.0,
                                               {}});
    }
    it->totalSeconds += seconds;
    it->daysObserved.insert(m_clock.now().toLocalTime().toString(QStringLiteral("yyyy-MM-dd")));
    m_storage.save(m_samples.values());
}

QString UsageBaselineTracker::runningApplicationName(const QString& bundleID) const
{
    for (const RunningApplication& application : m_workspace.runningApplications()) {
        if (application.bundleID == bundleID)
            return application.localizedName.isEmpty() ? bundleID : application.localizedName;
    }
    return bundleID;
}

QString UsageBaselineTracker::inputSourceName(const QString& sourceID) const
{
    for (const InputSource& source :
         InputSourceManager::selectableKeyboardSources(m_inputSources)) {
        if (source.id == sourceID)
            return source.localizedName;
    }
    return sourceID;
}

std::optional<QString> UsageBaselineTracker::currentSourceID() const
{
    const auto source = InputSourceManager::currentSource(m_inputSources);
    return source ? std::optional(source->id) : std::nullopt;
}

std::optional<RuleSuggestion>
UsageBaselineTracker::suggestionForBundleID(const QString& bundleID) const
{
    if (m_store.ruleForBundleID(bundleID))
        return std::nullopt;
    double total = 0.0;
    const UsageSample* best = nullptr;
    for (const UsageSample& sample : m_samples) {
        if (sample.bundleID != bundleID)
            continue;
        total += sample.totalSeconds;
        if (!best || sample.totalSeconds > best->totalSeconds)
            best = &sample;
    }
    if (!best || total < minTotalSeconds)
        return std::nullopt;
    if (best->totalSeconds / total < minShare || best->daysObserved.size() < minDays)
        return std::nullopt;
    // One division, so a share of exactly 83 % is not floored to 82 by an earlier rounding. A
    // stored total near the largest double makes the product infinite, which no int holds.
    const int sharePercent = int(std::min(best->totalSeconds * 100.0 / total, 100.0));
    return RuleSuggestion{best->bundleID, best->appDisplayName, best->inputSourceID,
                          best->inputSourceDisplayName, sharePercent};
}

} // namespace korvalen
