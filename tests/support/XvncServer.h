#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace korvalen::testing {

// An Xvnc server run with the test fixture script (tests/support/xvnc-fixture.sh), with
// which CTest also starts the one server that the X11 tests of that folder share.
class XvncServer {
public:
    // The display of the server that the script started in the folder; empty when none runs.
    static QByteArray displayStartedIn(const QString& folder);

    // Starts a server of the test's own, for a test that ends it. Stopped when destroyed.
    explicit XvncServer(const QString& fixtureScript);
    ~XvncServer();
    XvncServer(const XvncServer&) = delete;
    XvncServer& operator=(const XvncServer&) = delete;

    // The display to connect to, e.g. ":42"; empty when the server did not start.
    const QByteArray& displayName() const { return m_displayName; }
    // Ends the server, as when an X session ends under its clients.
    void stop();

private:
    bool run(const QString& action) const;

    QString m_fixtureScript;
    QTemporaryDir m_folder;
    QByteArray m_displayName;
};

} // namespace korvalen::testing
