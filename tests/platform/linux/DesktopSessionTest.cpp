#include "platform/linux/DesktopSession.h"

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using Kind = DesktopSession::Kind;

namespace {

DesktopSession::Kind kindOf(const QString& waylandDisplay, const QString& sessionType,
                            const QString& swaySocket = {}, const QString& currentDesktop = {},
                            const QString& hyprlandSignature = {})
{
    return DesktopSession::kindOf(
        {waylandDisplay, sessionType, swaySocket, currentDesktop, hyprlandSignature});
}

TEST(DesktopSessionTest, WaylandFromTheDisplayOrTheSessionType)
{
    EXPECT_EQ(kindOf({}, {}), Kind::x11);
    EXPECT_EQ(kindOf({}, u"x11"_s, u"/run/user/1000/sway-ipc.sock"_s, u"KDE"_s), Kind::x11);
    EXPECT_EQ(kindOf(u"wayland-1"_s, {}), Kind::otherWayland);
    // A nested compositor started from an X11 session's terminal.
    EXPECT_EQ(kindOf(u"wayland-1"_s, u"x11"_s), Kind::otherWayland);
    EXPECT_EQ(kindOf({}, u"wayland"_s), Kind::otherWayland);
}

TEST(DesktopSessionTest, CompositorFromItsSocketOrTheDesktopNames)
{
    EXPECT_EQ(kindOf(u"wayland-1"_s, u"wayland"_s, u"/run/user/1000/sway-ipc.sock"_s), Kind::sway);
    EXPECT_EQ(kindOf(u"wayland-0"_s, u"wayland"_s, {}, u"KDE"_s), Kind::kde);
    EXPECT_EQ(kindOf(u"wayland-0"_s, u"wayland"_s, {}, u"ubuntu:kde"_s), Kind::kde);
    EXPECT_EQ(kindOf(u"wayland-0"_s, u"wayland"_s, {}, u"KDEX"_s), Kind::otherWayland);
    EXPECT_EQ(kindOf(u"wayland-1"_s, u"wayland"_s, {}, u"sway"_s), Kind::otherWayland);
}

TEST(DesktopSessionTest, HyprlandFromItsDesktopNameOrItsInstanceSignature)
{
    const QString signature = u"v0.41_1700000000_1234"_s;
    EXPECT_EQ(kindOf(u"wayland-1"_s, u"wayland"_s, {}, u"Hyprland"_s), Kind::hyprland);
    EXPECT_EQ(kindOf(u"wayland-1"_s, u"wayland"_s, {}, {}, signature), Kind::hyprland);
    // Started from a terminal of an outer sway, whose socket it inherits.
    EXPECT_EQ(kindOf(u"wayland-1"_s, u"wayland"_s, u"/run/user/1000/sway-ipc.sock"_s, u"Hyprland"_s,
                     signature),
              Kind::hyprland);
}

TEST(DesktopSessionTest, GnomeOnEitherSessionTypeWhateverItsDistributionCallsIt)
{
    EXPECT_EQ(kindOf({}, u"x11"_s, {}, u"GNOME"_s), Kind::gnomeX11);
    EXPECT_EQ(kindOf(u"wayland-0"_s, u"wayland"_s, {}, u"ubuntu:GNOME"_s), Kind::gnomeWayland);
    EXPECT_EQ(kindOf(u"wayland-0"_s, {}, {}, u"GNOME-Classic:GNOME"_s), Kind::gnomeWayland);
    // A GNOME session whose terminal has a sway socket from an earlier nested sway.
    EXPECT_EQ(kindOf(u"wayland-0"_s, u"wayland"_s, u"/run/user/1000/sway-ipc.sock"_s, u"GNOME"_s),
              Kind::gnomeWayland);
    EXPECT_EQ(kindOf({}, u"x11"_s, {}, u"GNOME-Flashback"_s), Kind::x11);
}

TEST(DesktopSessionTest, StartLineWarnsOfKwinsOwnLayoutMemory)
{
    using Memory = KdeKeyboardLayouts::LayoutMemory;
    EXPECT_EQ(DesktopSession::layoutMemoryNote(Memory::none), QString());
    EXPECT_EQ(DesktopSession::layoutMemoryNote(Memory::window),
              u"; KWin remembers a layout per window (kxkbrc SwitchMode=Window), which will fight "
              "Korvalen: set it to Global"_s);
    EXPECT_TRUE(DesktopSession::layoutMemoryNote(Memory::application)
                    .contains(u"per application (kxkbrc SwitchMode=WinClass)"_s));
    EXPECT_TRUE(DesktopSession::layoutMemoryNote(Memory::desktop)
                    .contains(u"per virtual desktop (kxkbrc SwitchMode=Desktop)"_s));
}

} // namespace
