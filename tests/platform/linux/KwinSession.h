#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace korvalen::testing {

// A headless KWin of the test's own on a session bus of its own, run with
// tests/support/kwin-fixture.sh (as an unprivileged user: compositors refuse root), with
// Xwayland and the layouts English (US) and German (no dead keys). The bus outlives a restart of
// KWin. Stopped when destroyed.
class KwinSession {
public:
    explicit KwinSession(QString fixtureScript)
        : m_fixtureScript(std::move(fixtureScript))
    {
        start();
    }
    ~KwinSession() { run({QStringLiteral("stop"), m_folder.path()}); }
    KwinSession(const KwinSession&) = delete;
    KwinSession& operator=(const KwinSession&) = delete;

    bool start() { return run({QStringLiteral("start"), m_folder.path()}); }
    bool stopCompositor() { return run({QStringLiteral("stop-compositor"), m_folder.path()}); }
    // Starts a client of the session, Wayland or X11 (through KWin's Xwayland).
    bool open(const QString& program, const QStringList& arguments = {}) const
    {
        return run(QStringList{QStringLiteral("exec"), m_folder.path(), program} + arguments);
    }

    // A connection of its own to the session's bus, named `name` in this session. The name in
    // the process carries the session's folder: Qt hands back a connection already so named,
    // which would lead to an earlier session's bus.
    QDBusConnection connect(const QString& name) const
    {
        const QString processWideName = m_folder.path() + u'/' + name;
        QFile address(m_folder.filePath(QStringLiteral("bus")));
        if (!address.open(QIODevice::ReadOnly))
            return QDBusConnection(processWideName);
        return QDBusConnection::connectToBus(QString::fromUtf8(address.readAll().trimmed()),
                                             processWideName);
    }

    // Loads and runs a KWin script of the given text; false when KWin did not take it.
    bool runScript(const QString& text, const QString& name) const
    {
        QFile file(m_folder.filePath(name + QStringLiteral(".js")));
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
            return false;
        file.close();
        file.setPermissions(file.permissions() | QFile::ReadOther);
        const QDBusConnection bus = connect(QStringLiteral("korvalen-test-scripts"));
        const QDBusMessage loaded =
            bus.call(QDBusMessage::createMethodCall(
                         QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                         QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("loadScript"))
                     << file.fileName() << name);
        const int id = loaded.arguments().value(0, -1).toInt();
        if (id < 0)
            return false;
        for (const QString& path :
             {QStringLiteral("/Scripting/Script%1").arg(id), QStringLiteral("/%1").arg(id)}) {
            if (bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), path,
                                                        QStringLiteral("org.kde.kwin.Script"),
                                                        QStringLiteral("run")))
                    .type() == QDBusMessage::ReplyMessage)
                return true;
        }
        return false;
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
