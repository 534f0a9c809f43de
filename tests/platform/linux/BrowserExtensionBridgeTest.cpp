#include "platform/linux/BrowserExtensionBridge.h"
#include "platform/linux/ExtensionFirstBrowserScripting.h"
#include "platform/linux/PeerProcess.h"
#include "platform/sim/SimBrowserScripting.h"
#include "support/FakeWindowManager.h"
#include "support/XvncServer.h"
#include "website/BrowserTabReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::FakeWindowManager;
using korvalen::testing::XvncServer;

namespace {

const QString firefox = u"Firefox ESR"_s;
// What the fallback answers, so that a test tells it from the extension's answers.
const QString fromFallback = u"https://devtools.example/"_s;

// None: no answer at all; an answer may carry no address.
using Answer = std::optional<std::optional<QString>>;
const Answer noAddress{std::in_place};
Answer address(const QString& url)
{
    return Answer(std::in_place, url);
}

QByteArray tabReport(const char* host, int windowId = 7)
{
    BrowserTabReport report;
    report.reason = u"activated"_s;
    report.windows = {
        {windowId, windowId != -1, host ? std::optional(QString::fromLatin1(host)) : std::nullopt}};
    return report.toJsonLine();
}

qint64 thisProcess()
{
    return QCoreApplication::applicationPid();
}

} // namespace

// Korvalen's browser backend on a socket of the test's own, with fake native messaging hosts run
// as child processes and browser windows on the shared X server. A host started directly plays
// the host of a browser that is this test process; one started "--in-child" plays the host of a
// browser that is the fake host's own first process.
class BrowserExtensionBridgeTest : public ::testing::Test {
protected:
    using Window = FakeWindowManager::Window;

    void SetUp() override
    {
        const QByteArray display = XvncServer::displayStartedIn(QStringLiteral(KORVALEN_XVNC_DIR));
        ASSERT_FALSE(display.isEmpty()) << "no Xvnc server";
        windowManager.emplace(display);
        ASSERT_TRUE(windowManager->isConnected());
        auto fallback = std::make_unique<SimBrowserScripting>(
            QMap<QString, QString>{{u"firefox-esr"_s, firefox}});
        fallback->setTabURL(firefox, fromFallback);
        auto extension = std::make_unique<BrowserExtensionBridge>(socketPath());
        bridge = extension.get();
        ASSERT_TRUE(bridge->isListening());
        auto activeWindow = std::make_shared<X11ActiveWindow>(display);
        browsers.emplace(std::move(extension), std::move(fallback), QMap<QString, QString>{},
                         [activeWindow] { return activeWindow->read(); });
        pushes = browsers->subscribeToTabChanges([this] { ++pushCount; });
    }

    // Hosts end as the browser ends them: their input closes.
    void TearDown() override
    {
        for (const auto& host : hosts) {
            host->closeWriteChannel();
            host->waitForFinished(10000);
        }
    }

    QString socketPath() const { return folder.filePath(u"korvalen-browser.socket"_s); }

    QProcess& startHost(const QStringList& options = {})
    {
        QProcess& host = *hosts.emplace_back(std::make_unique<QProcess>());
        host.start(QStringLiteral(KORVALEN_FAKE_BROWSER_HOST), QStringList{socketPath()} + options);
        EXPECT_TRUE(host.waitForStarted());
        return host;
    }

    // A started host, once the bridge has taken its connection.
    QProcess& connectedHost(bool inChild = false)
    {
        QProcess& host = startHost(inChild ? QStringList{u"--in-child"_s} : QStringList{});
        const qint64 browser = inChild ? host.processId() : thisProcess();
        EXPECT_TRUE(QTest::qWaitFor([&] { return bridge->isConnectedTo(browser); }, 10000));
        return host;
    }

    void report(QProcess& host, const QByteArray& line)
    {
        const int before = pushCount;
        host.write(line);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pushCount > before; }, 10000))
            << line.toStdString();
    }

    // Brings a window of the browser process to the front.
    void bringToFront(qint64 browserProcessID)
    {
        const Window window = windowManager->createWindow("Navigator", "firefox-esr");
        windowManager->setCardinal(window, "_NET_WM_PID", (unsigned long)browserProcessID);
        windowManager->activate(window);
    }

    Answer askForTab()
    {
        Answer answer;
        browsers->requestCurrentTabURL(firefox,
                                       [&](const std::optional<QString>& url) { answer = url; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000)) << "no answer";
        return answer;
    }

    static bool waitUntilEnded(QProcess& host)
    {
        return QTest::qWaitFor([&] { return host.state() == QProcess::NotRunning; }, 10000);
    }

    QTemporaryDir folder;
    std::optional<FakeWindowManager> windowManager;
    BrowserExtensionBridge* bridge = nullptr;
    std::optional<ExtensionFirstBrowserScripting> browsers;
    int pushCount = 0;
    Subscription pushes;
    std::vector<std::unique_ptr<QProcess>> hosts;
};

TEST_F(BrowserExtensionBridgeTest, TheFrontBrowsersLatestReportAnswersAndEachReportTellsOfIt)
{
    QProcess& host = connectedHost();
    bringToFront(thisProcess());
    const std::pair<QByteArray, Answer> cases[] = {
        {tabReport("example.com"), address(u"https://example.com/"_s)},
        {R"({"type":"snapshot","windows":[{"windowId":3,"focused":false,"host":"a.example"},)"
         R"({"windowId":7,"focused":true,"host":"[::1]"}]})"
         "\n",
         address(u"https://[::1]/"_s)},
        // The extension's own "no web page" and "no window focused" are answers, not gaps.
        {tabReport(nullptr), noAddress},
        {tabReport(nullptr, -1), noAddress},
        {R"({"type":"snapshot","windows":[]})"
         "\n",
         noAddress},
    };
    for (const auto& [line, expected] : cases) {
        report(host, line);
        EXPECT_EQ(askForTab(), expected) << line.toStdString();
    }
}

TEST_F(BrowserExtensionBridgeTest, EachBrowserIsAnsweredForByItsOwnHostOnly)
{
    QProcess& ours = connectedHost();
    QProcess& other = connectedHost(true);
    report(ours, tabReport("ours.example"));
    report(other, tabReport("other.example"));

    bringToFront(thisProcess());
    EXPECT_EQ(askForTab(), address(u"https://ours.example/"_s));
    bringToFront(other.processId());
    EXPECT_EQ(askForTab(), address(u"https://other.example/"_s));
    // A browser without a host (Chromium over DevTools, say): the fallback.
    bringToFront(getppid());
    EXPECT_EQ(askForTab(), address(fromFallback));
}

TEST_F(BrowserExtensionBridgeTest, BeforeAnyReportTheHostIsAskedForASnapshotButNotWaitedForLong)
{
    QProcess& host = connectedHost();
    bringToFront(thisProcess());
    Answer answer;
    browsers->requestCurrentTabURL(firefox,
                                   [&](const std::optional<QString>& url) { answer = url; });
    EXPECT_FALSE(answer.has_value()) << "the question returns before the host answers";
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.canReadLine(); }, 10000));
    EXPECT_EQ(host.readLine(), BrowserTabReport::queryLine());
    host.write(R"({"type":"snapshot","windows":[{"windowId":1,"focused":true,"host":"q.example"}]})"
               "\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000));
    EXPECT_EQ(answer, address(u"https://q.example/"_s));

    QProcess& silent = connectedHost(true);
    bringToFront(silent.processId());
    EXPECT_EQ(askForTab(), noAddress);
}

TEST_F(BrowserExtensionBridgeTest, LinesThatAreNoReportsArePassedOverAndAFloodIsCutOff)
{
    QProcess& host = connectedHost();
    bringToFront(thisProcess());
    report(host, tabReport("before.example"));
    host.write("not json\n{\"type\":\"tab\"}\n" + tabReport("Upper.Example") +
               R"({"type":"query"})"
               "\n");
    report(host, tabReport("after.example"));
    EXPECT_EQ(askForTab(), address(u"https://after.example/"_s));
    EXPECT_EQ(pushCount, 2) << "lines that are no reports tell of nothing";

    host.write(QByteArray(BrowserHostConnection::maximumLineLength + 1, 'x'));
    ASSERT_TRUE(waitUntilEnded(host));
    EXPECT_EQ(host.exitCode(), 1) << "closed by Korvalen";
    EXPECT_EQ(askForTab(), address(fromFallback));
}

TEST_F(BrowserExtensionBridgeTest, AHostThatGoesAwayLeavesTheBrowserToTheFallback)
{
    QProcess& host = connectedHost();
    bringToFront(thisProcess());
    Answer pending;
    browsers->requestCurrentTabURL(firefox,
                                   [&](const std::optional<QString>& url) { pending = url; });
    host.closeWriteChannel();
    ASSERT_TRUE(waitUntilEnded(host));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pending.has_value(); }, 10000));
    EXPECT_EQ(pending, noAddress);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bridge->isConnectedTo(thisProcess()); }, 10000));
    EXPECT_EQ(askForTab(), address(fromFallback));
}

TEST_F(BrowserExtensionBridgeTest, AHostOfAnotherUserIsRefused)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "only root can start a host as another user";
    // Let the other user reach the socket, as root could anyway.
    const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(folder.path(), everyone));
    ASSERT_TRUE(QFile::setPermissions(socketPath(), everyone));

    QProcess& host = startHost({u"--as-user"_s, u"65534"_s});
    bringToFront(thisProcess());
    host.write(tabReport("intruder.example"));
    ASSERT_TRUE(waitUntilEnded(host));
    EXPECT_EQ(host.exitCode(), 1) << "connected, then closed by Korvalen";
    EXPECT_FALSE(bridge->isConnectedTo(thisProcess()));
    EXPECT_EQ(pushCount, 0);
    EXPECT_EQ(askForTab(), address(fromFallback));
}

TEST_F(BrowserExtensionBridgeTest, ASocketLeftBehindIsTakenOverButOneInUseIsLeftAlone)
{
    {
        BrowserExtensionBridge second(socketPath());
        EXPECT_FALSE(second.isListening());
    }
    connectedHost(); // the first one still listens

    const QString stalePath = folder.filePath(u"stale.socket"_s);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(stalePath).constData(), sizeof address.sun_path);
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
    ASSERT_TRUE(QFile::exists(stalePath));
    EXPECT_TRUE(BrowserExtensionBridge(stalePath).isListening());
}

TEST(PeerProcess, ParentIsReadPastANameWithSpacesAndParentheses)
{
    EXPECT_EQ(PeerProcess::parentOf(thisProcess()), qint64(::getppid()));

    QTemporaryDir proc;
    ASSERT_TRUE(QDir(proc.path()).mkpath(u"42"_s));
    QFile stat(proc.filePath(u"42/stat"_s));
    ASSERT_TRUE(stat.open(QIODevice::WriteOnly));
    stat.write("42 (Web Content) 9 (x) S 17 42 42 0 -1 4194560\n");
    stat.close();
    EXPECT_EQ(PeerProcess::parentOf(42, proc.path()), 17);
    EXPECT_EQ(PeerProcess::parentOf(43, proc.path()), std::nullopt) << "ended";
}
