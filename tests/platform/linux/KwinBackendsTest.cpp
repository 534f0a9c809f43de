#include "platform/linux/KdeKeyboardLayouts.h"
#include "platform/linux/KwinScriptWorkspace.h"

#include "KwinSession.h"
#include "TemporaryApplicationFolders.h"
#include "support/RunningApplicationPrinter.h"
#include "support/WaitForSourceChange.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::KwinSession;
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

const QString flower = u"org.freedesktop.weston.flower"_s;
const QString editor = u"org.freedesktop.weston.text-editor"_s;

class KwinBackendsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folders.writeApplication(u"applications/%1.desktop"_s.arg(flower), "Flower");
        folders.writeApplication(u"applications/%1.desktop"_s.arg(editor), "Editor");
    }

    std::unique_ptr<KwinScriptWorkspace> makeWorkspace(const QString& connectionName) const
    {
        return std::make_unique<KwinScriptWorkspace>(
            session.connect(connectionName),
            ApplicationResolver({folders.path(u"applications"_s)}, QString(), u"/nonexistent"_s));
    }

    RunningApplication application(const QString& id, const QString& name) const
    {
        return {id, name, folders.path(u"applications/%1.desktop"_s.arg(id))};
    }

    bool focus(const QString& resourceClass, const QString& scriptName) const
    {
        return session.runScript(
            u"for (const c of workspace.clientList())"
            "  if (c.resourceClass == '%1') workspace.activeClient = c;"_s.arg(resourceClass),
            scriptName);
    }

    TemporaryApplicationFolders folders;
    KwinSession session{QStringLiteral(KORVALEN_KWIN_FIXTURE)};
};

TEST_F(KwinBackendsTest, FrontmostFollowsFocusAndKwinRestarts)
{
    auto workspace = makeWorkspace(u"workspace"_s);
    QList<std::optional<QString>> activations;
    const Subscription subscription = workspace->subscribeToActivations(
        [&] { activations.append(workspace->frontmostBundleID()); });
    ASSERT_TRUE(waitUntil([&] { return workspace->isReporting(); }));
    EXPECT_EQ(workspace->frontmostApplication(), std::nullopt);

    ASSERT_TRUE(session.open(u"weston-flower"_s));
    ASSERT_TRUE(waitUntil([&] { return activations.size() == 1; }));
    EXPECT_EQ(workspace->frontmostApplication(), application(flower, u"Flower"_s));
    ASSERT_TRUE(session.open(u"weston-editor"_s));
    ASSERT_TRUE(waitUntil([&] { return activations.size() == 2; }));
    EXPECT_EQ(workspace->frontmostApplication(), application(editor, u"Editor"_s));
    EXPECT_TRUE(waitUntil([&] { return workspace->runningApplications().size() == 2; }));
    EXPECT_EQ(workspace->runningApplications(),
              (QList{application(flower, u"Flower"_s), application(editor, u"Editor"_s)}));

    // A switch back passes through no window without an activation of its own.
    ASSERT_TRUE(focus(flower, u"focus-flower"_s));
    ASSERT_TRUE(waitUntil([&] { return activations.size() == 3; }));
    EXPECT_EQ(activations, (QList<std::optional<QString>>{flower, editor, flower}));

    // KWin gone (its windows may pass focus on as they close): nothing in front, nothing
    // running; back: the script is loaded again.
    ASSERT_TRUE(session.stopCompositor());
    ASSERT_TRUE(waitUntil([&] { return !workspace->frontmostApplication(); }));
    EXPECT_EQ(activations.last(), std::nullopt);
    EXPECT_TRUE(workspace->runningApplications().isEmpty());
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(waitUntil([&] { return workspace->isReporting(); }));
    ASSERT_TRUE(session.open(u"weston-editor"_s));
    ASSERT_TRUE(waitUntil([&] { return workspace->frontmostBundleID() == editor; }));

    // Gone with us: a script that reported to nobody would only cost KWin.
    const QString pluginName =
        u"korvalen"_s +
        session.connect(u"workspace"_s).baseService().replace(u':', u'_').replace(u'.', u'_');
    workspace.reset();
    // KWin drops an unloaded script on its next turn.
    const QDBusConnection check = session.connect(u"check"_s);
    EXPECT_TRUE(waitUntil([&] {
        return check
                   .call(QDBusMessage::createMethodCall(u"org.kde.KWin"_s, u"/Scripting"_s,
                                                        u"org.kde.kwin.Scripting"_s,
                                                        u"isScriptLoaded"_s)
                         << pluginName)
                   .arguments()
                   .value(0) == QVariant(false);
    }));
}

TEST_F(KwinBackendsTest, FrontmostFollowsFocusToXwaylandWindows)
{
    auto workspace = makeWorkspace(u"workspace"_s);
    ASSERT_TRUE(waitUntil([&] { return workspace->isReporting(); }));
    ASSERT_TRUE(session.open(u"weston-flower"_s));
    ASSERT_TRUE(waitUntil([&] { return workspace->frontmostBundleID() == flower; }));

    // No entry names the xterm: its WM_CLASS class does, as on X11, though KWin hands scripts the
    // class in lower case.
    ASSERT_TRUE(session.open(u"xterm"_s, {u"-class"_s, u"KorvalenXterm"_s}));
    ASSERT_TRUE(waitUntil([&] { return workspace->frontmostBundleID() != flower; }));
    const auto xterm = workspace->frontmostApplication();
    ASSERT_TRUE(xterm && xterm->bundleID);
    EXPECT_EQ(xterm->bundleID->compare(u"KorvalenXterm"_s, Qt::CaseInsensitive), 0);
    EXPECT_TRUE(xterm->bundlePath.isEmpty());

    ASSERT_TRUE(focus(flower, u"focus-flower"_s));
    ASSERT_TRUE(waitUntil([&] { return workspace->frontmostBundleID() == flower; }));
    ASSERT_TRUE(focus(xterm->bundleID->toLower(), u"focus-xterm"_s));
    ASSERT_TRUE(waitUntil([&] { return workspace->frontmostBundleID() == xterm->bundleID; }));
}

// KWin gives its scripts the class in lower case ("korvalenxterm").
TEST_F(KwinBackendsTest, XwaylandWindowsAreResolvedThroughStartupWMClass)
{
    // Named after neither part of the xterm's WM_CLASS ("xterm", "KorvalenXterm").
    folders.writeApplication(u"applications/org.example.Terminal.desktop"_s, "Terminal",
                             "StartupWMClass=KorvalenXterm\n");
    auto workspace = makeWorkspace(u"workspace"_s);
    ASSERT_TRUE(waitUntil([&] { return workspace->isReporting(); }));
    ASSERT_TRUE(session.open(u"xterm"_s, {u"-class"_s, u"KorvalenXterm"_s}));
    ASSERT_TRUE(waitUntil([&] { return workspace->frontmostApplication().has_value(); }));
    EXPECT_EQ(workspace->frontmostApplication(),
              application(u"org.example.Terminal"_s, u"Terminal"_s));
}

TEST_F(KwinBackendsTest, LayoutsAreListedSwitchedAndFollowed)
{
    KdeKeyboardLayouts layouts(session.connect(u"layouts"_s), u"/nonexistent/kxkbrc"_s);
    QStringList identifiers, names;
    for (const auto& source : layouts.enabledSources()) {
        identifiers.append(layouts.identifier(source).value_or(QString()));
        names.append(layouts.localizedName(source).value_or(QString()));
    }
    EXPECT_EQ(identifiers, (QStringList{u"xkb:us"_s, u"xkb:de(nodeadkeys)"_s}));
    EXPECT_EQ(names, (QStringList{u"English (US)"_s, u"German (no dead keys)"_s}));
    EXPECT_EQ(layouts.identifier(layouts.currentKeyboardSource()), u"xkb:us"_s);

    const auto german = layouts.enabledSources().value(1);
    ASSERT_EQ(layouts.select(german), TextInputSources::selectAccepted);
    ASSERT_TRUE(waitForSourceChange(layouts));
    EXPECT_EQ(layouts.identifier(layouts.currentKeyboardSource()), u"xkb:de(nodeadkeys)"_s);

    // Another client's switch.
    session.connect(u"other"_s)
        .call(QDBusMessage::createMethodCall(u"org.kde.keyboard"_s, u"/Layouts"_s,
                                             u"org.kde.KeyboardLayouts"_s,
                                             u"switchToNextLayout"_s));
    ASSERT_TRUE(waitForSourceChange(layouts));
    EXPECT_EQ(layouts.identifier(layouts.currentKeyboardSource()), u"xkb:us"_s);

    EXPECT_EQ(layouts.select(nullptr), KdeKeyboardLayouts::noSuchLayout);
    ASSERT_TRUE(session.stopCompositor());
    EXPECT_TRUE(waitForSourceChange(layouts));
    EXPECT_TRUE(layouts.enabledSources().isEmpty());
    EXPECT_EQ(layouts.select(german), KdeKeyboardLayouts::noSuchLayout);
}

TEST(KdeKeyboardLayoutsTest, KwinsOwnLayoutMemoryIsReadFromKxkbrc)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"kxkbrc"_s);
    const auto memoryFor = [&](const QByteArray& mode) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Layout]\nLayoutList=us,de\n" + mode);
        file.close();
        return KdeKeyboardLayouts(QDBusConnection(u"none"_s), path).kwinLayoutMemory();
    };
    using Memory = KdeKeyboardLayouts::LayoutMemory;
    EXPECT_EQ(memoryFor(""), Memory::none);
    EXPECT_EQ(memoryFor("SwitchMode=Global\n"), Memory::none);
    EXPECT_EQ(memoryFor("SwitchMode=Desktop\n"), Memory::desktop);
    EXPECT_EQ(memoryFor("SwitchMode=WinClass\n"), Memory::application);
    EXPECT_EQ(memoryFor("SwitchMode=Window\n"), Memory::window);
    EXPECT_FALSE(KdeKeyboardLayouts(QDBusConnection(u"none"_s), path + u"-missing"_s)
                     .fightsOwnLayoutMemory());
}

} // namespace
