#pragma once

#include "platform/TextInputSources.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/linux/KdeKeyboardLayouts.h"

#include <QString>

#include <memory>

namespace korvalen {

// Which kind of desktop session Korvalen runs in, told by the environment the session manager
// gives it, and the backends that follow windows and switch layouts there.
class DesktopSession {
public:
    enum class Kind {
        x11,
        // GNOME on X11, and on Wayland: GNOME Shell keeps the input sources to itself, and on
        // Wayland the windows as well, and tells them only to Korvalen's extension.
        gnomeX11,
        gnomeWayland,
        sway,
        // KWin's Wayland session.
        kde,
        // Hyprland, a wlroots-family compositor with an IPC of its own for layouts.
        hyprland,
        // Any other Wayland compositor; the wlroots ones tell their windows to taskbars.
        otherWayland,
    };

    struct Environment {
        QString waylandDisplay;            // WAYLAND_DISPLAY
        QString sessionType;               // XDG_SESSION_TYPE
        QString swaySocket;                // SWAYSOCK
        QString currentDesktop;            // XDG_CURRENT_DESKTOP, names separated by colons
        QString hyprlandInstanceSignature; // HYPRLAND_INSTANCE_SIGNATURE

        static Environment current();
    };

    struct Backends {
        std::unique_ptr<Workspace> workspace;
        std::unique_ptr<TextInputSources> textInputSources;
        // For the start line: where windows and input sources come from.
        QString description;
    };

    static Kind kindOf(const Environment& environment);

    // Input sources as the user's setting asks (see InputBackendChoice), with the session's
    // layouts underneath.
    static Backends makeBackends(Kind kind, const UserDefaults& defaults);

    // For the start line in GNOME while Korvalen's extension does not run there: what to do.
    static QString gnomeExtensionNote(bool wayland);

    // For the start line when KWin's layouts are in use: what KWin's own memory of layouts will
    // undo, and how to turn it off; empty when it has none.
    static QString layoutMemoryNote(KdeKeyboardLayouts::LayoutMemory memory);
};

} // namespace korvalen
