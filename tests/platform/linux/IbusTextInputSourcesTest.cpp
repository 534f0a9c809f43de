#include "platform/linux/IbusTextInputSources.h"
#include "input/InputSourceManager.h"
#include "platform/linux/IbusBusAddress.h"
#include "platform/linux/IbusEngineDescription.h"
#include "support/IbusDaemon.h"
#include "support/IbusSession.h"
#include "support/WaitForSourceChange.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::IbusDaemon;
using korvalen::testing::IbusSession;

namespace {

// The user's engines, with one that IBus does not have, as after a typing error or an uninstall.
const QString userEngines = u"['xkb:us::eng', 'no-such-engine', 'xkb:ru::rus', 'xkb:de::deu']"_s;
const QStringList userEngineIDs{"xkb:us::eng", "xkb:ru::rus", "xkb:de::deu"};

[[maybe_unused]] const ::testing::Environment* const session =
    ::testing::AddGlobalTestEnvironment(new IbusSession(userEngines));

// Sets environment variables (an empty value unsets one) and restores them when dropped.
class EnvironmentChange {
public:
    explicit EnvironmentChange(const std::map<const char*, QByteArray>& values)
    {
        for (const auto& [name, value] : values) {
            m_saved.emplace(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                                  : std::nullopt);
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    ~EnvironmentChange()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

private:
    std::map<const char*, std::optional<QByteArray>> m_saved;
};

bool waitFor(const std::function<bool()>& condition, int timeoutMilliseconds = 5000)
{
    return QTest::qWaitFor(condition, timeoutMilliseconds);
}

QStringList listedIDs(TextInputSources& sources)
{
    QStringList ids;
    for (const InputSource& source : InputSourceManager::selectableKeyboardSources(sources))
        ids.append(source.id);
    return ids;
}

QString currentID(TextInputSources& sources)
{
    return InputSourceManager::currentSource(sources).value_or(InputSource{u"(none)"_s, {}, {}}).id;
}

class IbusTextInputSourcesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_daemon = std::make_unique<IbusDaemon>(IbusSession::busFolder());
        ASSERT_TRUE(m_daemon->isReady()) << "ibus-daemon did not start";
        m_sources = std::make_unique<IbusTextInputSources>();
    }

    void TearDown() override
    {
        if (m_changedSettings) {
            IbusSession::resetSetting(u"org.gnome.desktop.input-sources"_s, u"sources"_s);
            IbusSession::setSetting(u"org.freedesktop.ibus.general"_s, u"preload-engines"_s,
                                    userEngines);
            // The next test must not start before this process has read the change back.
            EXPECT_TRUE(waitFor([this] { return listed() == userEngineIDs; }));
        }
        m_sources.reset();
        m_daemon.reset();
    }

    QStringList listed() { return listedIDs(*m_sources); }
    QString current() { return currentID(*m_sources); }

    std::unique_ptr<IbusDaemon> m_daemon;
    std::unique_ptr<IbusTextInputSources> m_sources;
    bool m_changedSettings = false;
};

} // namespace

TEST_F(IbusTextInputSourcesTest, ListsTheUsersEnginesInTheirOrderAsTheDaemonDescribesThem)
{
    EXPECT_EQ(m_sources->name(), "IBus");
    EXPECT_TRUE(m_sources->isRunning());
    const QList<InputSource> sources = InputSourceManager::selectableKeyboardSources(*m_sources);
    QStringList ids;
    QStringList names;
    for (const InputSource& source : sources) {
        ids.append(source.id);
        names.append(source.localizedName);
        EXPECT_EQ(m_sources->iconURL(source.raw), QUrl(u"icon:ibus-keyboard"_s));
        EXPECT_EQ(m_sources->inputMethodBundleID(source.raw), std::nullopt);
    }
    EXPECT_EQ(ids, userEngineIDs) << "the engine IBus does not have is left out";
    EXPECT_EQ(names, (QStringList{"English (US)", "Russian", "German"}));
    EXPECT_EQ(current(), "(none)") << "a daemon without a panel starts without an engine";
}

TEST_F(IbusTextInputSourcesTest, SelectMakesTheEngineGlobalAndIsAnnounced)
{
    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"xkb:ru::rus"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(current(), "xkb:ru::rus");
    EXPECT_EQ(IbusDaemon::globalEngine(), "xkb:ru::rus") << "the daemon's engine, not only ours";

    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"xkb:de::deu"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(current(), "xkb:de::deu");

    // An engine that is not among the user's, even one the daemon uses now, is not switched to.
    ASSERT_TRUE(m_daemon->setGlobalEngine(u"xkb:fr::fra"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    const TextInputSources::Handle french = m_sources->currentKeyboardSource();
    EXPECT_EQ(m_sources->identifier(french), "xkb:fr::fra");
    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"xkb:us::eng"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(m_sources->select(french), IbusTextInputSources::notEnabled);
    EXPECT_EQ(m_sources->select(nullptr), IbusTextInputSources::notEnabled);
    EXPECT_FALSE(InputSourceManager::select(*m_sources, u"no-such-engine"_s));
    EXPECT_EQ(IbusDaemon::globalEngine(), "xkb:us::eng");
}

TEST_F(IbusTextInputSourcesTest, SwitchByAnotherClientIsAnnouncedWithoutAskingFirst)
{
    ASSERT_TRUE(m_daemon->setGlobalEngine(u"xkb:de::deu"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(current(), "xkb:de::deu");

    ASSERT_TRUE(m_daemon->setGlobalEngine(u"xkb:ru::rus"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(current(), "xkb:ru::rus");
}

TEST_F(IbusTextInputSourcesTest, ChangedEngineListShowsAndIsAnnounced)
{
    m_changedSettings = true;
    ASSERT_TRUE(IbusSession::setSetting(u"org.freedesktop.ibus.general"_s, u"preload-engines"_s,
                                        u"['xkb:de::deu', 'xkb:us::eng']"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(listed(), (QStringList{"xkb:de::deu", "xkb:us::eng"}));
    EXPECT_FALSE(InputSourceManager::select(*m_sources, u"xkb:ru::rus"_s)) << "no longer enabled";
}

TEST_F(IbusTextInputSourcesTest, GnomeInputSourcesAreTheListWithItsLayoutsAsIbusEngines)
{
    m_changedSettings = true;
    ASSERT_TRUE(IbusSession::setSetting(
        u"org.gnome.desktop.input-sources"_s, u"sources"_s,
        u"[('xkb', 'de+nodeadkeys'), ('ibus', 'xkb:ru::rus'), ('xkb', 'us'), ('xkb', 'zz')]"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    // The layouts' engines are learnt in the background; the list is complete once they are.
    const QStringList expected{"xkb:de:nodeadkeys:deu", "xkb:ru::rus", "xkb:us::eng"};
    ASSERT_TRUE(waitFor([&] { return listed() == expected; })) << listed().join(u' ').toStdString();

    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"xkb:de:nodeadkeys:deu"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(current(), "xkb:de:nodeadkeys:deu");
}

TEST_F(IbusTextInputSourcesTest, RestartedDaemonIsPickedUpWithoutRestartingKorvalen)
{
    ASSERT_EQ(listed(), userEngineIDs);
    int runningChanges = 0;
    const Subscription counting = m_sources->subscribeToRunningChanges([&] { ++runningChanges; });

    m_daemon->stop();
    EXPECT_TRUE(waitFor([&] { return runningChanges > 0; })) << "the lost daemon is announced";
    EXPECT_FALSE(m_sources->isRunning());
    EXPECT_TRUE(m_sources->enabledSources().isEmpty());

    runningChanges = 0;
    m_daemon = std::make_unique<IbusDaemon>(IbusSession::busFolder());
    ASSERT_TRUE(m_daemon->isReady());
    EXPECT_TRUE(waitFor([&] { return runningChanges > 0; })) << "the new daemon is announced";
    EXPECT_TRUE(m_sources->isRunning());
    EXPECT_EQ(listed(), userEngineIDs);

    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"xkb:ru::rus"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(IbusDaemon::globalEngine(), "xkb:ru::rus");
    ASSERT_TRUE(m_daemon->setGlobalEngine(u"xkb:de::deu"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources)) << "the new daemon's changes are heard";
    EXPECT_EQ(current(), "xkb:de::deu");
}

TEST_F(IbusTextInputSourcesTest, GoneDaemonLeavesNoSourcesAndRefusesQuickly)
{
    const QList<InputSource> listedBefore =
        InputSourceManager::selectableKeyboardSources(*m_sources);
    ASSERT_EQ(listedBefore.size(), 3);
    m_daemon->kill();

    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(m_sources->isRunning()) << "though its address file is left behind";
    EXPECT_TRUE(m_sources->enabledSources().isEmpty());
    EXPECT_EQ(m_sources->currentKeyboardSource(), nullptr);
    EXPECT_EQ(m_sources->select(listedBefore.at(1).raw), IbusTextInputSources::notTaken);
    EXPECT_FALSE(InputSourceManager::select(*m_sources, u"xkb:ru::rus"_s));
    EXPECT_LT(timer.elapsed(), 500);
}

TEST_F(IbusTextInputSourcesTest, HungDaemonCostsOneShortWaitAndIsAskedAgainLater)
{
    const QList<InputSource> listedBefore =
        InputSourceManager::selectableKeyboardSources(*m_sources);
    ASSERT_EQ(listedBefore.size(), 3);
    m_daemon->pause();

    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(m_sources->enabledSources().isEmpty());
    EXPECT_EQ(m_sources->currentKeyboardSource(), nullptr);
    EXPECT_EQ(m_sources->select(listedBefore.at(1).raw), IbusTextInputSources::notTaken);
    EXPECT_TRUE(m_sources->enabledSources().isEmpty());
    EXPECT_TRUE(m_sources->isRunning()) << "its process is there";
    // A backend that first connects to the daemon while it hangs.
    IbusTextInputSources connectingWhileHung;
    EXPECT_TRUE(connectingWhileHung.enabledSources().isEmpty());
    EXPECT_EQ(connectingWhileHung.currentKeyboardSource(), nullptr);
    EXPECT_LT(timer.elapsed(), 500) << "two short waits at most, one per backend";

    // The process's other D-Bus connections go on meanwhile.
    timer.restart();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                                       u"org.freedesktop.DBus"_s, u"ListNames"_s),
        QDBus::Block, 2000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    EXPECT_LT(timer.elapsed(), 500);

    m_daemon->resume();
    EXPECT_TRUE(waitFor([&] { return listed() == userEngineIDs; }));
    EXPECT_TRUE(waitFor([&] { return listedIDs(connectingWhileHung) == userEngineIDs; }));
    ASSERT_TRUE(m_daemon->setGlobalEngine(u"xkb:de::deu"_s));
    EXPECT_TRUE(waitForSourceChange(connectingWhileHung)) << "it joined the bus once answered";
}

TEST(IbusDaemonDiscovery, DaemonStartedLaterIsPickedUp)
{
    // In a folder that does not exist yet, as before the first IBus start of an account.
    QTemporaryDir home;
    const QString addressFolder = home.filePath(u"later/bus"_s);
    const EnvironmentChange environment(
        {{"IBUS_ADDRESS_FILE", QFile::encodeName(addressFolder + u"/address"_s)}});
    IbusTextInputSources sources;
    EXPECT_FALSE(sources.isRunning());
    EXPECT_TRUE(sources.enabledSources().isEmpty());
    int runningChanges = 0;
    const Subscription counting = sources.subscribeToRunningChanges([&] { ++runningChanges; });

    IbusDaemon daemon(addressFolder);
    ASSERT_TRUE(daemon.isReady());
    EXPECT_TRUE(waitFor([&] { return runningChanges > 0; }));
    EXPECT_TRUE(sources.isRunning());
    ASSERT_TRUE(daemon.setGlobalEngine(u"xkb:ru::rus"_s));
    EXPECT_TRUE(waitForSourceChange(sources)) << "connected when the daemon appeared";
    EXPECT_EQ(listedIDs(sources), userEngineIDs);
    EXPECT_EQ(currentID(sources), "xkb:ru::rus");
}

TEST(IbusDaemonDiscovery, FoundForEachDisplayWhereIbusClientsFindIt)
{
    const std::vector<std::map<const char*, QByteArray>> displays{
        {{"DISPLAY", ":5.0"}},
        {{"DISPLAY", "localhost:7"}},
        {{"WAYLAND_DISPLAY", "wayland-3"}},
        {{"WAYLAND_DISPLAY", "wayland-4"}, {"DISPLAY", ":6"}},
    };
    for (const std::map<const char*, QByteArray>& display : displays) {
        const EnvironmentChange environment(display);
        IbusDaemon daemon(IbusSession::busFolder());
        ASSERT_TRUE(daemon.isReady());
        const std::optional<IbusBusAddress> found = IbusBusAddress::current();
        ASSERT_TRUE(found) << display.begin()->second.constData();
        EXPECT_EQ(found->pid, daemon.pid());
        EXPECT_EQ(found->address, daemon.address());

        QProcess ibusTool;
        ibusTool.start(u"ibus"_s, {u"address"_s});
        ASSERT_TRUE(ibusTool.waitForFinished());
        EXPECT_EQ(QString::fromUtf8(ibusTool.readAllStandardOutput().trimmed()), found->address)
            << "where IBus's own clients look";
    }

    // An address from the environment is the whole story: the daemon runs while it listens.
    IbusDaemon daemon(IbusSession::busFolder());
    ASSERT_TRUE(daemon.isReady());
    const EnvironmentChange environment(
        {{"IBUS_ADDRESS", daemon.address().toUtf8()}, {"XDG_CONFIG_HOME", "/nonexistent"}});
    IbusTextInputSources sources;
    EXPECT_TRUE(sources.isRunning());
    EXPECT_EQ(listedIDs(sources), userEngineIDs);
    daemon.kill();
    EXPECT_TRUE(waitFor([&] { return !sources.isRunning(); }));
}

TEST(IbusEngineDescription, RepliesOfAnotherShapeDescribeNoEngine)
{
    EXPECT_EQ(IbusEngineDescription::fromDBus({}), std::nullopt);
    EXPECT_EQ(IbusEngineDescription::fromDBus(u"xkb:us::eng"_s), std::nullopt);
    EXPECT_EQ(IbusEngineDescription::fromDBus(42), std::nullopt);
    EXPECT_TRUE(IbusEngineDescription::listFromDBus(u"xkb:us::eng"_s).isEmpty());

    EXPECT_EQ(IbusEngineDescription::fromFields({}), std::nullopt);
    EXPECT_EQ(IbusEngineDescription::fromFields({u"IBusEngineDesc"_s}), std::nullopt);
    EXPECT_EQ(IbusEngineDescription::fromFields({u"IBusComponent"_s, {}, u"xkb:us::eng"_s}),
              std::nullopt);
    EXPECT_EQ(IbusEngineDescription::fromFields({u"IBusEngineDesc"_s, {}, 7}), std::nullopt);

    // Fields missing or of another type are absent; the engine is still described by its name.
    const std::optional<IbusEngineDescription> short_ =
        IbusEngineDescription::fromFields({u"IBusEngineDesc"_s, {}, u"pinyin"_s, 5});
    ASSERT_TRUE(short_);
    EXPECT_EQ(short_->name, "pinyin");
    EXPECT_EQ(short_->longName, "");
    EXPECT_EQ(short_->iconURL(), std::nullopt);
    EXPECT_EQ(short_->rank, 0u);
}

TEST(IbusEngineDescription, IconIsAFileOrAThemeIcon)
{
    IbusEngineDescription engine;
    engine.icon = u"/usr/share/ibus-libpinyin/icons/ibus-pinyin.svg"_s;
    EXPECT_EQ(engine.iconURL(),
              QUrl::fromLocalFile(u"/usr/share/ibus-libpinyin/icons/ibus-pinyin.svg"_s));
    engine.icon = u"ibus-keyboard"_s;
    EXPECT_EQ(engine.iconURL(), QUrl(u"icon:ibus-keyboard"_s));
    engine.icon = u"icons/ibus-keyboard.png"_s;
    EXPECT_EQ(engine.iconURL(), std::nullopt);
}

TEST(IbusWithoutSchemas, HasNoSourcesAndTheProcessGoesOn)
{
    // GLib reads the installed schemas once per process: this runs in a process of its own, in
    // which none are installed.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir empty;
    EXPECT_EXIT(
        {
            for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "GSETTINGS_SCHEMA_DIR"})
                qputenv(name, QFile::encodeName(empty.path()));
            IbusTextInputSources sources;
            const bool nothing = sources.enabledSources().isEmpty() &&
                                 !InputSourceManager::select(sources, u"xkb:us::eng"_s);
            std::exit(nothing ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
