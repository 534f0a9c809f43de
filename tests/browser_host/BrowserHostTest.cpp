#include "website/BrowserExtension.h"
#include "website/BrowserTabReport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int waitMilliseconds = 10000;

QByteArray lengthPrefix(quint32 size)
{
    QByteArray prefix(sizeof size, Qt::Uninitialized);
    std::memcpy(prefix.data(), &size, sizeof size);
    return prefix;
}

QByteArray frame(const QByteArray& message)
{
    return lengthPrefix(quint32(message.size())) + message;
}

// The browser's side of the host and Korvalen's, in a runtime folder of the test's own.
class BrowserHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_runtime.isValid()); }

    void TearDown() override
    {
        if (m_host.state() != QProcess::NotRunning) {
            m_host.kill();
            m_host.waitForFinished();
        }
    }

    void listen()
    {
        ASSERT_TRUE(m_korvalen.listen(m_runtime.filePath(u"korvalen-browser.socket"_s)));
        QObject::connect(&m_korvalen, &QLocalServer::newConnection, [this] {
            QLocalSocket* client = m_korvalen.nextPendingConnection();
            m_client = client;
            QObject::connect(client, &QLocalSocket::readyRead, [this, client] {
                while (client->canReadLine())
                    m_lines.append(client->readLine());
            });
        });
    }

    void startHost(const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        m_host.setProcessEnvironment(environment);
        m_host.start(QStringLiteral(KORVALEN_BROWSER_HOST), arguments);
        ASSERT_TRUE(m_host.waitForStarted());
    }

    void startHostForChromium()
    {
        startHost({u"chrome-extension://"_s + BrowserExtension::chromiumId + u'/'});
    }

    void sendToHost(const QByteArray& bytes)
    {
        m_host.write(bytes);
        m_host.waitForBytesWritten();
    }

    // The host's exit code once it has ended by itself, -1 when it does not.
    int exitCodeWhenEnded()
    {
        if (!QTest::qWaitFor([this] { return m_host.state() == QProcess::NotRunning; },
                             waitMilliseconds) ||
            m_host.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_host.exitCode();
    }

    // Closes the port as the browser does.
    int exitCodeAtEndOfInput()
    {
        m_host.closeWriteChannel();
        return exitCodeWhenEnded();
    }

    bool waitForLines(qsizetype count)
    {
        return QTest::qWaitFor([&] { return m_lines.size() >= count; }, waitMilliseconds);
    }

    QByteArrayList m_lines;

    QTemporaryDir m_runtime;
    QLocalServer m_korvalen;
    QLocalSocket* m_client = nullptr;
    QProcess m_host;
};

TEST_F(BrowserHostTest, PassesOnOnlyTheHostsOfWebPagesAndRelaysKorvalensQuestions)
{
    listen();
    startHostForChromium();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_client != nullptr; }, waitMilliseconds));

    const std::pair<const char*, const char*> messages[] = {
        {R"({"type":"tab","reason":"connected","windowId":3,"scheme":"https","host":"example.com"})",
         R"({"host":"example.com","reason":"connected","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"scheme":"http","host":"[::1]",)"
         R"("url":"http://[::1]/account?token=secret"})",
         R"({"host":"[::1]","reason":"updated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"scheme":"file"})",
         R"({"host":null,"reason":"updated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"scheme":"chrome","host":"newtab"})",
         R"({"host":null,"reason":"updated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"scheme":"about"})",
         R"({"host":null,"reason":"updated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"scheme":"data"})",
         R"({"host":null,"reason":"updated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"activated","windowId":3,"scheme":"chrome-extension",)"
         R"("host":"dehodomojilnofilnigojgpgfahfgfag"})",
         R"({"host":null,"reason":"activated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"scheme":"https","host":"Example.com"})",
         R"({"host":null,"reason":"updated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"scheme":"https","host":"a.example/b"})",
         R"({"host":null,"reason":"updated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"scheme":"https","host":"u@a.example"})",
         R"({"host":null,"reason":"updated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"scheme":"https","host":"a example"})",
         R"({"host":null,"reason":"updated","type":"tab","windowId":3})"},
        {R"({"type":"tab","reason":"updated","windowId":3,"host":"example.com"})",
         R"({"host":null,"reason":"updated","type":"tab","windowId":3})"},
        {"{\"type\":\"tab\",", nullptr},
        {R"({"type":"tab","reason":"updated","windowId":"3","scheme":"https","host":"a.b"})",
         nullptr},
        {R"({"type":"query"})", nullptr},
        {R"({"type":"tab","reason":"focusChanged","windowId":-1})",
         R"({"host":null,"reason":"focusChanged","type":"tab","windowId":-1})"},
        {R"({"type":"snapshot","windows":[{"windowId":3,"focused":false,"scheme":"https",)"
         R"("host":"example.com"},{"windowId":4,"focused":true,"scheme":"about"}]})",
         R"({"type":"snapshot","windows":[{"focused":false,"host":"example.com","windowId":3},)"
         R"({"focused":true,"host":null,"windowId":4}]})"},
    };
    QByteArrayList expected;
    for (const auto& [message, line] : messages) {
        sendToHost(frame(message));
        if (line)
            expected.append(QByteArray(line) + '\n');
    }
    ASSERT_TRUE(waitForLines(expected.size()));

    m_client->write(BrowserTabReport::queryLine());
    const QByteArray query = frame(R"({"type":"query"})");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return m_host.bytesAvailable() >= query.size(); }, waitMilliseconds));
    EXPECT_EQ(m_host.readAllStandardOutput(), query);

    EXPECT_EQ(exitCodeAtEndOfInput(), 0);
    EXPECT_EQ(m_lines, expected);
}

TEST_F(BrowserHostTest, StartsOnlyForKorvalensExtension)
{
    const QString chromiumOrigin = u"chrome-extension://"_s + BrowserExtension::chromiumId + u'/';
    const QStringList refused[] = {
        {},
        {u"chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/"_s},
        {chromiumOrigin.chopped(1)},
        {chromiumOrigin, u"--verbose"_s},
        {u"/usr/lib/mozilla/native-messaging-hosts/io.github.korvalen.browser_host.json"_s,
         u"other@example.org"_s},
        {BrowserExtension::firefoxId},
    };
    for (const QStringList& arguments : refused) {
        startHost(arguments);
        EXPECT_TRUE(m_host.waitForFinished(waitMilliseconds));
        EXPECT_EQ(m_host.exitStatus(), QProcess::NormalExit);
        EXPECT_NE(m_host.exitCode(), 0) << arguments.join(u' ').toStdString();
    }

    listen();
    startHost({u"/usr/lib/mozilla/native-messaging-hosts/io.github.korvalen.browser_host.json"_s,
               BrowserExtension::firefoxId});
    sendToHost(frame(R"({"type":"tab","reason":"connected","windowId":1})"));
    EXPECT_TRUE(waitForLines(1));
    EXPECT_EQ(exitCodeAtEndOfInput(), 0);
}

TEST_F(BrowserHostTest, EndsAtAMessageCutShortOrLongerThanTheMaximum)
{
    // The longest message there may be, padded with white space the JSON reader skips.
    const QByteArray report = R"({"type":"tab","reason":"updated","windowId":1})";
    const QByteArray longest = report + QByteArray(64 * 1024 - report.size(), ' ');
    listen();
    startHostForChromium();
    sendToHost(frame(longest));
    EXPECT_TRUE(waitForLines(1)) << "the longest message is read";
    // A longer one ends the host at once, with the browser still connected.
    sendToHost(lengthPrefix(64 * 1024 + 1) + "{");
    EXPECT_EQ(exitCodeWhenEnded(), 1);
    startHostForChromium();
    sendToHost(frame(report) + lengthPrefix(0xffffffff));
    EXPECT_EQ(exitCodeWhenEnded(), 1);
    EXPECT_TRUE(waitForLines(2)) << "what came before the broken message still reaches Korvalen";

    for (const QByteArray& cutShort : {lengthPrefix(100) + report, lengthPrefix(100).first(2)}) {
        startHostForChromium();
        const qsizetype before = m_lines.size();
        sendToHost(frame(report) + cutShort);
        EXPECT_EQ(exitCodeAtEndOfInput(), 1);
        EXPECT_TRUE(waitForLines(before + 1));
    }
}

TEST_F(BrowserHostTest, WaitsForKorvalenAndThenSendsOnlyTheLatestReport)
{
    // The input comes through a named pipe that the test holds open too, so that it sees when the
    // host has read everything.
    const QByteArray fifo = QFile::encodeName(m_runtime.filePath(u"input"_s));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int input = ::open(fifo.constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(input, 0);
    m_host.setStandardInputFile(QFile::decodeName(fifo));
    startHostForChromium();
    const QByteArray frames =
        frame(R"({"type":"tab","reason":"connected","windowId":1,"scheme":"https",)"
              R"("host":"example.com"})") +
        frame(R"({"type":"tab","reason":"activated","windowId":1,"scheme":"https",)"
              R"("host":"example.org"})");
    ASSERT_EQ(::write(input, frames.constData(), frames.size()), frames.size());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            int unread = -1;
            return ::ioctl(input, FIONREAD, &unread) == 0 && unread == 0;
        },
        waitMilliseconds));

    // The host tried Korvalen as it started, before reading anything; it tries again later.
    listen();
    EXPECT_TRUE(waitForLines(1));
    ::close(input);
    EXPECT_EQ(exitCodeAtEndOfInput(), 0);
    EXPECT_EQ(
        m_lines,
        QByteArrayList{R"({"host":"example.org","reason":"activated","type":"tab","windowId":1})"
                       "\n"});
}

TEST(BrowserExtensionFiles, ManifestNamesTheIdsAndHostKorvalenUses)
{
    QFile manifestFile(QStringLiteral(KORVALEN_EXTENSION_DIR "/manifest.json"));
    ASSERT_TRUE(manifestFile.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonObject manifest = QJsonDocument::fromJson(manifestFile.readAll(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();

    // Chromium's ID: the first 128 bits of the SHA-256 of the public key, as letters a to p.
    const QByteArray key = QByteArray::fromBase64(manifest.value(u"key"_s).toString().toLatin1());
    ASSERT_FALSE(key.isEmpty());
    QByteArray id = QCryptographicHash::hash(key, QCryptographicHash::Sha256).first(16).toHex();
    for (char& digit : id)
        digit = char('a' + QByteArray(1, digit).toInt(nullptr, 16));
    EXPECT_EQ(QString::fromLatin1(id), BrowserExtension::chromiumId);

    EXPECT_EQ(manifest[u"browser_specific_settings"_s][u"gecko"_s][u"id"_s].toString(),
              BrowserExtension::firefoxId);

    QFile script(QStringLiteral(KORVALEN_EXTENSION_DIR "/background.js"));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    EXPECT_TRUE(script.readAll().contains('"' + BrowserExtension::nativeHostName.toLatin1() + '"'));
}

} // namespace
