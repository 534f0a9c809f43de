#include "platform/linux/XkbTextInputSources.h"
#include "input/InputSourceManager.h"
#include "support/WaitForSourceChange.h"
#include "support/XvncServer.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

// Xlib's macros clash with Qt's and GoogleTest's names: include it last.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::XvncServer;

namespace {

// Another X client on the same server, as a desktop's own layout switcher would be.
class OtherClient {
public:
    explicit OtherClient(const QByteArray& display)
        : m_display(
              XkbOpenDisplay(display.constData(), nullptr, nullptr, nullptr, nullptr, nullptr))
    {
    }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;
    ~OtherClient()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    bool isConnected() const { return m_display != nullptr; }

    void lockGroup(unsigned group)
    {
        XkbLockGroup(m_display, XkbUseCoreKbd, group);
        XSync(m_display, False);
    }

    // Gives one key a symbol of its own, as Xvnc does for a character its viewer types that the
    // keymap lacks.
    void remapKey(int keycode, KeySym symbol)
    {
        XChangeKeyboardMapping(m_display, keycode, 1, &symbol, 1);
        XSync(m_display, False);
    }

    // Sets _XKB_RULES_NAMES, as setxkbmap does after loading a keymap.
    void setRulesNames(const QByteArray& names)
    {
        XChangeProperty(m_display, DefaultRootWindow(m_display),
                        XInternAtom(m_display, "_XKB_RULES_NAMES", False), XA_STRING, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(names.constData()),
                        int(names.size()));
        XSync(m_display, False);
    }

    int group()
    {
        XkbStateRec state;
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        return state.group;
    }

private:
    Display* m_display;
};

class XkbTextInputSourcesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_display = XvncServer::displayStartedIn(QStringLiteral(KORVALEN_XVNC_DIR));
        ASSERT_FALSE(m_display.isEmpty()) << "the Xvnc fixture did not start a server";
        loadLayouts({"-layout", "us,ru,de", "-variant", ",,nodeadkeys"});
        m_otherClient = std::make_unique<OtherClient>(m_display);
        ASSERT_TRUE(m_otherClient->isConnected());
        m_otherClient->lockGroup(0);
        m_sources = std::make_unique<XkbTextInputSources>(m_display);
    }

    void loadLayouts(QStringList arguments)
    {
        arguments << "-display" << QString::fromLatin1(m_display);
        ASSERT_EQ(QProcess::execute(u"setxkbmap"_s, arguments), 0)
            << arguments.join(u' ').toStdString();
    }

    // Compiles the keymap that setxkbmap would load for the arguments and uploads it with xkbcomp,
    // as keymap tools and some desktops do: the keymap changes, _XKB_RULES_NAMES does not. A
    // symbols name given replaces the one that lists the keymap's layouts.
    void uploadKeymap(QStringList arguments, const QByteArray& symbolsName = {})
    {
        const QString display = QString::fromLatin1(m_display);
        QProcess compose;
        compose.start(u"setxkbmap"_s, arguments << "-print"
                                                << "-display" << display);
        ASSERT_TRUE(compose.waitForFinished());
        ASSERT_EQ(compose.exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(compose.exitCode(), 0) << compose.readAllStandardError().toStdString();
        QByteArray keymap = compose.readAllStandardOutput();
        if (!symbolsName.isEmpty())
            keymap.replace("xkb_symbols ", "xkb_symbols \"" + symbolsName + "\" ");
        QProcess upload;
        // xkbcomp warns about every key the keymap leaves empty; none of that is a failure.
        upload.setStandardErrorFile(QProcess::nullDevice());
        upload.start(u"xkbcomp"_s, {u"-"_s, display});
        upload.write(keymap);
        upload.closeWriteChannel();
        ASSERT_TRUE(upload.waitForFinished());
        ASSERT_EQ(upload.exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(upload.exitCode(), 0);
    }

    QStringList listedIDs()
    {
        QStringList ids;
        for (const InputSource& source : InputSourceManager::selectableKeyboardSources(*m_sources))
            ids.append(source.id);
        return ids;
    }

    QStringList listedNames()
    {
        QStringList names;
        for (const InputSource& source : InputSourceManager::selectableKeyboardSources(*m_sources))
            names.append(source.localizedName);
        return names;
    }

    QString currentID()
    {
        return InputSourceManager::currentSource(*m_sources)
            .value_or(InputSource{u"(none)"_s, {}, {}})
            .id;
    }

    QByteArray m_display;
    std::unique_ptr<OtherClient> m_otherClient;
    std::unique_ptr<XkbTextInputSources> m_sources;
};

} // namespace

TEST_F(XkbTextInputSourcesTest, OneSourcePerLayoutGroupInGroupOrder)
{
    EXPECT_EQ(listedIDs(), (QStringList{"xkb:us", "xkb:ru", "xkb:de(nodeadkeys)"}));
    EXPECT_EQ(listedNames(), (QStringList{"English (US)", "Russian", "German (no dead keys)"}));
    for (const InputSource& source : InputSourceManager::selectableKeyboardSources(*m_sources)) {
        EXPECT_EQ(m_sources->inputMethodBundleID(source.raw), std::nullopt);
        EXPECT_EQ(m_sources->iconURL(source.raw), std::nullopt);
    }
    EXPECT_EQ(currentID(), "xkb:us");
}

TEST_F(XkbTextInputSourcesTest, SelectLocksTheGroupAndIsAnnounced)
{
    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"xkb:de(nodeadkeys)"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(currentID(), "xkb:de(nodeadkeys)");
    EXPECT_EQ(m_otherClient->group(), 2) << "the server's group, not only ours";

    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"xkb:ru"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(currentID(), "xkb:ru");
}

TEST_F(XkbTextInputSourcesTest, ChangeByAnotherClientIsAnnounced)
{
    m_otherClient->lockGroup(1);
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(currentID(), "xkb:ru");

    // Reading the state between changes must not hold the next announcement back in Xlib's queue.
    m_otherClient->lockGroup(2);
    EXPECT_EQ(currentID(), "xkb:de(nodeadkeys)");
    ASSERT_TRUE(waitForSourceChange(*m_sources));
}

TEST_F(XkbTextInputSourcesTest, LayoutThatIsNotLoadedCannotBeSelected)
{
    for (const char* id : {"xkb:fr", "xkb:de", "xkb:RU", "ru", ""})
        EXPECT_FALSE(InputSourceManager::select(*m_sources, QString::fromLatin1(id))) << id;
    EXPECT_EQ(m_otherClient->group(), 0);
}

TEST_F(XkbTextInputSourcesTest, ReloadedLayoutsShowAtTheNextListingAndAreAnnounced)
{
    const QList<InputSource> before = InputSourceManager::selectableKeyboardSources(*m_sources);
    ASSERT_EQ(before.size(), 3);
    m_otherClient->lockGroup(1);
    ASSERT_TRUE(waitForSourceChange(*m_sources));

    loadLayouts({"-layout", "fr,us", "-variant", "azerty,"});
    EXPECT_EQ(listedIDs(), (QStringList{"xkb:fr(azerty)", "xkb:us"}));
    ASSERT_TRUE(waitForSourceChange(*m_sources)) << "the locked group now holds another layout";
    EXPECT_EQ(currentID(), "xkb:us");

    // A source listed before the reload names a group that now holds another layout, or none.
    EXPECT_EQ(m_sources->select(before.at(1).raw), XkbTextInputSources::noSuchGroup);
    EXPECT_EQ(m_sources->select(before.at(2).raw), XkbTextInputSources::noSuchGroup);
    EXPECT_EQ(m_otherClient->group(), 1);
}

TEST_F(XkbTextInputSourcesTest, UploadedKeymapIsListedSelectedAndAnnouncedByItsOwnLayouts)
{
    loadLayouts({"-layout", "us,ru"});
    // A keyboard that hears of nothing but the upload.
    m_sources = std::make_unique<XkbTextInputSources>(m_display);
    ASSERT_EQ(listedIDs(), (QStringList{"xkb:us", "xkb:ru"}));

    uploadKeymap({"-layout", "de,fr"});
    EXPECT_TRUE(waitForSourceChange(*m_sources)) << "the group in effect now types German";
    EXPECT_EQ(listedIDs(), (QStringList{"xkb:de", "xkb:fr"}));
    EXPECT_EQ(listedNames(), (QStringList{"German", "French"}));
    EXPECT_EQ(currentID(), "xkb:de");

    // A rule for a layout the upload replaced must not lock whatever its old group holds now.
    EXPECT_FALSE(InputSourceManager::select(*m_sources, u"xkb:us"_s));
    EXPECT_FALSE(InputSourceManager::select(*m_sources, u"xkb:ru"_s));
    m_otherClient->lockGroup(1);
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(currentID(), "xkb:fr");
    ASSERT_TRUE(InputSourceManager::select(*m_sources, u"xkb:de"_s));
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(m_otherClient->group(), 0) << "the German group";
}

TEST_F(XkbTextInputSourcesTest, AKeymapNamingNoLayoutsHasThoseTheRulesWereLastAskedFor)
{
    uploadKeymap({"-layout", "us,ru"}, "pc");
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(listedIDs(), (QStringList{"xkb:us", "xkb:ru"}));

    // Rules, model, layouts, variants and options, each ended by a zero byte.
    m_otherClient->setRulesNames(
        QByteArrayList{"evdev", "pc105", "fr,de", "azerty,", ""}.join('\0') + '\0');
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(listedIDs(), (QStringList{"xkb:fr(azerty)", "xkb:de"}));
}

TEST_F(XkbTextInputSourcesTest, KeymapNewsThatLeavesTheLayoutsAsTheyWereIsNotAnnounced)
{
    int announcements = 0;
    const Subscription counting =
        m_sources->subscribeToSelectedKeyboardSourceChanges([&] { ++announcements; });
    m_otherClient->remapKey(248, XK_EuroSign);
    loadLayouts({"-layout", "us,ru,de", "-variant", ",,nodeadkeys"});
    // The server sent us its news before answering this; the event loop then hands it over.
    ASSERT_EQ(listedIDs(), (QStringList{"xkb:us", "xkb:ru", "xkb:de(nodeadkeys)"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(announcements, 0);

    m_otherClient->lockGroup(1);
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    EXPECT_EQ(announcements, 1);
}

TEST_F(XkbTextInputSourcesTest, LockedGroupPastTheLastLayoutWrapsAround)
{
    m_otherClient->lockGroup(2);
    ASSERT_TRUE(waitForSourceChange(*m_sources));
    loadLayouts({"-layout", "fr,us"});
    EXPECT_EQ(currentID(), "xkb:fr") << "keys type with group 2 % 2";
}

TEST(XkbTextInputSourcesWithoutDisplay, HasNoSourcesAndSelectsNothing)
{
    const std::optional<QByteArray> display =
        qEnvironmentVariableIsSet("DISPLAY") ? std::optional(qgetenv("DISPLAY")) : std::nullopt;
    qunsetenv("DISPLAY");
    XkbTextInputSources sources;
    if (display)
        qputenv("DISPLAY", *display);

    EXPECT_TRUE(sources.enabledSources().isEmpty());
    EXPECT_EQ(sources.currentKeyboardSource(), nullptr);
    EXPECT_EQ(InputSourceManager::currentSource(sources), std::nullopt);
    EXPECT_FALSE(InputSourceManager::select(sources, u"xkb:us"_s));

    XkbTextInputSources unreachable(":4095");
    EXPECT_TRUE(unreachable.enabledSources().isEmpty());
}

TEST(XkbTextInputSourcesWithoutDisplay, ServerGoingAwayLeavesNoSourcesAndTheProcessRunning)
{
    XvncServer server{QStringLiteral(KORVALEN_XVNC_FIXTURE)};
    XkbTextInputSources sources(server.displayName());
    ASSERT_FALSE(sources.enabledSources().isEmpty());

    server.stop();
    // The event loop finds the connection at its end; Xlib would end the process here.
    QCoreApplication::processEvents();
    EXPECT_TRUE(sources.enabledSources().isEmpty());
    EXPECT_EQ(sources.currentKeyboardSource(), nullptr);
    EXPECT_FALSE(InputSourceManager::select(sources, u"xkb:us"_s));
}
