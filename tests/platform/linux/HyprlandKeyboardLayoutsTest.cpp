#include "platform/linux/HyprlandKeyboardLayouts.h"

#include "FakeHyprland.h"
#include "support/TemporaryFolder.h"
#include "support/WaitForSourceChange.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::FakeHyprland;
using korvalen::testing::TemporaryFolder;

namespace {

const QString signature = u"v0.41_1700000000_test"_s;

// Runs the event loop until the condition holds, for at most 10 s.
bool waitUntil(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(10'000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

QList<FakeHyprland::Layout> englishAndGerman()
{
    return {{u"us"_s, {}, u"English (US)"_s},
            {u"de"_s, u"nodeadkeys"_s, u"German (no dead keys)"_s}};
}

class HyprlandKeyboardLayoutsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_runtime = qgetenv("XDG_RUNTIME_DIR");
        m_signature = qgetenv("HYPRLAND_INSTANCE_SIGNATURE");
        qputenv("XDG_RUNTIME_DIR", folder.path(u"runtime"_s).toUtf8());
        qputenv("HYPRLAND_INSTANCE_SIGNATURE", signature.toUtf8());
        compositor.emplace(folder.path(u"runtime/hypr/"_s + signature), englishAndGerman());
        // A registry of the tests' own: names do not depend on the installed xkb-data.
        const QString registryFile = folder.write(u"registry.xml"_s, R"(<xkbConfigRegistry>
<layoutList>
<layout><configItem><name>us</name><description>English (US)</description></configItem></layout>
<layout><configItem><name>de</name><description>German</description></configItem>
<variantList><variant><configItem><name>nodeadkeys</name>
<description>German (no dead keys)</description></configItem></variant></variantList></layout>
</layoutList></xkbConfigRegistry>)");
        layouts.emplace(HyprlandKeyboardLayouts::sessionInstanceFolder(),
                        XkbLayoutRegistry({registryFile}));
        // Connecting to the events announces a change: whatever changed unheard is read afresh.
        ASSERT_TRUE(waitForSourceChange(*layouts));
        ASSERT_TRUE(waitUntil([this] { return compositor->eventClientCount() == 1; }));
    }
    void TearDown() override
    {
        layouts.reset();
        compositor.reset();
        qputenv("XDG_RUNTIME_DIR", m_runtime);
        qputenv("HYPRLAND_INSTANCE_SIGNATURE", m_signature);
    }

    QStringList identifiers(const QList<TextInputSources::Handle>& sources) const
    {
        QStringList result;
        for (const auto& source : sources)
            result.append(layouts->identifier(source).value_or(u"?"_s));
        return result;
    }
    QString currentIdentifier()
    {
        return layouts->identifier(layouts->currentKeyboardSource()).value_or(QString());
    }

    TemporaryFolder folder;
    std::optional<FakeHyprland> compositor;
    std::optional<HyprlandKeyboardLayouts> layouts;

private:
    QByteArray m_runtime;
    QByteArray m_signature;
};

TEST_F(HyprlandKeyboardLayoutsTest, MainKeyboardsLayoutsWithTheIdentifiersOfX11)
{
    const auto sources = layouts->enabledSources();
    EXPECT_EQ(identifiers(sources), QStringList({u"xkb:us"_s, u"xkb:de(nodeadkeys)"_s}));
    ASSERT_EQ(sources.size(), 2);
    EXPECT_EQ(layouts->localizedName(sources.at(1)), u"German (no dead keys)"_s);
    EXPECT_EQ(layouts->category(sources.at(0)), TextInputSources::keyboardCategory);
    EXPECT_EQ(layouts->isSelectCapable(sources.at(0)), true);
    EXPECT_EQ(currentIdentifier(), u"xkb:us"_s);
}

TEST_F(HyprlandKeyboardLayoutsTest, SelectSwitchesEveryKeyboardAndTheSwitchIsAnnounced)
{
    const auto sources = layouts->enabledSources();
    ASSERT_EQ(sources.size(), 2);
    EXPECT_EQ(layouts->select(sources.at(1)), TextInputSources::selectAccepted);
    EXPECT_EQ(compositor->switches(), QList<QByteArray>{"switchxkblayout all 1"});
    EXPECT_TRUE(waitForSourceChange(*layouts));
    EXPECT_EQ(currentIdentifier(), u"xkb:de(nodeadkeys)"_s);
}

TEST_F(HyprlandKeyboardLayoutsTest, HandleOfAnotherLayoutAtItsPositionIsRefused)
{
    const auto sources = layouts->enabledSources();
    ASSERT_EQ(sources.size(), 2);
    compositor->setLayouts({{u"us"_s, {}, u"English (US)"_s}, {u"fr"_s, {}, u"French"_s}});
    EXPECT_EQ(layouts->select(sources.at(1)), HyprlandKeyboardLayouts::noSuchLayout);
    EXPECT_EQ(layouts->select(nullptr), HyprlandKeyboardLayouts::noSuchLayout);
    EXPECT_TRUE(compositor->switches().isEmpty());
    // Not in the registry: named by its code.
    EXPECT_EQ(layouts->localizedName(layouts->enabledSources().value(1)), u"fr"_s);
}

TEST_F(HyprlandKeyboardLayoutsTest, LayoutChangesOfOthersAreAnnounced)
{
    compositor->sendEvent("activelayout>>at-translated-set-2-keyboard,German (no dead keys)");
    EXPECT_TRUE(waitForSourceChange(*layouts));
}

TEST_F(HyprlandKeyboardLayoutsTest, EventsAreListenedToAgainAfterTheCompositorDropsThem)
{
    int announcements = 0;
    const Subscription subscription =
        layouts->subscribeToSelectedKeyboardSourceChanges([&] { ++announcements; });
    compositor->dropEventClients();
    ASSERT_TRUE(waitUntil([&] { return announcements == 1; }));
    // Connected again: what changed meanwhile is read afresh.
    ASSERT_TRUE(
        waitUntil([&] { return compositor->eventClientCount() == 1 && announcements == 2; }));
    compositor->sendEvent("activelayout>>at-translated-set-2-keyboard,English (US)");
    EXPECT_TRUE(waitUntil([&] { return announcements == 3; }));
}

TEST_F(HyprlandKeyboardLayoutsTest, StalledCompositorHoldsTheCallerOnlyBriefly)
{
    compositor->setAnswering(false);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_TRUE(layouts->enabledSources().isEmpty());
    EXPECT_EQ(layouts->currentKeyboardSource(), nullptr);
    EXPECT_LT(elapsed.elapsed(), 4 * HyprlandKeyboardLayouts::requestTimeout);
}

TEST(HyprlandKeyboardLayoutsWithoutCompositorTest, NoSources)
{
    TemporaryFolder folder;
    HyprlandKeyboardLayouts layouts(folder.path(u"hypr/none"_s), XkbLayoutRegistry({}));
    EXPECT_TRUE(layouts.enabledSources().isEmpty());
    EXPECT_EQ(layouts.currentKeyboardSource(), nullptr);
    HyprlandKeyboardLayouts outside({}, XkbLayoutRegistry({}));
    EXPECT_TRUE(outside.enabledSources().isEmpty());
}

} // namespace
