#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace korvalen::testing {

// A connection to the session bus of the test's own, as another program would have; closed when
// destroyed, which ends whatever the daemon keeps for it.
class PrivateConnection {
public:
    PrivateConnection();
    ~PrivateConnection();
    PrivateConnection(const PrivateConnection&) = delete;
    PrivateConnection& operator=(const PrivateConnection&) = delete;

    QDBusConnection& bus() { return m_bus; }

private:
    QDBusConnection m_bus;
};

// Another client of the fcitx5 daemon, on a bus connection of its own, as applications and other
// tools are: it makes input contexts that stand in for windows (they live as long as the
// connection), moves the focus between them, and reads and switches the input method itself.
// A call the daemon does not answer fails the test.
class Fcitx5Client {
public:
    Fcitx5Client();

    // A new input context of a program; its object path, empty when fcitx5 made none.
    QString createContext(const QString& program);
    void focusIn(const QString& context);
    void focusOut(const QString& context);

    // The input method of the focused context, else of the one focused last.
    QString currentInputMethod();
    void switchTo(const QString& inputMethod);
    // Makes these the input methods of the group "Default".
    void setGroup(const QStringList& inputMethods);

private:
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {});
    QDBusMessage controllerCall(const QString& method, const QVariantList& arguments = {});

    PrivateConnection m_connection;
};

} // namespace korvalen::testing
