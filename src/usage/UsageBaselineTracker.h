#pragma once

#include "platform/StoredRecords.h"
#include "platform/TextInputSources.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "rules/RuleStore.h"
#include "support/Clock.h"
#include "usage/RuleSuggestion.h"
#include "usage/UsageSample.h"

#include <QMap>

#include <vector>

namespace korvalen {

// Measures how long each input source is used in each application, without the user doing
// anything, and proposes an application rule when the evidence is strong.
//
// Time is cut into segments at every application activation and every input source change. A
// segment is credited, when it ends, to the application and source current when it began,
// provided both were known and it lasted more than a second; the totals are saved at once.
class UsageBaselineTracker {
public:
    static inline const QString samplesKey = QStringLiteral("Korvalen.usageSamples");
    static constexpr double minShare = 0.8;
    static constexpr int minDays = 3;
    static constexpr double minTotalSeconds = 300.0;

    // Loads the stored totals; writes nothing.
    UsageBaselineTracker(UserDefaults& defaults, const Workspace& workspace,
                         TextInputSources& inputSources, const Clock& clock,
                         const RuleStore& store);
    UsageBaselineTracker(const UsageBaselineTracker&) = delete;
    UsageBaselineTracker& operator=(const UsageBaselineTracker&) = delete;

    // The tracker of the running application, on the installed platform.
    static UsageBaselineTracker& shared();

    // Opens the first segment and starts watching activations and source changes.
    void start();

    // The source an application without a rule has been used with for at least minShare of at
    // least minTotalSeconds, on at least minDays days; none otherwise.
    std::optional<RuleSuggestion> suggestionForBundleID(const QString& bundleID) const;

    // All totals, by "bundleID|inputSourceID".
    const QMap<QString, UsageSample>& samples() const { return m_samples; }

private:
    void closeSegmentAndAdvance();
    void recordDwell(const QString& bundleID, const QString& sourceID, double seconds);
    QString runningApplicationName(const QString& bundleID) const;
    QString inputSourceName(const QString& sourceID) const;
    std::optional<QString> currentSourceID() const;

    const Workspace& m_workspace;
    TextInputSources& m_inputSources;
    const Clock& m_clock;
    const RuleStore& m_store;
    StoredRecords m_storage;
    QMap<QString, UsageSample> m_samples;
    std::optional<QString> m_currentBundleID;
    std::optional<QString> m_currentSourceID;
    QDateTime m_segmentStart;
    std::vector<Subscription> m_observers;
};

} // namespace korvalen
