#pragma once

#include <QProcess>
#include <QTemporaryDir>

namespace korvalen::testing {

// A headless sway of the test's own, run with tests/support/sway-fixture.sh (as an unprivileged
// user: compositors refuse root), with a virtual keyboard whose layouts are English (US) and
// German (no dead keys). Its sockets stay at one path each across restarts. Stopped when destroyed.
class SwaySession {
public:
    SwaySession(QString fixtureScript, QString virtualKeyboard)
        : m_fixtureScript(std::move(fixtureScript))
        , m_virtualKeyboard(std::move(virtualKeyboard))
    {
        start();
    }
    ~SwaySession() { stop(); }
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    QString socketPath() const { return m_folder.filePath(QStringLiteral("swaysock")); }
    // For WAYLAND_DISPLAY, which takes an absolute path as well as a name.
    QString waylandDisplay() const { return m_folder.filePath(QStringLiteral("wayland")); }

    bool start() { return run({QStringLiteral("start"), m_folder.path(), m_virtualKeyboard}); }
    bool stop() { return run({QStringLiteral("stop"), m_folder.path()}); }

    // Runs a sway command, as swaymsg takes it: "exec foot", "[app_id=a] focus".
    bool command(const QString& text) const
    {
        return QProcess::execute(
                   QStringLiteral("swaymsg"),
                   {QStringLiteral("-q"), QStringLiteral("-s"), socketPath(), text}) == 0;
    }

private:
    bool run(QStringList arguments) const
    {
        return QProcess::execute(QStringLiteral("bash"),
                                 QStringList{m_fixtureScript} + arguments) == 0;
    }

    QString m_fixtureScript;
    QString m_virtualKeyboard;
    QTemporaryDir m_folder;
};

} // namespace korvalen::testing
