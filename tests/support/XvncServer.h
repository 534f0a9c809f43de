#pragma once

#include <QByteArray>
#include <QProcess>

namespace korvalen::testing {

// TigerVNC's Xvnc on a display number of its own choosing, for tests that need a real X server
// (one whose keyboard groups can be changed, unlike Xvfb's). It listens on neither TCP nor a VNC
// port. Stopped when destroyed.
class XvncServer {
public:
    XvncServer();
    ~XvncServer();
    XvncServer(const XvncServer&) = delete;
    XvncServer& operator=(const XvncServer&) = delete;

    // Waits until the server accepts connections; false when it did not start.
    bool waitUntilReady();
    // The display to connect to, e.g. ":3"; empty until ready.
    const QByteArray& displayName() const { return m_displayName; }
    // Ends the server, as when an X session ends under its clients.
    void stop();

private:
    QProcess m_process;
    QByteArray m_displayName;
};

} // namespace korvalen::testing
