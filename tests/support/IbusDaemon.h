#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <signal.h>
#include <sys/prctl.h>

namespace korvalen::testing {

// A real ibus-daemon, without panel, config program or emoji extension, started in the test's
// environment: its address file lands where that environment puts IBus's, and it connects to the
// test's session bus. Ended (continued first, should it be paused) when dropped, also when the
// test failed.
class IbusDaemon {
public:
    // Starts the daemon and waits until it wrote its address to a file in the folder.
    explicit IbusDaemon(const QString& addressFolder)
        : m_addressFolder(addressFolder)
    {
        m_process.setProgram(QStringLiteral("ibus-daemon"));
        m_process.setArguments({QStringLiteral("--panel=disable"),
                                QStringLiteral("--emoji-extension=disable"),
                                QStringLiteral("--config=disable")});
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        // Also when the test process itself is killed, say after hanging on a stopped daemon.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start();
        // isReady() tells how it went.
        if (m_process.waitForStarted())
            static_cast<void>(
                QTest::qWaitFor([this] { return !readAddress().isEmpty() || !isAlive(); }, 10000));
    }
    ~IbusDaemon() { stop(); }
    IbusDaemon(const IbusDaemon&) = delete;
    IbusDaemon& operator=(const IbusDaemon&) = delete;

    // Whether it runs and told where it listens.
    bool isReady() { return isAlive() && !address().isEmpty(); }
    qint64 pid() const { return m_process.processId(); }
    // The address from its address file.
    QString address()
    {
        if (m_address.isEmpty())
            m_address = readAddress();
        return m_address;
    }

    // Stops and continues the process, as a daemon that hangs and recovers.
    void pause() { ::kill(pid_t(pid()), SIGSTOP); }
    void resume() { ::kill(pid_t(pid()), SIGCONT); }

    // Ends it at once, leaving its address file behind, as a crash does.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished();
    }
    // Ends it as a session does.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        resume();
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            kill();
    }

    // Another client of the daemon makes the engine the global one; true when the daemon took
    // it. (The `ibus engine` tool would also set the X keyboard layout, which needs a display.)
    bool setGlobalEngine(const QString& engine)
    {
        QProcess client;
        client.setStandardOutputFile(QProcess::nullDevice());
        client.start(QStringLiteral("gdbus"),
                     {QStringLiteral("call"), QStringLiteral("--address"), address(),
                      QStringLiteral("--dest"), QStringLiteral("org.freedesktop.IBus"),
                      QStringLiteral("--object-path"), QStringLiteral("/org/freedesktop/IBus"),
                      QStringLiteral("--method"),
                      QStringLiteral("org.freedesktop.IBus.SetGlobalEngine"), engine});
        return client.waitForFinished() && client.exitStatus() == QProcess::NormalExit &&
               client.exitCode() == 0;
    }
    // The global engine as the `ibus` tool reads it; empty when none.
    static QString globalEngine()
    {
        QProcess tool;
        tool.start(QStringLiteral("ibus"), {QStringLiteral("engine")});
        tool.waitForFinished();
        return tool.exitCode() == 0 ? QString::fromUtf8(tool.readAllStandardOutput().trimmed())
                                    : QString();
    }

private:
    bool isAlive() const { return m_process.state() == QProcess::Running; }

    // The address in a file of the folder that names this process.
    QString readAddress() const
    {
        const QByteArray pidLine = "IBUS_DAEMON_PID=" + QByteArray::number(pid());
        const QDir folder(m_addressFolder);
        for (const QString& name : folder.entryList(QDir::Files)) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QList<QByteArray> lines = file.readAll().split('\n');
            if (!lines.contains(pidLine))
                continue;
            for (const QByteArray& line : lines) {
                if (line.startsWith("IBUS_ADDRESS="))
                    return QString::fromUtf8(line.mid(int(qstrlen("IBUS_ADDRESS="))));
            }
        }
        return {};
    }

    QString m_addressFolder;
    QProcess m_process;
    QString m_address;
};

} // namespace korvalen::testing
