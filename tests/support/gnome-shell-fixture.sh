#!/usr/bin/env bash
# gnome-shell-fixture.sh start|stop|stop-shell|activate|exec <folder> [class | program arguments...]
# start:      runs a session bus and a headless GNOME Shell (Wayland socket "korvalen-gnome") on
#             it, with Korvalen's extension for GNOME 43 and 44 taken from this source tree and
#             the input sources English (US) and German (no dead keys), and writes the bus's
#             address to <folder>/bus once the Shell and the extension answer there; then closes
#             the overview the Shell starts in, so that windows get the focus. A bus already
#             running is kept, so that clients see the Shell restart on the same bus.
# stop-shell: ends the Shell only; stop: ends the Shell and the buses.
# activate:   gives the focus to the newest window of that class (for foot: its app id);
#             fails when there is none.
# exec:       starts a Wayland client in the session ("foot --app-id=org.example.App"), with
#             /bin/sh as its shell. The desktop entries in <folder>/home/.local/share/applications
#             give windows the Shell's app ids; write them before start.
#
# Compositors refuse to run as root, so the Shell, its buses and its clients run as the system
# user korvalen-test with <folder>/runtime as XDG_RUNTIME_DIR. The session bus admits root too,
# so that tests reach it, and activates the session's services, dconf's writer among them (the
# Shell keeps the enabled extensions in GSettings). Two stand-ins replace what a login would give
# the Shell: a system bus (a second bus of the same kind, on which it finds no logind,
# NetworkManager and the like, and goes on without them), and no systemd at all (its seat data
# hidden by a tmpfs in a mount namespace of its own: seeing it, the Shell looks for the logind
# session that the user does not have).
set -euo pipefail
action=$1
folder=$2
shift 2
user=korvalen-test
uuid=korvalen@korvalen.github.io
helper=korvalen-test-helper@korvalen.github.io
extension=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../gnome-shell/43" && pwd)

# The environment of everything run as the user, the buses' activated services included. No
# accessibility bus: its daemons would outlive the Shell and point the next one to a socket gone.
session_env() {
    environment=(PATH=/usr/bin:/bin HOME="$folder/home" XDG_RUNTIME_DIR="$folder/runtime"
        SHELL=/bin/sh LANG=C.UTF-8 XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=korvalen-gnome
        NO_AT_BRIDGE=1 DBUS_SYSTEM_BUS_ADDRESS="$(cat "$folder/system-bus" 2>/dev/null || true)"
        DBUS_SESSION_BUS_ADDRESS="$(cat "$folder/bus" 2>/dev/null || true)")
}

as_user() {
    session_env
    runuser -u "$user" -- env -i "${environment[@]}" "$@"
}

# A bus of the session kind, for the user and root, listening in <folder>/buses; its address in
# <folder>/<name>, its process id in <folder>/<name>-pid. Other users reach it too, to be refused
# by the extension.
start_bus() {
    local name=$1 services=$2
    cat >"$folder/$name.conf" <<CONFIG
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$folder/buses</listen>
  <auth>EXTERNAL</auth>
  $services
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONFIG
    chmod 644 "$folder/$name.conf"
    as_user dbus-daemon --config-file="$folder/$name.conf" --fork \
        --print-address=3 --print-pid=4 3>"$folder/$name" 4>"$folder/$name-pid"
    sed -i 1q "$folder/$name"
}

start_buses() {
    install -d -m 755 -o "$user" "$folder/buses" "$folder/home" "$folder/home/.config" "$folder/home/.local" \
        "$folder/home/.local/share" "$folder/home/.local/share/applications"
    start_bus system-bus ""
    start_bus bus "<standard_session_servicedirs/>"
}

# Korvalen's extension as it is in the source tree, and one for the tests alone that gives a
# window the focus (foot cannot be asked to, the Shell has no call for it).
install_extensions() {
    local extensions=$folder/home/.local/share/gnome-shell/extensions
    rm -rf "$extensions"
    install -d -m 755 -o "$user" "$folder/home/.local/share/gnome-shell" "$extensions" \
        "$extensions/$uuid" "$extensions/$helper"
    install -m 644 -o "$user" "$extension/metadata.json" "$extension/extension.js" \
        "$extensions/$uuid/"
    cat >"$extensions/$helper/metadata.json" <<JSON
{"uuid": "$helper", "name": "Korvalen's test helper", "description": "Focuses windows for tests",
 "shell-version": ["43", "44"]}
JSON
    cat >"$extensions/$helper/extension.js" <<'SCRIPT'
const {Gio} = imports.gi;
const Main = imports.ui.main;
const INTERFACE = `<node><interface name="io.github.korvalen.ShellTest">
  <method name="Activate"><arg type="s" direction="in"/><arg type="b" direction="out"/></method>
</interface></node>`;
class Helper {
    enable() {
        this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._dbus.export(Gio.DBus.session, '/io/github/korvalen/ShellTest');
        this._name = Gio.bus_own_name_on_connection(Gio.DBus.session, 'io.github.korvalen.ShellTest',
            Gio.BusNameOwnerFlags.NONE, null, null);
    }
    disable() {
        Gio.bus_unown_name(this._name);
        this._dbus.unexport();
    }
    // The newest window of that class.
    Activate(wmClass) {
        const window = global.get_window_actors().map(actor => actor.meta_window)
            .filter(w => w.get_wm_class() === wmClass).pop();
        if (window)
            Main.activateWindow(window);
        return window !== undefined;
    }
}
function init() {
    return new Helper();
}
SCRIPT
}

# Waits for a D-Bus call to succeed, for at most 20 s; prints its reply.
until_answered() {
    local bus
    bus=$(cat "$folder/bus")
    for _ in $(seq 200); do
        dbus-send --bus="$bus" --print-reply "$@" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

shell_property() {
    until_answered --dest=org.gnome.Shell /org/gnome/Shell org.freedesktop.DBus.Properties.Get \
        string:org.gnome.Shell "string:$1"
}

start() {
    mkdir -p "$folder"
    stop_shell
    id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
    chmod 755 "$folder"
    # None of an earlier Shell's leftovers (sockets, locks, the marker that has systemd disable
    # extensions after a crash); dconf's writer, activated on the bus, finds the new folder under
    # the same name.
    rm -rf "$folder/runtime"
    install -d -m 700 -o "$user" "$folder/runtime"
    [ -s "$folder/bus-pid" ] || start_buses
    install_extensions
    as_user gsettings set org.gnome.shell enabled-extensions "['$uuid', '$helper']"
    as_user gsettings set org.gnome.desktop.input-sources sources "[('xkb', 'us'), ('xkb', 'de+nodeadkeys')]"
    # Windows and the overview then come and go at once.
    as_user gsettings set org.gnome.desktop.interface enable-animations false

    session_env
    setsid unshare --mount --propagation private -- sh -c \
        '{ [ ! -d /run/systemd ] || mount -t tmpfs tmpfs /run/systemd; } && exec "$@"' sh \
        runuser -u "$user" -- env -i "${environment[@]}" gnome-shell --headless --wayland --no-x11 \
        --virtual-monitor 1280x720 --wayland-display=korvalen-gnome \
        </dev/null >>"$folder/gnome-shell.log" 2>&1 &
    echo $! >"$folder/pid"
    if shell_property ShellVersion >/dev/null &&
        until_answered --dest=io.github.korvalen.Shell /io/github/korvalen/Shell \
            org.freedesktop.DBus.Properties.Get string:io.github.korvalen.Shell \
            string:InterfaceVersion >/dev/null &&
        until_answered --dest=io.github.korvalen.ShellTest /io/github/korvalen/ShellTest \
            org.freedesktop.DBus.Peer.Ping >/dev/null &&
        close_overview; then
        echo "GNOME Shell ready on $(cat "$folder/bus")"
        return 0
    fi
    echo "GNOME Shell or Korvalen's extension did not start; the Shell's last words:" >&2
    tail -n 30 "$folder/gnome-shell.log" >&2
    return 1
}

# The Shell opens the overview at the end of its start, which it may not have reached yet.
close_overview() {
    local bus
    bus=$(cat "$folder/bus")
    for _ in $(seq 200); do
        if shell_property OverviewActive | grep -q 'boolean true'; then
            dbus-send --bus="$bus" --print-reply --dest=org.gnome.Shell /org/gnome/Shell \
                org.freedesktop.DBus.Properties.Set string:org.gnome.Shell string:OverviewActive \
                variant:boolean:false >/dev/null
            break
        fi
        sleep 0.1
    done
    for _ in $(seq 200); do
        shell_property OverviewActive | grep -q 'boolean false' && return 0
        sleep 0.1
    done
    return 1
}

# Waits at most 10 s for a process to end. An ended one counts before it is reaped, which the
# reaper of orphans may leave for seconds.
wait_for_end() {
    local state
    for _ in $(seq 100); do
        state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) || return 0
        case "$state" in "" | Z | X) return 0 ;; esac
        sleep 0.1
    done
}

stop_shell() {
    [ -f "$folder/pid" ] || return 0
    local pid shell
    pid=$(cat "$folder/pid")
    rm -f "$folder/pid"
    # runuser waits for the Shell, its child; the process ids may have been reused since a reboot.
    shell=$(pgrep -P "$pid" || true)
    if [ -n "$shell" ] && [ "$(cat "/proc/$shell/comm" 2>/dev/null)" = "gnome-shell" ]; then
        kill "$shell" 2>/dev/null || true
        wait_for_end "$shell"
    fi
    kill -- "-$pid" 2>/dev/null || true
    wait_for_end "$pid"
    # The IBus daemon that the Shell starts leaves its process group, not its session.
    local left
    for left in $(pgrep -u "$user" -s "$pid" || true); do
        kill "$left" 2>/dev/null || true
        wait_for_end "$left"
    done
}

stop_bus() {
    [ -f "$folder/$1-pid" ] || return 0
    local bus
    bus=$(cat "$folder/$1-pid")
    rm -f "$folder/$1-pid"
    if [ "$(cat "/proc/$bus/comm" 2>/dev/null)" = "dbus-daemon" ]; then
        kill "$bus" 2>/dev/null || true
        wait_for_end "$bus"
    fi
}

stop() {
    stop_shell
    stop_bus bus
    stop_bus system-bus
}

case "$action" in
start) start ;;
stop) stop ;;
stop-shell) stop_shell ;;
activate)
    dbus-send --bus="$(cat "$folder/bus")" --print-reply --dest=io.github.korvalen.ShellTest \
        /io/github/korvalen/ShellTest io.github.korvalen.ShellTest.Activate "string:$1" |
        grep -q 'boolean true'
    ;;
exec)
    session_env
    setsid runuser -u "$user" -- env -i "${environment[@]}" "$@" </dev/null >>"$folder/clients.log" 2>&1 &
    ;;
*)
    echo "usage: $0 start|stop|stop-shell|activate|exec <folder> [class | program arguments...]" >&2
    exit 2
    ;;
esac
