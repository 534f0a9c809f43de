#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace korvalen::testing {

// A fcitx5 daemon of the test's own on the session bus, with its configuration in a temporary
// folder: one input method group, "Default", holding the given input methods, and only the
// addons that the bus interface needs (dbus, keyboard, dbusfrontend) plus the ones asked for. It
// has no display to show anything on. Ended when destroyed, and by the system when the test
// process dies.
class Fcitx5Daemon {
public:
    explicit Fcitx5Daemon(QStringList inputMethods = {"keyboard-us", "keyboard-ru", "keyboard-de"},
                          QStringList extraAddons = {});
    ~Fcitx5Daemon();
    Fcitx5Daemon(const Fcitx5Daemon&) = delete;
    Fcitx5Daemon& operator=(const Fcitx5Daemon&) = delete;

    // Starts the daemon (ending one still running) and waits until it answers on the bus; false
    // when it did not in time.
    bool start();
    // Ends the daemon and waits until its name has left the bus.
    void stop();
    // Stops and continues the process, as a daemon that hangs and recovers.
    void pause();
    void resume();

    void setInputMethods(QStringList inputMethods) { m_inputMethods = std::move(inputMethods); }
    // What the daemon wrote, for failure messages.
    QString log() const;

private:
    void writeProfile() const;

    QStringList m_inputMethods;
    QStringList m_addons;
    QTemporaryDir m_home;
    QProcess m_process;
    bool m_paused = false;
};

} // namespace korvalen::testing
