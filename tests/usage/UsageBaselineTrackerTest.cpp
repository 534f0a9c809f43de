#include "usage/UsageBaselineTracker.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString editor = u"org.example.Editor"_s;
const QString chat = u"org.example.Chat"_s;
const QString us = u"xkb:us"_s;
const QString ru = u"xkb:ru"_s;

QDateTime at(int day, int hour, int minute, double seconds = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute)).addMSecs(qint64(seconds * 1000));
}

class UsageTrackerTest : public ::testing::Test {
protected:
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
    SimWorkspace workspace;
    SimulatedTextInputSources inputSources;
    QMap<QString, TextInputSources::Handle> sources;
    SimClock clock{at(6, 9, 0)};
    std::unique_ptr<UsageBaselineTracker> tracker;

    UsageTrackerTest()
    {
        sources.insert(us, inputSources.addEnabledSource(
                               SimulatedTextInputSources::keyboardLayout(us, u"English (US)"_s)));
        sources.insert(ru, inputSources.addEnabledSource(
                               SimulatedTextInputSources::keyboardLayout(ru, u"Russian"_s)));
        inputSources.setCurrentKeyboardSource(sources.value(us));
        workspace.setRunningApplications(
            {{editor, u"Editor"_s, {}, {}}, {chat, u"Chat"_s, {}, {}}});
        workspace.activate(editor);
    }

    void startTracking()
    {
        tracker =
            std::make_unique<UsageBaselineTracker>(defaults, workspace, inputSources, clock, store);
        tracker->start();
    }

    // Moves the clock on, then brings the application to the front.
    void activateAfter(double seconds, const QString& bundleID)
    {
        clock.setNow(clock.now().addMSecs(qint64(seconds * 1000)));
        workspace.activate(bundleID);
    }

    // Moves the clock on, then changes the current source.
    void switchSourceAfter(double seconds, const QString& sourceID)
    {
        clock.setNow(clock.now().addMSecs(qint64(seconds * 1000)));
        inputSources.setCurrentKeyboardSource(sources.value(sourceID));
        inputSources.announceSelectedKeyboardSourceChanged();
    }

    std::optional<UsageSample> sample(const QString& bundleID, const QString& sourceID) const
    {
        const auto it = tracker->samples().constFind(UsageSample::key(bundleID, sourceID));
        return it == tracker->samples().constEnd() ? std::nullopt : std::optional(*it);
    }
};

} // namespace

TEST_F(UsageTrackerTest, EachSegmentGoesToTheApplicationAndSourceCurrentWhenItBegan)
{
    startTracking();
    activateAfter(90, chat);     // (Editor, us) 90 s
    switchSourceAfter(0.4, ru);  // (Chat, us) 0.4 s: our own correction, dropped
    switchSourceAfter(30, us);   // (Chat, ru) 30 s
    activateAfter(12.5, editor); // (Chat, us) 12.5 s

    EXPECT_EQ(sample(editor, us)->totalSeconds, 90.0);
    EXPECT_EQ(sample(chat, ru)->totalSeconds, 30.0);
    EXPECT_EQ(sample(chat, us)->totalSeconds, 12.5);
    EXPECT_EQ(tracker->samples().size(), 3);
    EXPECT_EQ(sample(chat, ru)->appDisplayName, u"Chat"_s);
    EXPECT_EQ(sample(chat, ru)->inputSourceDisplayName, u"Russian"_s);
}

TEST_F(UsageTrackerTest, OnlySegmentsLongerThanOneSecondAreCredited)
{
    startTracking();
    activateAfter(1.0, editor);
    EXPECT_FALSE(sample(editor, us)) << "exactly one second is dropped";
    activateAfter(1.5, editor);
    EXPECT_EQ(sample(editor, us)->totalSeconds, 1.5);
    EXPECT_EQ(sample(editor, us)->daysObserved, QSet<QString>{u"2026-12-06"_s});
    activateAfter(-60, editor);
    EXPECT_EQ(sample(editor, us)->totalSeconds, 1.5) << "a clock set back credits nothing";
}

TEST_F(UsageTrackerTest, SegmentAcrossMidnightCreditsOnlyTheLaterDay)
{
    clock.setNow(at(6, 23, 50));
    startTracking();
    clock.setNow(at(7, 0, 20));
    workspace.activate(chat);
    EXPECT_EQ(sample(editor, us)->totalSeconds, 1800.0);
    EXPECT_EQ(sample(editor, us)->daysObserved, QSet<QString>{u"2026-12-07"_s});
}

TEST_F(UsageTrackerTest, UnknownApplicationOrSourceAtTheStartOfASegmentCreditsNothing)
{
    workspace.activate(std::nullopt);
    startTracking();
    inputSources.setCurrentKeyboardSource(nullptr);
    activateAfter(60, editor); // (none, us)
    inputSources.setCurrentKeyboardSource(sources.value(us));
    activateAfter(60, chat); // (editor, none)
    EXPECT_TRUE(tracker->samples().isEmpty());
    EXPECT_EQ(defaults.writeCount(), 0);
}

TEST_F(UsageTrackerTest, NamesAreFixedAtFirstCreditAndFallBackToIdentifiers)
{
    startTracking();
    activateAfter(10, chat);
    workspace.setRunningApplications({{editor, u"Editor 2"_s, {}, {}}});
    activateAfter(10, editor);
    activateAfter(10, chat);
    EXPECT_EQ(sample(editor, us)->appDisplayName, u"Editor"_s);
    EXPECT_EQ(sample(chat, us)->appDisplayName, chat) << "Chat had quit when first credited";

    const TextInputSources::Handle hidden = inputSources.makeSource(
        SimulatedTextInputSources::keyboardLayout(u"xkb:de"_s, u"German"_s));
    inputSources.setCurrentKeyboardSource(hidden);
    inputSources.announceSelectedKeyboardSourceChanged();
    activateAfter(10, editor);
    EXPECT_EQ(sample(chat, u"xkb:de"_s)->inputSourceDisplayName, u"xkb:de"_s)
        << "a source that is not enabled is named by its identifier";
}

TEST_F(UsageTrackerTest, UnreadableClockReadingCreditsNothing)
{
    clock.setNow(QDateTime());
    startTracking();
    clock.setNow(at(6, 10, 0));
    workspace.activate(chat);
    EXPECT_TRUE(tracker->samples().isEmpty());
}

TEST_F(UsageTrackerTest, TotalsAreSavedAfterEveryCreditAndSurviveARestart)
{
    startTracking();
    activateAfter(100, chat);
    activateAfter(20, editor);
    const QByteArray stored = defaults.dataForKey(UsageBaselineTracker::samplesKey).value();
    const QJsonArray array = QJsonDocument::fromJson(stored).array();
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array.at(0).toObject().keys(),
              (QStringList{"appDisplayName", "bundleID", "daysObserved", "inputSourceDisplayName",
                           "inputSourceID", "totalSeconds"}));
    EXPECT_FALSE(stored.contains('\n'));

    const QMap<QString, UsageSample> before = tracker->samples();
    startTracking();
    EXPECT_EQ(tracker->samples(), before);
}

TEST_F(UsageTrackerTest, LaterDuplicateWinsAndLoadingWritesNothing)
{
    const auto element = [](double seconds) {
        return QJsonObject{{"bundleID", "a"},
                           {"appDisplayName", "A"},
                           {"inputSourceID", "s"},
                           {"inputSourceDisplayName", "S"},
                           {"totalSeconds", seconds},
                           {"daysObserved", QJsonArray{"2026-12-01", "2026-12-02"}},
                           {"extra", 1}};
    };
    defaults.setData(UsageBaselineTracker::samplesKey,
                     QJsonDocument(QJsonArray{element(10), element(20)}).toJson());
    const int writesBefore = defaults.writeCount();
    startTracking();
    ASSERT_EQ(tracker->samples().size(), 1);
    EXPECT_EQ(tracker->samples().first().totalSeconds, 20.0);
    EXPECT_EQ(tracker->samples().first().daysObserved.size(), 2);
    EXPECT_EQ(defaults.writeCount(), writesBefore);
}

TEST_F(UsageTrackerTest, UnreadableSamplesLoadEmptyAndAreSetAsideBeforeTheFirstSave)
{
    const auto withMembers = [](const char* rest) {
        return QByteArray(R"([{"bundleID":"a","appDisplayName":"A","inputSourceID":"s",)"
                          R"("inputSourceDisplayName":"S",)") +
               rest + "}]";
    };
    for (const QByteArray& stored :
         {withMembers(R"("totalSeconds":5)"),
          withMembers(R"("totalSeconds":"5","daysObserved":[])"),
          withMembers(R"("totalSeconds":5,"daysObserved":[20261206])"),
          withMembers(R"("totalSeconds":-5,"daysObserved":[])"), QByteArray("{")}) {
        tracker.reset();
        workspace.activate(editor);
        defaults.setData(UsageBaselineTracker::samplesKey, stored);
        defaults.removeObject(UsageBaselineTracker::samplesKey + ".unreadable");
        const int writesBefore = defaults.writeCount();
        startTracking();
        EXPECT_TRUE(tracker->samples().isEmpty()) << stored.toStdString();
        EXPECT_EQ(defaults.writeCount(), writesBefore);

        activateAfter(5, chat);
        EXPECT_EQ(defaults.values().value(UsageBaselineTracker::samplesKey + ".unreadable"),
                  stored);
        EXPECT_EQ(tracker->samples().size(), 1);
    }
}
