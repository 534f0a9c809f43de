#include "website/WebsiteWatcher.h"
#include "platform/sim/SimBrowserScripting.h"
#include "platform/sim/SimWorkspace.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

using namespace korvalen;

namespace {

const QString chrome = QStringLiteral("google-chrome");
const QString chromeName = QStringLiteral("Google Chrome");
const QString chromium = QStringLiteral("chromium");
const QString terminal = QStringLiteral("org.gnome.Terminal");

class WebsiteWatcherTest : public ::testing::Test {
protected:
    SimWorkspace workspace;
    SimBrowserScripting browsers{{{chrome, chromeName}, {chromium, QStringLiteral("Chromium")}}};
    NotificationCenter notifications;
    WebsiteWatcher watcher{workspace, browsers, notifications};
    std::vector<std::optional<QString>> announced;
    Subscription observer =
        notifications.addObserver(WebsiteWatcher::domainDidChangeNotification,
                                  [this] { announced.push_back(watcher.currentDomain()); });

    void showInChrome(const char* url)
    {
        browsers.setTabURL(chromeName, QString::fromUtf8(url));
        workspace.activate(chrome);
    }
};

} // namespace

TEST_F(WebsiteWatcherTest, PollingRunsExactlyWhileWebsiteRulesExist)
{
    EXPECT_FALSE(watcher.isPolling());
    watcher.updatePollingState(true);
    EXPECT_TRUE(watcher.isPolling());
    watcher.updatePollingState(true);
    EXPECT_TRUE(watcher.isPolling());
    watcher.updatePollingState(false);
    EXPECT_FALSE(watcher.isPolling());
}

TEST_F(WebsiteWatcherTest, TheTimerRunsOnlyWhileABrowserIsInFrontAndWebsiteRulesExist)
{
    workspace.activate(terminal);
    watcher.updatePollingState(true);
    EXPECT_FALSE(watcher.isTimerRunning()) << "a terminal has no tab";
    workspace.activate(chromium);
    EXPECT_TRUE(watcher.isTimerRunning());
    workspace.activate(QStringLiteral("firefox"));
    EXPECT_FALSE(watcher.isTimerRunning()) << "a browser not supported is like any application";
    workspace.activate(chrome);
    watcher.updatePollingState(false);
    EXPECT_FALSE(watcher.isTimerRunning());
    watcher.updatePollingState(true);
    EXPECT_TRUE(watcher.isTimerRunning()) << "rules added with a browser already in front";

    workspace.activate(QStringLiteral("firefox"));
    QMap<QString, QString> withFirefox = browsers.supportedBrowsers();
    withFirefox.insert(QStringLiteral("firefox"), QStringLiteral("Firefox"));
    browsers.setSupportedBrowsers(withFirefox);
    browsers.announceTabChange();
    EXPECT_TRUE(watcher.isTimerRunning()) << "its extension connected while it was in front";
}

TEST_F(WebsiteWatcherTest, TimerPollsTheFrontmostBrowserAfterOneInterval)
{
    showInChrome("https://zh.wikipedia.org/wiki/");
    watcher.updatePollingState(true);
    EXPECT_EQ(browsers.requestCount(), 0) << "no immediate poll";

    QEventLoop loop;
    const Subscription quit = notifications.addObserver(WebsiteWatcher::domainDidChangeNotification,
                                                        [&] { loop.quit(); });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(watcher.currentDomain(), QStringLiteral("zh.wikipedia.org"));
}

TEST_F(WebsiteWatcherTest, ATabChangeTheBrowserTellsOfIsTakenAtOnceWhilePolling)
{
    showInChrome("https://github.com/");
    browsers.announceTabChange();
    EXPECT_EQ(browsers.requestCount(), 0) << "no website rules, no questions";

    watcher.updatePollingState(true);
    browsers.announceTabChange();
    EXPECT_EQ(watcher.currentDomain(), QStringLiteral("github.com"));
    browsers.announceTabChange();
    browsers.setTabURL(chromeName, QStringLiteral("https://gitlab.com/"));
    browsers.announceTabChange();
    EXPECT_EQ(announced, (std::vector<std::optional<QString>>{QStringLiteral("github.com"),
                                                              QStringLiteral("gitlab.com")}));
    EXPECT_TRUE(watcher.isPolling()) << "the timer goes on for browsers that tell nothing";
}

TEST_F(WebsiteWatcherTest, AnnouncesOnlyRealChangesWithTheValueAlreadyStored)
{
    watcher.updatePollingState(true);
    showInChrome("https://www.Example.com:8080/a?b#c");
    watcher.poll();
    browsers.setTabURL(chromeName, QStringLiteral("https://www.Example.com/other-tab"));
    watcher.poll();
    browsers.setTabURL(chromeName, QStringLiteral("https://example.com/"));
    watcher.poll();
    EXPECT_EQ(announced, (std::vector<std::optional<QString>>{QStringLiteral("www.Example.com"),
                                                              QStringLiteral("example.com")}));
}

TEST_F(WebsiteWatcherTest, AnActivationAsksAtOnceWhilePolling)
{
    showInChrome("https://github.com/");
    workspace.activate(terminal);
    EXPECT_EQ(browsers.requestCount(), 0) << "no website rules, no questions";

    watcher.updatePollingState(true);
    workspace.activate(chrome);
    EXPECT_EQ(watcher.currentDomain(), QStringLiteral("github.com"));
    workspace.activate(terminal);
    EXPECT_EQ(watcher.currentDomain(), std::nullopt) << "leaving the browser clears it at once";
    watcher.poll();
    workspace.activate(std::nullopt);
    EXPECT_EQ(announced,
              (std::vector<std::optional<QString>>{QStringLiteral("github.com"), std::nullopt}));
    EXPECT_EQ(browsers.requestCount(), 1) << "other applications are not asked";

    // The browser tells of its tab before the workspace has seen it come to the front.
    browsers.setTabURL(chromeName, QStringLiteral("https://gitlab.com/"));
    browsers.announceTabChange();
    workspace.activate(chrome);
    EXPECT_EQ(watcher.currentDomain(), QStringLiteral("gitlab.com"));
}

TEST_F(WebsiteWatcherTest, FailedQueriesCountAsNoDomain)
{
    watcher.updatePollingState(true);
    for (const std::optional<QString>& url :
         {std::optional<QString>(std::nullopt), std::optional(QStringLiteral("not a url")),
          std::optional(QStringLiteral("about:blank"))}) {
        showInChrome("https://github.com/");
        watcher.poll();
        browsers.setTabURL(chromeName, url);
        watcher.poll();
        EXPECT_EQ(watcher.currentDomain(), std::nullopt)
            << url.value_or(QStringLiteral("none")).toStdString();
    }
    EXPECT_EQ(announced.size(), 6u);
}

TEST_F(WebsiteWatcherTest, BrowsersNotListedAreLikeAnyOtherApplication)
{
    watcher.updatePollingState(true);
    workspace.activate(QStringLiteral("firefox"));
    browsers.setTabURL(QStringLiteral("Firefox"), QStringLiteral("https://mozilla.org/"));
    watcher.poll();
    EXPECT_EQ(watcher.currentDomain(), std::nullopt);
    EXPECT_EQ(browsers.requestCount(), 0);
}

TEST_F(WebsiteWatcherTest, StoppingForgetsTheDomainSilentlyAndIgnoresLateAnswers)
{
    watcher.updatePollingState(true);
    showInChrome("https://github.com/");
    watcher.poll();
    announced.clear();

    browsers.holdAnswers();
    browsers.setTabURL(chromeName, QStringLiteral("https://gitlab.com/"));
    watcher.poll();
    watcher.updatePollingState(false);
    EXPECT_EQ(watcher.currentDomain(), std::nullopt);
    watcher.updatePollingState(true);
    browsers.releaseAnswers();
    EXPECT_EQ(watcher.currentDomain(), std::nullopt) << "asked before polling was turned off";
    EXPECT_TRUE(announced.empty());
}

TEST_F(WebsiteWatcherTest, AnAnswerCountsOnlyWhileItsBrowserIsStillInFront)
{
    watcher.updatePollingState(true);
    for (const QString& nowInFront : {terminal, chromium}) {
        browsers.holdAnswers();
        showInChrome("https://github.com/");
        workspace.activate(nowInFront);
        browsers.releaseAnswers();
        EXPECT_EQ(watcher.currentDomain(), std::nullopt) << nowInFront.toStdString();
    }
    EXPECT_TRUE(announced.empty());
}

TEST_F(WebsiteWatcherTest, OnlyTheAnswerToTheLatestQuestionCounts)
{
    watcher.updatePollingState(true);
    for (const auto order :
         {SimBrowserScripting::Order::asked, SimBrowserScripting::Order::newestFirst}) {
        workspace.activate(terminal);
        watcher.poll();
        announced.clear();

        browsers.holdAnswers();
        showInChrome("https://old.example/");
        watcher.poll();
        browsers.setTabURL(chromeName, QStringLiteral("https://new.example/"));
        watcher.poll();
        browsers.releaseAnswers(order);
        EXPECT_EQ(announced, std::vector<std::optional<QString>>{QStringLiteral("new.example")})
            << (order == SimBrowserScripting::Order::asked ? "in order" : "out of order");
    }
}

TEST(WebsiteWatcherLifetime, AnswerArrivingAfterTheWatcherIsGoneIsIgnored)
{
    SimWorkspace workspace;
    SimBrowserScripting browsers{{{chrome, chromeName}}};
    NotificationCenter notifications;
    workspace.activate(chrome);
    browsers.setTabURL(chromeName, QStringLiteral("https://github.com/"));
    browsers.holdAnswers();
    {
        WebsiteWatcher watcher(workspace, browsers, notifications);
        watcher.updatePollingState(true);
        watcher.poll();
    }
    browsers.releaseAnswers(); // must not touch the destroyed watcher (caught by ASan)
    SUCCEED();
}
