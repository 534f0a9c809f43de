#include "platform/linux/ChromiumDevTools.h"
#include "support/ChromiumBrowser.h"
#include "support/LocalWebServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::ChromiumBrowser;
using korvalen::testing::LocalWebServer;

namespace {

const QString chromium = u"Chromium"_s;
// An answer that carries no address, as opposed to no answer at all.
const std::optional<std::optional<QString>> noAddress{std::in_place};

// Asks for the active tab and waits for the answer.
std::optional<std::optional<QString>> askForTab(ChromiumDevTools& devTools)
{
    std::optional<std::optional<QString>> answer;
    devTools.requestCurrentTabURL(chromium,
                                  [&](const std::optional<QString>& url) { answer = url; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000)) << "no answer at all";
    return answer;
}

// A profile folder whose DevToolsActivePort names the given port.
void announcePort(const QTemporaryDir& profile, quint16 port)
{
    QFile file(profile.filePath(u"DevToolsActivePort"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(port) + "\n/devtools/browser/x\n");
}

} // namespace

TEST(ChromiumDevToolsWithARealBrowser, ReportsTheAddressOfTheShownPage)
{
    LocalWebServer site;
    ChromiumBrowser browser(site.url(u"/article?id=7"_s));
    ASSERT_TRUE(browser.waitUntilReady());
    ChromiumDevTools devTools({{u"chromium"_s, chromium, browser.profileFolder()}});

    // The page target may take a moment to show the address after the endpoint is up.
    std::optional<QString> url;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            url = askForTab(devTools).value_or(std::nullopt);
            return url == site.url(u"/article?id=7"_s);
        },
        20000))
        << url.value_or(u"none"_s).toStdString();
}

class ChromiumDevToolsEndpoint : public ::testing::Test {
protected:
    QTemporaryDir profile;
    ChromiumDevTools devTools{{{u"chromium"_s, chromium, profile.path()}}};
};

TEST_F(ChromiumDevToolsEndpoint, TakesTheFirstTargetOfTypePageElseNoAddress)
{
    const std::pair<QByteArray, std::optional<std::optional<QString>>> cases[] = {
        {R"([{"type":"browser_ui","url":"chrome://omnibox/"},
             {"type":"page","url":"https://first.example/"},
             {"type":"page","url":"https://second.example/"}])",
         std::optional(std::optional(u"https://first.example/"_s))},
        {"[]", noAddress},
        {"not json", noAddress},
        {R"({"type":"page","url":"https://a.example/"})", noAddress},
        {R"([{"type":"page","url":7}])", noAddress},
        {R"([{"type":"worker","url":"https://a.example/"}])", noAddress},
    };
    for (const auto& [body, expected] : cases) {
        LocalWebServer endpoint(body);
        announcePort(profile, endpoint.port());
        EXPECT_EQ(askForTab(devTools), expected) << body.toStdString();
    }
}

TEST_F(ChromiumDevToolsEndpoint, HungOrMissingEndpointGivesNoAddressWithoutHoldingTheCaller)
{
    LocalWebServer hung({}, LocalWebServer::Behaviour::mute);
    announcePort(profile, hung.port());
    std::optional<std::optional<QString>> answer;
    devTools.requestCurrentTabURL(chromium,
                                  [&](const std::optional<QString>& url) { answer = url; });
    EXPECT_FALSE(answer.has_value()) << "the request returns before the browser answers";
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000));
    EXPECT_EQ(*answer, std::nullopt);

    quint16 freePort = 0;
    {
        LocalWebServer gone;
        freePort = gone.port();
    }
    announcePort(profile, freePort);
    EXPECT_EQ(askForTab(devTools), noAddress);
}

TEST_F(ChromiumDevToolsEndpoint, UnknownBrowserGivesNoAddress)
{
    std::optional<std::optional<QString>> answer;
    devTools.requestCurrentTabURL(u"Google Chrome"_s,
                                  [&](const std::optional<QString>& url) { answer = url; });
    EXPECT_EQ(answer, noAddress);
}
