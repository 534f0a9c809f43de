#include "platform/linux/DesktopSession.h"

#include "platform/linux/GnomeShellFirstWorkspace.h"
#include "platform/linux/GnomeShellInputSources.h"
#include "platform/linux/HyprlandKeyboardLayouts.h"
#include "platform/linux/InputBackendChoice.h"
#include "platform/linux/KdeKeyboardLayouts.h"
#include "platform/linux/KwinScriptWorkspace.h"
#include "platform/linux/NoTextInputSources.h"
#include "platform/linux/SwayTextInputSources.h"
#include "platform/linux/SwayWorkspace.h"
#include "platform/linux/WlrForeignToplevelWorkspace.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XkbTextInputSources.h"

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

DesktopSession::Environment DesktopSession::Environment::current()
{
    return {qEnvironmentVariable("WAYLAND_DISPLAY"), qEnvironmentVariable("XDG_SESSION_TYPE"),
            qEnvironmentVariable("SWAYSOCK"), qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
            qEnvironmentVariable("HYPRLAND_INSTANCE_SIGNATURE")};
}

DesktopSession::Kind DesktopSession::kindOf(const Environment& environment)
{
    // A Wayland session started from a terminal of an X11 one keeps XDG_SESSION_TYPE=x11, and
    // one whose session manager sets no type has a display all the same.
    const bool wayland = !environment.waylandDisplay.isEmpty() ||
                         environment.sessionType.compare(u"wayland"_s, Qt::CaseInsensitive) == 0;
    // The desktop's own name counts first: a compositor nested in another inherits the outer
    // one's socket variables. Distributions put their own name before GNOME's ("ubuntu:GNOME").
    const QStringList desktops = environment.currentDesktop.split(u':', Qt::SkipEmptyParts);
    if (desktops.contains(u"GNOME"_s, Qt::CaseInsensitive))
        return wayland ? Kind::gnomeWayland : Kind::gnomeX11;
    if (!wayland)
        return Kind::x11;
    if (desktops.contains(u"Hyprland"_s, Qt::CaseInsensitive))
        return Kind::hyprland;
    if (!environment.swaySocket.isEmpty())
        return Kind::sway;
    if (desktops.contains(u"KDE"_s, Qt::CaseInsensitive))
        return Kind::kde;
    if (!environment.hyprlandInstanceSignature.isEmpty())
        return Kind::hyprland;
    return Kind::otherWayland;
}

QString DesktopSession::gnomeExtensionNote(bool wayland)
{
    return u"; Korvalen's GNOME Shell extension is not running, so "_s +
           (wayland ? u"neither windows nor input sources can be followed"_s
                    : u"GNOME's input sources cannot be switched"_s) +
           u": run `korvalen --gnome-extension install`, then log out and back in"_s;
}

QString DesktopSession::layoutMemoryNote(KdeKeyboardLayouts::LayoutMemory memory)
{
    using Memory = KdeKeyboardLayouts::LayoutMemory;
    QString remembered;
    QString mode;
    switch (memory) {
    case Memory::none:
        return {};
    case Memory::desktop:
        remembered = u"virtual desktop"_s;
        mode = u"Desktop"_s;
        break;
    case Memory::application:
        remembered = u"application"_s;
        mode = u"WinClass"_s;
        break;
    case Memory::window:
        remembered = u"window"_s;
        mode = u"Window"_s;
        break;
    }
    return u"; KWin remembers a layout per "_s + remembered + u" (kxkbrc SwitchMode="_s + mode +
           u"), which will fight Korvalen: set it to Global"_s;
}

DesktopSession::Backends DesktopSession::makeBackends(Kind kind, const UserDefaults& defaults)
{
    Backends backends;
    QString windows;
    std::unique_ptr<TextInputSources> layouts;
    QString layoutsName;
    QString layoutsNote;
    const KdeKeyboardLayouts* kdeLayouts = nullptr;
    std::unique_ptr<GnomeShellInputSources> gnomeSources;
    switch (kind) {
    case Kind::x11:
        backends.workspace = std::make_unique<X11Workspace>();
        windows = u"X11"_s;
        layouts = std::make_unique<XkbTextInputSources>();
        layoutsName = u"XKB"_s;
        break;
    case Kind::gnomeX11:
        backends.workspace = std::make_unique<GnomeShellFirstWorkspace>(
            std::make_unique<GnomeShellWorkspace>(), std::make_unique<X11Workspace>());
        windows = u"GNOME Shell, else X11"_s;
        layouts = std::make_unique<XkbTextInputSources>();
        layoutsName = u"XKB"_s;
        gnomeSources = std::make_unique<GnomeShellInputSources>();
        break;
    case Kind::gnomeWayland:
        backends.workspace = std::make_unique<GnomeShellWorkspace>();
        windows = u"GNOME Shell"_s;
        layouts = std::make_unique<NoTextInputSources>();
        layoutsName = u"none"_s;
        gnomeSources = std::make_unique<GnomeShellInputSources>();
        break;
    case Kind::sway:
        backends.workspace = std::make_unique<SwayWorkspace>();
        windows = u"sway"_s;
        layouts = std::make_unique<SwayTextInputSources>();
        layoutsName = u"sway"_s;
        break;
    case Kind::kde: {
        backends.workspace = std::make_unique<KwinScriptWorkspace>();
        windows = u"KWin"_s;
        auto kde = std::make_unique<KdeKeyboardLayouts>();
        kdeLayouts = kde.get();
        layouts = std::move(kde);
        layoutsName = u"KDE keyboard layouts"_s;
        break;
    }
    case Kind::hyprland:
        backends.workspace = std::make_unique<WlrForeignToplevelWorkspace>();
        windows = u"the compositor's toplevel list (wlr-foreign-toplevel-management)"_s;
        layouts = std::make_unique<HyprlandKeyboardLayouts>();
        layoutsName = u"Hyprland"_s;
        break;
    case Kind::otherWayland:
        backends.workspace = std::make_unique<WlrForeignToplevelWorkspace>();
        windows = u"the compositor's toplevel list (wlr-foreign-toplevel-management)"_s;
        layouts = std::make_unique<NoTextInputSources>();
        layoutsName = u"none"_s;
        layoutsNote = u"; layouts: none (the compositor offers no way to switch them)"_s;
        break;
    }
    if (gnomeSources && !gnomeSources->isRunning())
        layoutsNote = gnomeExtensionNote(kind == Kind::gnomeWayland);
    InputBackendChoice::Made inputSources = InputBackendChoice::make(
        defaults, std::move(layouts), layoutsName, std::move(gnomeSources));
    backends.textInputSources = std::move(inputSources.sources);
    // An input method keeps KWin's layouts where it wants them; only a switch of KWin's layouts
    // by Korvalen is undone by KWin's own memory.
    if (kdeLayouts && inputSources.description.startsWith(layoutsName))
        layoutsNote = layoutMemoryNote(kdeLayouts->kwinLayoutMemory());
    backends.description = u"windows from "_s + windows + u", input sources from "_s +
                           inputSources.description + layoutsNote;
    return backends;
}

} // namespace korvalen
