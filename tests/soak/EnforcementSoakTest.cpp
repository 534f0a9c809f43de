#include "enforcement/EnforcementController.h"
#include "platform/QSettingsUserDefaults.h"
#include "platform/sim/SimBrowserScripting.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"
#include "support/EnforcementLogLines.h"
#include "support/JsonRecords.h"
#include "usage/UsageBaselineTracker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString terminal = u"org.gnome.Terminal"_s;
const QString editor = u"org.gnome.TextEditor"_s;
const QString chrome = u"google-chrome"_s;
const QString us = u"xkb:us"_s;
const QString ru = u"xkb:ru"_s;
const QString de = u"xkb:de(nodeadkeys)"_s;

// Each activation changes the source the rules want: the terminal's, the editor's, the site's.
const QString cycle[] = {terminal, editor, chrome};
const QHash<QString, QString> desiredIn = {{terminal, us}, {editor, ru}, {chrome, de}};

constexpr int activations = 5000; // each followed by a change of source by hand
constexpr int warmUpActivations = 500;
constexpr qint64 secondsPerEvent = 30;

// Resident memory in bytes.
qint64 residentBytes()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

// AddressSanitizer keeps freed memory aside for a while, so resident memory tells nothing there;
// its leak checker covers leaks instead.
#ifdef __SANITIZE_ADDRESS__
constexpr bool residentMemoryTellsGrowth = false;
#else
constexpr bool residentMemoryTellsGrowth = true;
#endif

// Every credit of usage time rewrites and syncs the settings file, some 15 ms on a disk: in memory
// (tmpfs), where the system has it, the events take seconds instead of minutes.
QString temporaryRoot()
{
    const QFileInfo memory(u"/dev/shm"_s);
    return memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
}

// The engine as the application wires it, on the simulated platform, with the settings in an
// INI file as on Linux.
class EnforcementSoak : public ::testing::Test {
protected:
    QTemporaryDir folder{temporaryRoot() + u"/korvalen-soak-XXXXXX"_s};
    QString logPath = folder.filePath(u"enforce.log"_s);
    QString settingsPath = folder.filePath(u"Korvalen.conf"_s);
    SimClock clock{QDateTime(QDate(2026, 12, 6), QTime(8, 0), QTimeZone::utc())};
    std::unique_ptr<QSettingsUserDefaults> defaults =
        QSettingsUserDefaults::inIniFile(settingsPath);
    RuleStore store{*defaults};
    SimWorkspace workspace;
    SimBrowserScripting browsers{{{chrome, u"Google Chrome"_s}}};
    NotificationCenter notifications;
    WebsiteWatcher watcher{workspace, browsers, notifications};
    SimulatedTextInputSources inputSources;
    QHash<QString, TextInputSources::Handle> sources;
    EnforcementLog log{logPath, clock};
    EnforcementController controller{store, watcher, inputSources, workspace, notifications, log};
    UsageBaselineTracker tracker{*defaults, workspace, inputSources, clock, store};

    EnforcementSoak()
    {
        for (const QString& id : {us, ru, de})
            sources.insert(id, inputSources.addEnabledSource(
                                   SimulatedTextInputSources::keyboardLayout(id, id + u" name"_s)));
        inputSources.setCurrentKeyboardSource(sources.value(de));
        browsers.setTabURL(u"Google Chrome"_s, u"https://www.example.com/page"_s);
        store.upsert(AppRule{terminal, u"Terminal"_s, us, u"English (US)"_s});
        store.upsert(AppRule{editor, u"Text Editor"_s, ru, u"Russian"_s});
        store.upsert(WebsiteRule{u"www.example.com"_s, de, u"German"_s});
        workspace.activate(terminal);
        controller.start();
        tracker.start();
        QCoreApplication::processEvents();
        QFile::remove(logPath);
    }

    // Lets the platform's deferred announcement of our own switch, and its pass, run.
    void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    void advanceClock() { clock.setNow(clock.now().addSecs(secondsPerEvent)); }

    QString currentSourceID()
    {
        return inputSources.identifier(inputSources.currentKeyboardSource()).value_or(QString());
    }

    // The user picks a source the rules do not want here.
    void switchByHand(const QString& app, int round)
    {
        const QString wanted = desiredIn.value(app);
        QStringList others{us, ru, de};
        others.removeOne(wanted);
        inputSources.setCurrentKeyboardSource(sources.value(others.at(round % 2)));
        inputSources.announceSelectedKeyboardSourceChanged();
        settle();
    }

    QStringList logLines() const { return korvalen::testing::enforcementLogLines(logPath); }
};

} // namespace

TEST_F(EnforcementSoak, TenThousandEventsKeepTheRulesTheLogAndTheSettingsWholeInBoundedMemory)
{
    int domainChanges = 0;
    bool inBrowser = false;
    qint64 residentAfterWarmUp = 0;
    for (int round = 0; round < activations; ++round) {
        if (round == warmUpActivations)
            residentAfterWarmUp = residentBytes();
        const QString app = cycle[(round + 1) % 3];
        advanceClock();
        workspace.activate(app);
        settle();
        domainChanges += (app == chrome) != inBrowser;
        inBrowser = app == chrome;
        ASSERT_EQ(currentSourceID(), desiredIn.value(app)) << "activation " << round;

        advanceClock();
        switchByHand(app, round);
        ASSERT_EQ(currentSourceID(), desiredIn.value(app)) << "correction " << round;
    }
    const qint64 residentAtEnd = residentBytes();

    // One line per event and per decision. Every activation and every change by hand got a
    // correction, and every correction was announced back as a source change.
    const QStringList lines = logLines();
    const auto isEvent = [](const QString& line) {
        return line.startsWith(u"app activated: "_s) ||
               line.startsWith(u"website domain changed: "_s) ||
               line == u"TIS input source changed notification fired"_s;
    };
    const auto count = [&lines](const QString& start) {
        return std::ranges::count_if(lines,
                                     [&](const QString& line) { return line.startsWith(start); });
    };
    const qsizetype corrections = 2 * activations;
    const qsizetype sourceChanges = activations + corrections;
    const qsizetype events = activations + domainChanges + sourceChanges;
    EXPECT_EQ(count(u"app activated: "_s), activations);
    EXPECT_EQ(count(u"website domain changed: "_s), domainChanges);
    EXPECT_EQ(count(u"TIS input source changed notification fired"_s), sourceChanges);
    EXPECT_EQ(count(u"  -> select("_s), corrections);
    EXPECT_EQ(lines.size(), 2 * events + corrections) << "no other lines";
    qsizetype passesRightAfterTheirEvent = 0;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        passesRightAfterTheirEvent += isEvent(lines[i]) && lines[i + 1].startsWith(u"enforce("_s);
    EXPECT_EQ(passesRightAfterTheirEvent, events);

    // What another start reads from the file: the rules as set and the usage as learned, with
    // every credited segment's time in it.
    const auto reread = QSettingsUserDefaults::inIniFile(settingsPath);
    const RuleStore storeAgain(*reread);
    EXPECT_EQ(storeAgain.rules(), store.rules());
    EXPECT_EQ(storeAgain.websiteRules(), store.websiteRules());
    const auto samples = reread->dataForKey(UsageBaselineTracker::samplesKey);
    ASSERT_TRUE(samples.has_value());
    const auto decoded = decodeJsonRecords<UsageSample>(*samples);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, tracker.samples().values());
    double credited = 0;
    for (const UsageSample& sample : *decoded)
        credited += sample.totalSeconds;
    EXPECT_EQ(credited, double(2 * activations * secondsPerEvent));

    RecordProperty("residentGrowthBytes",
                   QByteArray::number(residentAtEnd - residentAfterWarmUp).constData());
    if (residentMemoryTellsGrowth) {
        EXPECT_LT(residentAtEnd - residentAfterWarmUp, 4 << 20)
            << "resident memory grew from " << residentAfterWarmUp << " to " << residentAtEnd
            << " bytes";
    }
}
