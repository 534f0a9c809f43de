#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>

#include <optional>

namespace korvalen {

// What GNOME Shell itself offers for managing extensions on the session bus
// (org.gnome.Shell.Extensions), for a command run from a terminal: each call waits a bounded
// while, and once the Shell let one run out the others are not made.
class GnomeExtensionCalls {
public:
    // Longer than the interface's bound (BoundedDBusCalls): enabling runs the extension's own
    // code inside the Shell, and nothing waits on the reply but the person who asked.
    static constexpr int callTimeoutMs = 1000;

    // The Shell's own numbers for an extension's state.
    enum State { enabled = 1, disabled = 2, error = 3, outOfDate = 4, initialized = 6 };

    struct ExtensionInfo {
        std::optional<int> state; // none when the Shell knows no extension of that name
        QString error;
    };

    explicit GnomeExtensionCalls(QDBusConnection bus);

    // Whether the Shell holds its name on the bus; the bus itself answers, at once.
    bool isShellRunning() const;
    // "43.9"; empty when the Shell does not run or answer.
    QString shellVersion();
    // Whether the Shell did it; none when it did not answer. The Shell enables only extensions
    // it found when it started.
    std::optional<bool> enable(const QString& uuid);
    std::optional<bool> disable(const QString& uuid);
    std::optional<ExtensionInfo> info(const QString& uuid);

private:
    std::optional<QList<QVariant>> call(const QString& interface, const QString& method,
                                        const QList<QVariant>& arguments);
    std::optional<bool> answer(const QString& method, const QString& uuid);

    QDBusConnection m_bus;
    bool m_ranOut = false;
};

} // namespace korvalen
