#include "app/SingleInstance.h"
#include "support/TemporaryFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace korvalen;
using namespace korvalen::testing;
using namespace Qt::Literals::StringLiterals;
using Message = SingleInstance::Message;
using Outcome = SingleInstance::Outcome;

namespace {

// The first Korvalen, listening on a thread of its own as it would in its own process: a later
// instance waits for its answer, which the first gives from its own event loop.
class FirstInstance {
public:
    explicit FirstInstance(const QString& socketPath)
        : m_instance(new SingleInstance(socketPath))
    {
        m_instance->moveToThread(&m_thread);
        QObject::connect(
            m_instance, &SingleInstance::messageReceived, m_instance,
            [this](Message message) { ++(message == Message::quit ? quits : shows); },
            Qt::DirectConnection);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_instance, [this] { outcome = m_instance->claimOrDeliver(Message::showRulesWindow); },
            Qt::BlockingQueuedConnection);
    }

    ~FirstInstance()
    {
        // Deleted on its own thread, as the thread ends.
        m_instance->deleteLater();
        m_thread.quit();
        m_thread.wait();
    }

    Outcome outcome = Outcome::failed;
    std::atomic<int> shows = 0;
    std::atomic<int> quits = 0;

private:
    QThread m_thread;
    SingleInstance* m_instance;
};

// A socket file left behind by a process that ended without removing it: nobody listens.
bool leaveStaleSocket(const QString& path)
{
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::copy(name.begin(), name.end(), address.sun_path);
    const bool bound =
        ::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(descriptor);
    return bound && QFileInfo::exists(path);
}

} // namespace

TEST(SingleInstance, TheSecondHandsItsRequestToTheFirstAndEnds)
{
    TemporaryFolder folder;
    const QString path = folder.path(u"korvalen.socket"_s);
    FirstInstance first(path);
    ASSERT_EQ(first.outcome, Outcome::primary);

    SingleInstance second(path);
    EXPECT_EQ(second.claimOrDeliver(Message::showRulesWindow), Outcome::delivered);
    EXPECT_EQ(first.shows, 1);
    EXPECT_EQ(SingleInstance(path).deliver(Message::quit), Outcome::delivered);
    EXPECT_EQ(first.quits, 1);
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::WriteOther), 0)
        << "only its user may reach it";
}

TEST(SingleInstance, NobodyToAskAndAStaleSocketTakenOver)
{
    TemporaryFolder folder;
    const QString path = folder.path(u"korvalen.socket"_s);
    EXPECT_EQ(SingleInstance(path).deliver(Message::quit), Outcome::failed);

    ASSERT_TRUE(leaveStaleSocket(path));
    SingleInstance restarted(path);
    EXPECT_EQ(restarted.claimOrDeliver(Message::showRulesWindow), Outcome::primary);
}

TEST(SingleInstance, AnotherUsersSocketIsNeverUsedNorRemoved)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    TemporaryFolder folder;
    const QString path = folder.path(u"korvalen.socket"_s);
    ASSERT_TRUE(leaveStaleSocket(path));
    constexpr uid_t nobody = 65534;
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), nobody, nobody), 0);

    EXPECT_EQ(SingleInstance(path).claimOrDeliver(Message::showRulesWindow), Outcome::failed);
    EXPECT_EQ(SingleInstance(path).deliver(Message::quit), Outcome::failed);
    EXPECT_EQ(QFileInfo(path).ownerId(), nobody) << "left as it was";
}
