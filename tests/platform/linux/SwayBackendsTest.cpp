#include "platform/linux/SwayTextInputSources.h"
#include "platform/linux/SwayWorkspace.h"
#include "platform/linux/WlrForeignToplevelWorkspace.h"

#include "SwaySession.h"
#include "TemporaryApplicationFolders.h"
#include "support/RunningApplicationPrinter.h"
#include "support/WaitForSourceChange.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::SwaySession;
using korvalen::testing::TemporaryApplicationFolders;

namespace {

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

class SwayBackendsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folders.writeApplication(u"applications/korvalen.alpha.desktop"_s, "Alpha");
        folders.writeApplication(u"applications/korvalen-xterm.desktop"_s, "Terminal X",
                                 "StartupWMClass=XTerm\n");
    }

    // Sway's own, over its IPC, or any wlroots compositor's, over the toplevel list.
    template <typename SessionWorkspace>
    std::unique_ptr<Workspace> makeWorkspace() const
    {
        ApplicationResolver resolver({folders.path(u"applications"_s)}, QString(),
                                     u"/nonexistent"_s);
        if constexpr (std::is_same_v<SessionWorkspace, SwayWorkspace>)
            return std::make_unique<SwayWorkspace>(session.socketPath(), std::move(resolver));
        else
            return std::make_unique<SessionWorkspace>(session.waylandDisplay(),
                                                      std::move(resolver));
    }

    // A native window of its own app_id, or an Xwayland xterm; each lives as long as the session.
    bool openFoot(const QString& appID) const
    {
        return session.command(u"exec foot --app-id=%1 sleep 600"_s.arg(appID));
    }
    bool openXterm() const { return session.command(u"exec xterm -e sleep 600"_s); }

    TemporaryApplicationFolders folders;
    SwaySession session{QStringLiteral(KORVALEN_SWAY_FIXTURE),
                        QStringLiteral(KORVALEN_VIRTUAL_KEYBOARD)};
};

template <typename SessionWorkspace>
class WorkspaceOnSwayTest : public SwayBackendsTest {
};
using SessionWorkspaces = ::testing::Types<SwayWorkspace, WlrForeignToplevelWorkspace>;
TYPED_TEST_SUITE(WorkspaceOnSwayTest, SessionWorkspaces);

TYPED_TEST(WorkspaceOnSwayTest, FrontmostFollowsFocusOpeningAndClosingOfWindows)
{
    const auto& folders = this->folders;
    const auto workspace = this->template makeWorkspace<TypeParam>();
    QList<std::optional<QString>> activations;
    const Subscription subscription = workspace->subscribeToActivations(
        [&] { activations.append(workspace->frontmostBundleID()); });
    EXPECT_EQ(workspace->frontmostApplication(), std::nullopt);

    ASSERT_TRUE(this->openFoot(u"korvalen.alpha"_s));
    ASSERT_TRUE(waitUntil([&] { return activations.size() == 1; }));
    const RunningApplication alpha{u"korvalen.alpha"_s, u"Alpha"_s,
                                   folders.path(u"applications/korvalen.alpha.desktop"_s)};
    EXPECT_EQ(workspace->frontmostApplication(), alpha);

    ASSERT_TRUE(this->openXterm());
    ASSERT_TRUE(waitUntil([&] { return activations.size() == 2; }));
    const RunningApplication xterm{u"korvalen-xterm"_s, u"Terminal X"_s,
                                   folders.path(u"applications/korvalen-xterm.desktop"_s)};
    EXPECT_EQ(workspace->frontmostApplication(), xterm);

    // Without a desktop entry, the app_id names the application.
    ASSERT_TRUE(this->openFoot(u"korvalen.bare"_s));
    ASSERT_TRUE(waitUntil([&] { return activations.size() == 3; }));
    const RunningApplication bare{u"korvalen.bare"_s, u"korvalen.bare"_s, QString()};
    EXPECT_EQ(workspace->frontmostApplication(), bare);

    ASSERT_TRUE(this->session.command(u"[app_id=korvalen.alpha] focus"_s));
    ASSERT_TRUE(waitUntil([&] { return activations.size() == 4; }));
    EXPECT_EQ(activations,
              (QList<std::optional<QString>>{u"korvalen.alpha"_s, u"korvalen-xterm"_s,
                                             u"korvalen.bare"_s, u"korvalen.alpha"_s}));
    EXPECT_EQ(workspace->runningApplications(), (QList<RunningApplication>{alpha, xterm, bare}));

    // A window behind closes: nothing comes to the front.
    ASSERT_TRUE(this->session.command(u"[app_id=korvalen.bare] kill"_s));
    ASSERT_TRUE(waitUntil([&] { return workspace->runningApplications().size() == 2; }));
    EXPECT_EQ(workspace->runningApplications(), (QList<RunningApplication>{alpha, xterm}));
    // The one in front closes: the one left comes to the front, with nothing in between.
    ASSERT_TRUE(this->session.command(u"[app_id=korvalen.alpha] kill"_s));
    ASSERT_TRUE(waitUntil([&] { return workspace->frontmostBundleID() == u"korvalen-xterm"_s; }));
    EXPECT_EQ(activations.size(), 5);
    EXPECT_EQ(workspace->runningApplications(), (QList<RunningApplication>{xterm}));
}

TYPED_TEST(WorkspaceOnSwayTest, CompositorGoingAwayAndComingBack)
{
    auto& session = this->session;
    const auto workspace = this->template makeWorkspace<TypeParam>();
    SwayTextInputSources sources(session.socketPath());
    ASSERT_TRUE(this->openFoot(u"korvalen.alpha"_s));
    ASSERT_TRUE(waitUntil([&] { return workspace->frontmostBundleID() == u"korvalen.alpha"_s; }));

    ASSERT_TRUE(session.stop());
    ASSERT_TRUE(waitUntil([&] { return !workspace->frontmostApplication(); }));
    EXPECT_TRUE(workspace->runningApplications().isEmpty());
    EXPECT_TRUE(sources.enabledSources().isEmpty());

    ASSERT_TRUE(session.start());
    ASSERT_TRUE(this->openFoot(u"korvalen.alpha"_s));
    EXPECT_TRUE(waitUntil([&] { return workspace->frontmostBundleID() == u"korvalen.alpha"_s; }));
    EXPECT_TRUE(waitUntil([&] { return sources.enabledSources().size() == 2; }));
}

TEST_F(SwayBackendsTest, LayoutsAreListedSwitchedAndFollowed)
{
    SwayTextInputSources sources(session.socketPath());
    // The virtual keyboard comes a moment after the compositor.
    ASSERT_TRUE(waitUntil([&] { return !sources.enabledSources().isEmpty(); }));
    const QList<TextInputSources::Handle> listed = sources.enabledSources();
    QStringList identifiers;
    QStringList names;
    for (const auto& source : listed) {
        identifiers.append(sources.identifier(source).value_or(QString()));
        names.append(sources.localizedName(source).value_or(QString()));
        EXPECT_EQ(sources.category(source), TextInputSources::keyboardCategory);
    }
    // As XkbTextInputSources names the same layouts on X11.
    EXPECT_EQ(identifiers, (QStringList{u"xkb:us"_s, u"xkb:de(nodeadkeys)"_s}));
    EXPECT_EQ(names, (QStringList{u"English (US)"_s, u"German (no dead keys)"_s}));
    EXPECT_EQ(sources.identifier(sources.currentKeyboardSource()), u"xkb:us"_s);

    EXPECT_EQ(sources.select(listed.at(1)), TextInputSources::selectAccepted);
    EXPECT_TRUE(waitForSourceChange(sources));
    EXPECT_EQ(sources.identifier(sources.currentKeyboardSource()), u"xkb:de(nodeadkeys)"_s);

    // Another client switches back.
    ASSERT_TRUE(session.command(u"input type:keyboard xkb_switch_layout 0"_s));
    EXPECT_TRUE(waitForSourceChange(sources));
    EXPECT_EQ(sources.identifier(sources.currentKeyboardSource()), u"xkb:us"_s);
}

} // namespace
