#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korvalen::testing {

// A session of the tests' own for IBus: IBus's files and the settings (GSettings in a key file)
// in a temporary home, the user's engines set there, no display and no other IBus daemon's
// address in the environment, and a session bus from dbus-run-session. A global test environment,
// since GLib keeps the folders it read first for the life of the process.
class IbusSession : public ::testing::Environment {
public:
    // The engines as GSettings writes a list: "['xkb:us::eng', 'xkb:ru::rus']".
    explicit IbusSession(QString preloadEngines)
        : m_preloadEngines(std::move(preloadEngines))
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        ASSERT_TRUE(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
            << "these tests run inside dbus-run-session";
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache"))));
        qputenv("GSETTINGS_BACKEND", "keyfile");
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "IBUS_ADDRESS", "IBUS_ADDRESS_FILE"})
            qunsetenv(name);
        ASSERT_TRUE(setSetting(QStringLiteral("org.freedesktop.ibus.general"),
                               QStringLiteral("preload-engines"), m_preloadEngines));
    }

    // Where the daemon writes its address files.
    static QString busFolder()
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ibus/bus");
    }

    // Changes a setting the way the desktop's tools do, from another process.
    static bool setSetting(const QString& schema, const QString& key, const QString& value)
    {
        return QProcess::execute(QStringLiteral("gsettings"),
                                 {QStringLiteral("set"), schema, key, value}) == 0;
    }
    static bool resetSetting(const QString& schema, const QString& key)
    {
        return QProcess::execute(QStringLiteral("gsettings"),
                                 {QStringLiteral("reset"), schema, key}) == 0;
    }

private:
    QString m_preloadEngines;
    QTemporaryDir m_home;
};

} // namespace korvalen::testing
