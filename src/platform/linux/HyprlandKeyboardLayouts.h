#pragma once

#include "platform/linux/CompositorKeyboardLayouts.h"
#include "platform/linux/XkbLayoutRegistry.h"

#include <QByteArray>
#include <QLocalSocket>
#include <QTimer>

#include <optional>

namespace korvalen {

// The keyboard layouts of a Hyprland session: one source per layout of its main keyboard, with
// the identifier that the XKB group of that layout has on X11 and the name the rules' registry
// gives it. Selecting a source switches every keyboard to that position. A change is announced
// when the compositor reports a keyboard's active layout, reloads its configuration, or comes or
// goes.
//
// The protocol follows Hyprland's IPC documentation; Hyprland is not packaged for Debian 12, so
// the tests run against a stand-in that answers as the documentation describes.
class HyprlandKeyboardLayouts final : public CompositorKeyboardLayouts {
public:
    // Hyprland answers requests synchronously, within a few milliseconds; one that does not is
    // given up on rather than stalling the main thread.
    static constexpr int requestTimeout = 40;     // ms
    static constexpr int reconnectInterval = 500; // ms

    // The folder that holds the instance's sockets (.socket.sock, .socket2.sock).
    explicit HyprlandKeyboardLayouts(const QString& instanceFolder = sessionInstanceFolder(),
                                     XkbLayoutRegistry registry = XkbLayoutRegistry::system());
    ~HyprlandKeyboardLayouts() override;

    // $XDG_RUNTIME_DIR/hypr/$HYPRLAND_INSTANCE_SIGNATURE, or /tmp/hypr/… where older versions
    // put it; empty outside a Hyprland session.
    static QString sessionInstanceFolder();

private:
    // The reply to one request; none without a compositor or within the timeout.
    std::optional<QByteArray> request(const QByteArray& command) const;
    std::optional<Keyboard> keyboard() override;
    bool switchTo(int position) override;
    void connectEvents();
    void readEvents();

    QString m_requestPath;
    QString m_eventPath;
    XkbLayoutRegistry m_registry;
    QLocalSocket m_events;
    QByteArray m_eventBuffer;
    QTimer m_reconnect;
    // Every keyboard reports a switch of all of them: one announcement for the lot.
    QTimer m_announcement;
};

} // namespace korvalen
