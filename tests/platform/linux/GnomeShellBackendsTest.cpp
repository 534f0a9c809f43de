#include "input/InputSourceManager.h"
#include "platform/linux/GnomeShellFirstWorkspace.h"
#include "platform/linux/GnomeShellInputSources.h"
#include "platform/linux/GnomeShellWorkspace.h"
#include "platform/sim/SimWorkspace.h"

#include "GnomeShellSession.h"
#include "TemporaryApplicationFolders.h"
#include "support/RunningApplicationPrinter.h"
#include "support/WaitForSourceChange.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::GnomeShellSession;
using korvalen::testing::TemporaryApplicationFolders;

namespace {

// The Shell starts windows and passes focus at its own pace, more slowly on a loaded machine.
constexpr int patience = 10'000;

const QString alpha = u"io.github.korvalen.Alpha"_s;
const QString beta = u"io.github.korvalen.Beta"_s;

TEST(GnomeShellInputSourcesTest, IdentifiersAreTheOtherBackendsOnesForTheSameSource)
{
    EXPECT_EQ(GnomeShellInputSources::identifierOf(u"xkb:us"_s), u"xkb:us"_s);
    EXPECT_EQ(GnomeShellInputSources::identifierOf(u"xkb:de+nodeadkeys"_s),
              u"xkb:de(nodeadkeys)"_s);
    EXPECT_EQ(GnomeShellInputSources::identifierOf(u"ibus:pinyin"_s), u"pinyin"_s);
    // IBus's own layout engines keep their colons.
    EXPECT_EQ(GnomeShellInputSources::identifierOf(u"ibus:xkb:us::eng"_s), u"xkb:us::eng"_s);
    // Kinds and forms no other backend lists stay GNOME's.
    EXPECT_EQ(GnomeShellInputSources::identifierOf(u"xkb:"_s), u"xkb:"_s);
    EXPECT_EQ(GnomeShellInputSources::identifierOf(u"wacom:pad"_s), u"wacom:pad"_s);
}

TEST(GnomeShellRepliesTest, RepliesOfAnotherShapeAreRefused)
{
    const QList<QVariant> window{u"org.gnome.Terminal"_s, u"Gnome-terminal"_s,
                                 u"gnome-terminal-server"_s, quint32(42), u"~"_s};
    EXPECT_EQ(GnomeShellExtension::windowFrom(window),
              (GnomeShellExtension::Window{u"org.gnome.Terminal"_s, u"Gnome-terminal"_s,
                                           u"gnome-terminal-server"_s, 42, u"~"_s}));
    EXPECT_EQ(GnomeShellExtension::windowFrom(window.mid(0, 4)), std::nullopt);
    QList<QVariant> signedPid = window;
    signedPid[3] = -1;
    EXPECT_EQ(GnomeShellExtension::windowFrom(signedPid), std::nullopt);
    // Not an array of (ss), or a current index outside the list.
    EXPECT_EQ(GnomeShellExtension::inputSourcesFrom({u"xkb:us"_s, 0}), std::nullopt);
    EXPECT_EQ(GnomeShellExtension::inputSourcesFrom({}), std::nullopt);
}

// Korvalen's GNOME backends against a headless GNOME Shell with the extension.
class GnomeShellBackendsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& id : {alpha, beta})
            folders.writeApplication(u"applications/%1.desktop"_s.arg(id),
                                     id.section(u'.', -1).toUtf8());
    }

    ApplicationResolver resolver() const
    {
        return ApplicationResolver({folders.path(u"applications"_s)}, QString(), u"/nonexistent"_s);
    }

    RunningApplication application(const QString& id) const
    {
        return {id, id.section(u'.', -1), folders.path(u"applications/%1.desktop"_s.arg(id))};
    }

    bool open(const QString& appID) const
    {
        return session.open(u"foot"_s, {u"--app-id=%1"_s.arg(appID), u"sleep"_s, u"600"_s});
    }

    // The extension turned off or on, as the Extensions app does.
    bool setExtensionEnabled(bool enabled) const
    {
        const QDBusMessage reply =
            session.connect(u"extensions"_s)
                .call(QDBusMessage::createMethodCall(u"org.gnome.Shell"_s, u"/org/gnome/Shell"_s,
                                                     u"org.gnome.Shell.Extensions"_s,
                                                     enabled ? u"EnableExtension"_s
                                                             : u"DisableExtension"_s)
                      << GnomeShellExtension::uuid);
        return reply.type() == QDBusMessage::ReplyMessage;
    }

    TemporaryApplicationFolders folders;
    GnomeShellSession session{QStringLiteral(KORVALEN_GNOME_SHELL_FIXTURE), {alpha, beta}};
};

TEST_F(GnomeShellBackendsTest, FrontmostFollowsFocusTheExtensionAndTheShell)
{
    GnomeShellWorkspace workspace(session.connect(u"workspace"_s), resolver());
    QList<std::optional<QString>> activations;
    const Subscription subscription = workspace.subscribeToActivations(
        [&] { activations.append(workspace.frontmostBundleID()); });
    ASSERT_TRUE(workspace.isReporting());
    EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);

    for (const QString& id : {alpha, beta}) {
        ASSERT_TRUE(open(id));
        ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostBundleID() == id; }, patience));
    }
    EXPECT_EQ(workspace.frontmostApplication(), application(beta));
    ASSERT_TRUE(session.activate(alpha));
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostBundleID() == alpha; }, patience));
    EXPECT_EQ(activations, (QList<std::optional<QString>>{alpha, beta, alpha}));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return workspace.runningApplications().size() == 2; }, patience));
    // In the Shell's stacking order, which follows the focus a moment later.
    QList<RunningApplication> running = workspace.runningApplications();
    std::sort(running.begin(), running.end(),
              [](const auto& a, const auto& b) { return a.bundleID < b.bundleID; });
    EXPECT_EQ(running, (QList{application(alpha), application(beta)}));

    // A window the Shell knows no desktop entry for goes by its app id, as with other compositors.
    ASSERT_TRUE(open(u"io.github.korvalen.Unlisted"_s));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return workspace.frontmostBundleID() == u"io.github.korvalen.Unlisted"_s; },
        patience));

    // Turned off in the Extensions app: nothing is known; on again: the window in front is asked.
    ASSERT_TRUE(setExtensionEnabled(false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !workspace.isReporting(); }, patience));
    EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);
    EXPECT_TRUE(workspace.runningApplications().isEmpty());
    ASSERT_TRUE(setExtensionEnabled(true));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return workspace.frontmostBundleID() == u"io.github.korvalen.Unlisted"_s; },
        patience));

    // The Shell gone, and back with no windows.
    ASSERT_TRUE(session.stopShell());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !workspace.isReporting(); }, patience));
    EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.isReporting(); }, patience));
    ASSERT_TRUE(open(beta));
    EXPECT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostBundleID() == beta; }, patience));
}

TEST_F(GnomeShellBackendsTest, X11TellsTheFrontWindowWhileTheExtensionDoesNotRun)
{
    auto fallback = std::make_unique<SimWorkspace>();
    SimWorkspace& x11 = *fallback;
    GnomeShellFirstWorkspace workspace(
        std::make_unique<GnomeShellWorkspace>(session.connect(u"workspace"_s), resolver()),
        std::move(fallback));
    int activations = 0;
    const Subscription subscription = workspace.subscribeToActivations([&] { ++activations; });
    ASSERT_TRUE(open(alpha));
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostBundleID() == alpha; }, patience));
    // The other one's activations are not passed on while the Shell reports.
    const int shellActivations = activations;
    x11.activate(u"org.example.X11"_s);
    EXPECT_EQ(activations, shellActivations);

    ASSERT_TRUE(setExtensionEnabled(false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return activations > shellActivations; }, patience));
    EXPECT_EQ(workspace.frontmostBundleID(), u"org.example.X11"_s);
    x11.activate(u"org.example.Other"_s);
    EXPECT_EQ(workspace.frontmostBundleID(), u"org.example.Other"_s);

    ASSERT_TRUE(setExtensionEnabled(true));
    EXPECT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostBundleID() == alpha; }, patience));
}

TEST_F(GnomeShellBackendsTest, InputSourcesAreListedSwitchedAndFollowed)
{
    GnomeShellInputSources sources(session.connect(u"sources"_s));
    ASSERT_TRUE(sources.isRunning());
    // Told in the background, and announced once told.
    EXPECT_TRUE(waitForSourceChange(sources));
    const QList<InputSource> listed = InputSourceManager::selectableKeyboardSources(sources);
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0].id, u"xkb:us"_s);
    EXPECT_EQ(listed[1].id, u"xkb:de(nodeadkeys)"_s);
    EXPECT_FALSE(listed[1].localizedName.isEmpty());
    EXPECT_EQ(InputSourceManager::currentSource(sources)->id, u"xkb:us"_s);

    EXPECT_EQ(sources.select(sources.enabledSources().at(1)), TextInputSources::selectAccepted);
    EXPECT_TRUE(waitForSourceChange(sources));
    EXPECT_EQ(InputSourceManager::currentSource(sources)->id, u"xkb:de(nodeadkeys)"_s);

    // A switch made in GNOME (here by another client of the extension, as the Shell's menu would).
    const QDBusMessage reply =
        session.connect(u"other"_s)
            .call(QDBusMessage::createMethodCall(
                      GnomeShellExtension::serviceName, GnomeShellExtension::objectPath,
                      GnomeShellExtension::interfaceName, u"ActivateSource"_s)
                  << quint32(0));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    EXPECT_TRUE(waitForSourceChange(sources));
    EXPECT_EQ(InputSourceManager::currentSource(sources)->id, u"xkb:us"_s);

    // Without the extension there is nothing to list or switch, and its return is announced.
    const auto german = sources.enabledSources().at(1);
    ASSERT_TRUE(setExtensionEnabled(false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sources.isRunning(); }, patience));
    EXPECT_TRUE(sources.enabledSources().isEmpty());
    EXPECT_EQ(sources.currentKeyboardSource(), nullptr);
    EXPECT_EQ(sources.select(german), GnomeShellInputSources::notTaken);
    ASSERT_TRUE(setExtensionEnabled(true));
    EXPECT_TRUE(waitForSourceChange(sources, patience));
    EXPECT_EQ(sources.enabledSources().size(), 2);
    EXPECT_EQ(sources.select(german), TextInputSources::selectAccepted);
}

} // namespace
