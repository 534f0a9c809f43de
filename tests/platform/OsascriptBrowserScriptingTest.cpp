#include "platform/OsascriptBrowserScripting.h"
#include "support/TemporaryFolder.h"

#include <QFile>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <signal.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::TemporaryFolder;

namespace {

const QString chrome = u"Google Chrome"_s;

// None: no answer at all; an answer may carry no address.
using Answer = std::optional<std::optional<QString>>;
const Answer noAddress{std::in_place};

// osascript as a shell script: it notes its arguments, one to a line, and then does `body`.
class OsascriptStandIn : public ::testing::Test {
protected:
    TemporaryFolder folder;
    const QString arguments = folder.path(u"arguments"_s);

    OsascriptBrowserScripting scripting(const QByteArray& body) const
    {
        const QString program =
            folder.write(u"osascript"_s, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" +
                                             QFile::encodeName(arguments) + "'\n" + body + "\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        return OsascriptBrowserScripting({{u"com.google.Chrome"_s, chrome}}, program);
    }

    static Answer ask(OsascriptBrowserScripting& scripting)
    {
        Answer answer;
        scripting.requestCurrentTabURL(chrome,
                                       [&](const std::optional<QString>& url) { answer = url; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000)) << "no answer";
        return answer;
    }

    QStringList runs() const
    {
        QFile file(arguments);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
};

} // namespace

TEST_F(OsascriptStandIn, AsksTheBrowserByNameAndTakesTextResultsAsPrinted)
{
    auto asked = scripting(R"(printf '"https://example.org/a?q=1#top"\n')");
    EXPECT_EQ(ask(asked), Answer(u"https://example.org/a?q=1#top"_s));
    const QStringList expected{u"-s"_s, u"s"_s,
                               u"-e"_s, u"tell application \"Google Chrome\""_s,
                               u"-e"_s, u"    if (count of windows) > 0 then"_s,
                               u"-e"_s, u"        get URL of active tab of front window"_s,
                               u"-e"_s, u"    end if"_s,
                               u"-e"_s, u"end tell"_s};
    EXPECT_EQ(runs(), expected);

    auto escaped = scripting(R"(printf '"https://例子.中国/\\"x\\\\y"\n')");
    EXPECT_EQ(ask(escaped), Answer(u"https://例子.中国/\"x\\y"_s));
}

TEST_F(OsascriptStandIn, AnythingButATextResultIsNoAddress)
{
    const QByteArray bodies[] = {
        "",                     // a browser without windows: no value
        "echo 'missing value'", // a value, but not a text
        R"(echo '{"https://a.example/", "https://b.example/"}')", // a list
        R"(printf '"https://example.org/')",                      // a text that never ends
        R"(printf '"https://example.org/"\n'; exit 1)",           // an error, whatever was printed
        "echo 'execution error: Not authorized to send Apple events (-1743)' >&2; exit 1",
    };
    for (const QByteArray& body : bodies) {
        auto scriptingWith = scripting(body);
        EXPECT_EQ(ask(scriptingWith), noAddress) << body.constData();
    }
    OsascriptBrowserScripting missing({{u"com.google.Chrome"_s, chrome}},
                                      folder.path(u"no-such-program"_s));
    EXPECT_EQ(ask(missing), noAddress);
}

TEST_F(OsascriptStandIn, AHungBrowserIsAskedOnceAndGivenUpAtTheDeadline)
{
    const QString pidFile = folder.path(u"pid"_s);
    auto hung = scripting("echo $$ > '" + QFile::encodeName(pidFile) + "'\nexec sleep 60");
    Answer first;
    Answer second;
    hung.requestCurrentTabURL(chrome, [&](const std::optional<QString>& url) { first = url; });
    hung.requestCurrentTabURL(chrome, [&](const std::optional<QString>& url) { second = url; });
    EXPECT_FALSE(first) << "the question is answered later, not inside the call";
    ASSERT_TRUE(QTest::qWaitFor([&] { return first && second; }, 10000)) << "never given up";
    EXPECT_EQ(first, noAddress);
    EXPECT_EQ(second, noAddress);
    EXPECT_EQ(runs().count(u"-e"_s), 5) << "one run serves both questions";

    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    EXPECT_NE(::kill(pid.readAll().trimmed().toInt(), 0), 0) << "the run was killed, not left";
}
