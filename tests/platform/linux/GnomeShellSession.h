#pragma once

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace korvalen::testing {

// A headless GNOME Shell of the test's own on a session bus of its own, run with
// tests/support/gnome-shell-fixture.sh (as an unprivileged user: compositors refuse root), with
// Korvalen's extension from the source tree and the input sources English (US) and German (no
// dead keys). The bus outlives a restart of the Shell. Stopped when destroyed.
class GnomeShellSession {
public:
    // The Shell knows the given Wayland app ids from desktop entries it reads as it starts: their
    // windows ("foot --app-id=<id>") get the app id <id>, windows of other ids none.
    explicit GnomeShellSession(QString fixtureScript, const QStringList& applicationIds = {})
        : m_fixtureScript(std::move(fixtureScript))
    {
        const QDir applications(
            m_folder.filePath(QStringLiteral("home/.local/share/applications")));
        applications.mkpath(QStringLiteral("."));
        for (const QString& id : applicationIds) {
            QFile entry(applications.filePath(id + QStringLiteral(".desktop")));
            if (entry.open(QIODevice::WriteOnly))
                entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\n"
                                           "Exec=foot --app-id=%1\n")
                                .arg(id)
                                .toUtf8());
        }
        start();
    }
    ~GnomeShellSession() { run({QStringLiteral("stop"), m_folder.path()}); }
    GnomeShellSession(const GnomeShellSession&) = delete;
    GnomeShellSession& operator=(const GnomeShellSession&) = delete;

    // Returns once the Shell and the extension answer and the overview is closed.
    bool start() { return run({QStringLiteral("start"), m_folder.path()}); }
    bool stopShell() { return run({QStringLiteral("stop-shell"), m_folder.path()}); }
    // Starts a Wayland client of the session, such as foot --app-id=<id>.
    bool open(const QString& program, const QStringList& arguments = {}) const
    {
        return run(QStringList{QStringLiteral("exec"), m_folder.path(), program} + arguments);
    }
    // Gives the focus to the newest window of that class (Wayland: app id), as a click would;
    // false when there is none. Opening a window focuses it as well, closing one passes the
    // focus on.
    bool activate(const QString& windowClass) const
    {
        return run({QStringLiteral("activate"), m_folder.path(), windowClass});
    }

    QString busAddress() const
    {
        QFile address(m_folder.filePath(QStringLiteral("bus")));
        return address.open(QIODevice::ReadOnly) ? QString::fromUtf8(address.readAll().trimmed())
                                                 : QString();
    }

    // A connection of its own to the session's bus, named `name` in this session. The name in
    // the process carries the session's folder: Qt hands back a connection already so named,
    // which would lead to an earlier session's bus.
    QDBusConnection connect(const QString& name) const
    {
        const QString processWideName = m_folder.path() + u'/' + name;
        const QString address = busAddress();
        if (address.isEmpty())
            return QDBusConnection(processWideName);
        return QDBusConnection::connectToBus(address, processWideName);
    }

private:
    bool run(QStringList arguments) const
    {
        return QProcess::execute(QStringLiteral("bash"),
                                 QStringList{m_fixtureScript} + arguments) == 0;
    }

    QString m_fixtureScript;
    QTemporaryDir m_folder;
};

} // namespace korvalen::testing
