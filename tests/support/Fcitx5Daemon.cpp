#include "support/Fcitx5Daemon.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

using namespace Qt::Literals::StringLiterals;

namespace korvalen::testing {

namespace {

const QString serviceName = u"org.fcitx.Fcitx5"_s;

// Whether the daemon's name belongs to the process; asked of the bus, never of a daemon.
bool nameIsOwnedBy(qint64 processID)
{
    const QDBusReply<uint> owner =
        QDBusConnection::sessionBus().interface()->servicePid(serviceName);
    return owner.isValid() && owner.value() == processID;
}

} // namespace

Fcitx5Daemon::Fcitx5Daemon(QStringList inputMethods, QStringList extraAddons)
    : m_inputMethods(std::move(inputMethods))
    , m_addons(QStringList{u"dbus"_s, u"keyboard"_s, u"dbusfrontend"_s} + extraAddons)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
    environment.insert(u"XDG_DATA_HOME"_s, m_home.filePath(u"data"_s));
    environment.insert(u"XDG_CACHE_HOME"_s, m_home.filePath(u"cache"_s));
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    m_process.setProcessEnvironment(environment);
    m_process.setProgram(u"fcitx5"_s);
    m_process.setArguments({u"--disable=all"_s, u"--enable="_s + m_addons.join(u','), u"-r"_s});
    m_process.setStandardOutputFile(m_home.filePath(u"fcitx5.log"_s));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A test that crashes must not leave a daemon behind on the next test's bus.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

Fcitx5Daemon::~Fcitx5Daemon()
{
    stop();
}

void Fcitx5Daemon::writeProfile() const
{
    QDir(m_home.path()).mkpath(u"config/fcitx5"_s);
    QFile profile(m_home.filePath(u"config/fcitx5/profile"_s));
    if (!profile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QByteArray text = "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=" +
                      m_inputMethods.value(0).toUtf8() + "\n\n";
    for (qsizetype index = 0; index < m_inputMethods.size(); ++index)
        text += "[Groups/0/Items/" + QByteArray::number(index) +
                "]\nName=" + m_inputMethods.at(index).toUtf8() + "\nLayout=\n\n";
    text += "[GroupOrder]\n0=Default\n";
    profile.write(text);
}

bool Fcitx5Daemon::start()
{
    stop();
    writeProfile();
    m_process.start();
    if (!m_process.waitForStarted())
        return false;
    const qint64 processID = m_process.processId();
    if (!QTest::qWaitFor(
            [&] { return nameIsOwnedBy(processID) || m_process.state() == QProcess::NotRunning; },
            10000) ||
        m_process.state() != QProcess::Running)
        return false;
    // The daemon answers once it has loaded its addons, after it took the name.
    QDBusMessage request = QDBusMessage::createMethodCall(serviceName, u"/controller"_s,
                                                          u"org.fcitx.Fcitx.Controller1"_s,
                                                          u"CurrentInputMethodGroup"_s);
    request.setAutoStartService(false);
    return QDBusConnection::sessionBus().call(request, QDBus::Block, 10000).type() ==
           QDBusMessage::ReplyMessage;
}

void Fcitx5Daemon::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    resume();
    const qint64 processID = m_process.processId();
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished();
    // A name left behind shows in the test that goes on to look for the daemon.
    (void)QTest::qWaitFor([&] { return !nameIsOwnedBy(processID); }, 5000);
}

void Fcitx5Daemon::pause()
{
    if (m_process.state() == QProcess::Running && !m_paused)
        m_paused = ::kill(pid_t(m_process.processId()), SIGSTOP) == 0;
}

void Fcitx5Daemon::resume()
{
    if (m_paused)
        ::kill(pid_t(m_process.processId()), SIGCONT);
    m_paused = false;
}

QString Fcitx5Daemon::log() const
{
    QFile file(m_home.filePath(u"fcitx5.log"_s));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace korvalen::testing
