#include "platform/linux/Fcitx5TextInputSources.h"
#include "input/InputSourceManager.h"
#include "support/Fcitx5Client.h"
#include "support/Fcitx5Daemon.h"
#include "support/StatusNotifierWatcher.h"
#include "support/WaitForSourceChange.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::Fcitx5Client;
using korvalen::testing::Fcitx5Daemon;
using korvalen::testing::PrivateConnection;
using EventSource = Fcitx5ChangeWatcher::EventSource;

namespace {

class Fcitx5TextInputSourcesTest : public ::testing::Test {
protected:
    // The daemon's addons beyond those its bus interface needs.
    virtual QStringList extraAddons() const { return {}; }

    void SetUp() override
    {
        m_daemon = std::make_unique<Fcitx5Daemon>(
            QStringList{"keyboard-us", "keyboard-ru", "keyboard-de"}, extraAddons());
        ASSERT_TRUE(m_daemon->start()) << m_daemon->log().toStdString();
        ASSERT_NO_FATAL_FAILURE(makeSources());
    }

    // New sources, once they have heard from the daemon, with nothing announced yet.
    void makeSources()
    {
        m_sources = std::make_unique<Fcitx5TextInputSources>();
        m_announcements = m_sources->subscribeToSelectedKeyboardSourceChanges([this] {
            ++m_announced;
            m_announcedIDs.append(currentID());
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_sources->isRunning(); }));
        m_announced = 0;
        m_announcedIDs.clear();
    }

    void TearDown() override
    {
        m_sources.reset();
        m_daemon.reset();
    }

    QStringList listedIDs()
    {
        QStringList ids;
        for (const InputSource& source : InputSourceManager::selectableKeyboardSources(*m_sources))
            ids.append(source.id);
        return ids;
    }

    QString currentID()
    {
        return InputSourceManager::currentSource(*m_sources)
            .value_or(InputSource{u"(none)"_s, {}, {}})
            .id;
    }

    // Runs the event loop until the sources have announced `count` changes in all.
    bool waitForAnnouncements(int count)
    {
        return QTest::qWaitFor([&] { return m_announced >= count; }, 5000);
    }

    std::unique_ptr<Fcitx5Daemon> m_daemon;
    std::unique_ptr<Fcitx5TextInputSources> m_sources;
    Fcitx5Client m_other;
    int m_announced = 0;
    QStringList m_announcedIDs;
    Subscription m_announcements;
};

} // namespace

TEST_F(Fcitx5TextInputSourcesTest, ListsTheCurrentGroupInOrderWithNamesAndIcons)
{
    EXPECT_EQ(m_sources->name(), "fcitx5");
    EXPECT_TRUE(Fcitx5TextInputSources().isRunning()) << "a daemon already there is known at once";
    const QList<InputSource> sources = InputSourceManager::selectableKeyboardSources(*m_sources);
    ASSERT_EQ(sources.size(), 3);
    EXPECT_EQ(listedIDs(), (QStringList{"keyboard-us", "keyboard-ru", "keyboard-de"}));
    EXPECT_EQ(sources.at(1).localizedName, "Keyboard - Russian");
    for (const InputSource& source : sources) {
        EXPECT_EQ(m_sources->iconURL(source.raw), QUrl(u"icon:input-keyboard"_s));
        EXPECT_EQ(m_sources->inputMethodBundleID(source.raw), std::nullopt);
    }
    EXPECT_EQ(currentID(), "(none)") << "no input context has had the focus yet";

    // The group as edited elsewhere, with an input method first listed now, at the next call.
    m_other.setGroup({"keyboard-de", "keyboard-fr"});
    EXPECT_EQ(listedIDs(), (QStringList{"keyboard-de", "keyboard-fr"}));
    EXPECT_EQ(InputSourceManager::selectableKeyboardSources(*m_sources).at(1).localizedName,
              "Keyboard - French");
}

TEST_F(Fcitx5TextInputSourcesTest, CurrentIsTheFocusedContextsAndSwitchesAreAnnounced)
{
    const QString alpha = m_other.createContext(u"alpha"_s);
    const QString beta = m_other.createContext(u"beta"_s);
    m_other.focusIn(alpha);
    m_other.switchTo(u"keyboard-ru"_s);
    EXPECT_EQ(currentID(), "keyboard-ru");
    // Each context keeps its own.
    m_other.focusOut(alpha);
    m_other.focusIn(beta);
    EXPECT_EQ(currentID(), "keyboard-us");

    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"keyboard-de"_s));
    EXPECT_EQ(m_other.currentInputMethod(), "keyboard-de") << "the daemon's, not only ours";
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(m_announcedIDs, (QStringList{"keyboard-de"}));
}

TEST_F(Fcitx5TextInputSourcesTest, SourceOutsideTheCurrentGroupIsRefused)
{
    const QString alpha = m_other.createContext(u"alpha"_s);
    m_other.focusIn(alpha);
    const QList<InputSource> before = InputSourceManager::selectableKeyboardSources(*m_sources);
    ASSERT_EQ(before.size(), 3);

    m_other.setGroup({"keyboard-us", "keyboard-ru"});
    EXPECT_EQ(m_sources->select(before.at(2).raw), Fcitx5TextInputSources::notInGroup);
    EXPECT_EQ(m_sources->select(nullptr), Fcitx5TextInputSources::notInGroup);
    EXPECT_EQ(m_other.currentInputMethod(), "keyboard-us");
}

// The window Korvalen hears of first focuses its input context only a moment later.
TEST_F(Fcitx5TextInputSourcesTest, SwitchLandsOnTheContextFocusedJustAfter)
{
    const QString previous = m_other.createContext(u"previous"_s);
    const QString next = m_other.createContext(u"next"_s);
    QObject scope; // ends the delayed focus changes with the test
    bool nextFocused = false;
    const auto nextLandedOn = [&](const QString& inputMethod) {
        return nextFocused && m_other.currentInputMethod() == inputMethod &&
               m_announcedIDs.value(m_announcedIDs.size() - 1) == inputMethod;
    };

    // No context has the focus when the switch is asked for.
    m_other.focusIn(previous);
    m_other.focusOut(previous);
    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"keyboard-ru"_s));
    QTimer::singleShot(100, &scope, [&] {
        m_other.focusIn(next);
        nextFocused = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return nextLandedOn(u"keyboard-ru"_s); }))
        << qPrintable(m_other.currentInputMethod());
    m_other.focusOut(next);
    m_other.focusIn(previous);
    EXPECT_EQ(m_other.currentInputMethod(), "keyboard-us") << "the window left behind is kept";

    // The previous window's context still has the focus when the switch is asked for.
    nextFocused = false;
    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"keyboard-de"_s));
    QTimer::singleShot(100, &scope, [&] {
        m_other.focusOut(previous);
        m_other.focusIn(next);
        nextFocused = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return nextLandedOn(u"keyboard-de"_s); }))
        << qPrintable(m_other.currentInputMethod());
}

TEST_F(Fcitx5TextInputSourcesTest, SwitchBySomeoneElseIsAskedForOnlyWhileNeeded)
{
    const QString alpha = m_other.createContext(u"alpha"_s);
    m_other.focusIn(alpha);
    EXPECT_EQ(m_sources->activeEventSource(), EventSource::none);
    EXPECT_FALSE(m_sources->isPolling());

    m_sources->setChangeNotificationsNeeded(true);
    EXPECT_TRUE(m_sources->isPolling());
    ASSERT_TRUE(waitForSourceChange(*m_sources)) << "the focus moved to a context";
    m_other.switchTo(u"keyboard-ru"_s);
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(m_announcedIDs, (QStringList{"keyboard-us", "keyboard-ru"}));

    m_sources->setChangeNotificationsNeeded(false);
    EXPECT_FALSE(m_sources->isPolling());
    m_sources->setChangeNotificationsNeeded(true);
    m_daemon->stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_sources->isRunning(); }));
    EXPECT_FALSE(m_sources->isPolling()) << "nothing to ask without a daemon";
}

TEST_F(Fcitx5TextInputSourcesTest, DaemonGoingComingAndReplacedIsFollowed)
{
    int runningChanges = 0;
    const Subscription counting = m_sources->subscribeToRunningChanges([&] { ++runningChanges; });

    m_daemon->stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_sources->isRunning(); }));
    EXPECT_EQ(runningChanges, 1);
    EXPECT_EQ(m_announced, 1);
    EXPECT_TRUE(m_sources->enabledSources().isEmpty());
    EXPECT_EQ(m_sources->currentKeyboardSource(), nullptr);
    EXPECT_FALSE(InputSourceManager::select(*m_sources, u"keyboard-us"_s));

    // A daemon that starts later, with other input methods.
    m_daemon->setInputMethods({"keyboard-de", "keyboard-us"});
    ASSERT_TRUE(m_daemon->start()) << m_daemon->log().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_sources->isRunning(); }));
    EXPECT_EQ(runningChanges, 2);
    EXPECT_EQ(listedIDs(), (QStringList{"keyboard-de", "keyboard-us"}));
    const QString alpha = m_other.createContext(u"alpha"_s);
    m_other.focusIn(alpha);
    EXPECT_EQ(currentID(), "keyboard-de");

    // Replaced by a new daemon at once, as `fcitx5 -r` does.
    Fcitx5Daemon replacement({"keyboard-fr"});
    ASSERT_TRUE(replacement.start()) << replacement.log().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return InputSourceManager::selectableKeyboardSources(*m_sources).value(0).localizedName ==
               "Keyboard - French";
    }));
    EXPECT_EQ(runningChanges, 4) << "gone with the old daemon, back with the new";
}

TEST_F(Fcitx5TextInputSourcesTest, HungDaemonCostsOneShortWaitNotOnePerCall)
{
    const QString alpha = m_other.createContext(u"alpha"_s);
    m_other.focusIn(alpha);
    m_sources->setChangeNotificationsNeeded(true);
    const QList<InputSource> listed = InputSourceManager::selectableKeyboardSources(*m_sources);
    ASSERT_EQ(listed.size(), 3);
    m_daemon->pause();

    QElapsedTimer elapsed;
    elapsed.start();
    for (int round = 0; round < 10; ++round) {
        EXPECT_TRUE(m_sources->enabledSources().isEmpty());
        EXPECT_EQ(m_sources->currentKeyboardSource(), nullptr);
        EXPECT_EQ(m_sources->select(listed.at(1).raw), Fcitx5TextInputSources::notSent);
        QCoreApplication::processEvents();
    }
    // Unbounded, each of these would wait the bus's 25 s.
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_TRUE(m_sources->isRunning()) << "judged without asking the daemon";

    m_daemon->resume();
    EXPECT_TRUE(QTest::qWaitFor([&] { return listedIDs().size() == 3; }, 5000))
        << "asked again once the quiet period is over";
}

namespace {

// fcitx5 showing its tray icon, to a panel that the test stands in for.
class Fcitx5TrayIconTest : public Fcitx5TextInputSourcesTest {
protected:
    QStringList extraAddons() const override { return {"classicui", "notificationitem"}; }

    void SetUp() override
    {
        ASSERT_TRUE(m_watcher.isRegistered());
        Fcitx5TextInputSourcesTest::SetUp();
    }

    PrivateConnection m_panel;
    korvalen::testing::StatusNotifierWatcher m_watcher{m_panel.bus()};
};

} // namespace

TEST_F(Fcitx5TrayIconTest, SwitchesAndFocusChangesAreHeardWithoutAsking)
{
    // Sources made after the icon was shown know it from its first news.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !m_watcher.registeredStatusNotifierItems().isEmpty(); }));
    ASSERT_NO_FATAL_FAILURE(makeSources());
    m_sources->setChangeNotificationsNeeded(true);
    EXPECT_TRUE(m_sources->isPolling());
    const QString alpha = m_other.createContext(u"alpha"_s);
    const QString beta = m_other.createContext(u"beta"_s);
    m_other.focusIn(alpha);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return m_sources->activeEventSource() == EventSource::statusNotifierItem; }));
    EXPECT_FALSE(m_sources->isPolling());
    ASSERT_TRUE(waitForAnnouncements(1));

    m_other.switchTo(u"keyboard-ru"_s);
    ASSERT_TRUE(waitForAnnouncements(2));
    m_other.focusOut(alpha);
    m_other.focusIn(beta);
    ASSERT_TRUE(waitForAnnouncements(3));
    EXPECT_EQ(m_announcedIDs, (QStringList{"keyboard-us", "keyboard-ru", "keyboard-us"}));

    // A new daemon's icon is known from its registration, before any news.
    ASSERT_TRUE(m_daemon->start());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return m_sources->activeEventSource() == EventSource::statusNotifierItem; }));
    EXPECT_FALSE(m_sources->isPolling());
}

namespace {

// fcitx5 showing its state through a KDE input method panel, which the test stands in for.
class Fcitx5InputMethodPanelTest : public Fcitx5TextInputSourcesTest {
protected:
    QStringList extraAddons() const override { return {"kimpanel"}; }

    PrivateConnection m_panel;
};

} // namespace

TEST_F(Fcitx5InputMethodPanelTest, SwitchesAreHeardWithoutAskingWhileAPanelIsThere)
{
    m_sources->setChangeNotificationsNeeded(true);
    EXPECT_TRUE(m_sources->isPolling());
    ASSERT_TRUE(m_panel.bus().registerService(u"org.kde.impanel"_s));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return m_sources->activeEventSource() == EventSource::inputMethodPanel; }));
    EXPECT_FALSE(m_sources->isPolling());

    const QString alpha = m_other.createContext(u"alpha"_s);
    m_other.focusIn(alpha);
    m_other.switchTo(u"keyboard-de"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_announcedIDs.contains(u"keyboard-de"_s); }));

    m_panel.bus().unregisterService(u"org.kde.impanel"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_sources->isPolling(); }));
}
