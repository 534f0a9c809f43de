#!/usr/bin/env bash
# kwin-fixture.sh start|stop|stop-compositor|exec <folder> [program arguments...]
# start:           runs a session bus and a headless KWin (Wayland socket "korvalen-kwin", and an
#                  Xwayland) on it, with the layouts English (US) and German (no dead keys), and
#                  writes the bus's address to <folder>/bus once KWin and its keyboard service
#                  answer there and Xwayland is up. A bus already running is kept, so that clients
#                  see KWin restart on the same bus.
# stop-compositor: ends KWin only; stop: ends KWin and the bus.
# exec:            starts a client in the session, Wayland or X11.
#
# Compositors refuse to run as root, so KWin, its bus and its clients run as the system user
# korvalen-test with <folder>/runtime as XDG_RUNTIME_DIR. The bus admits root too, so that tests
# reach it. The packaged kwin_wayland carries a file capability that some machines refuse to
# execute; a copy carries none.
#
# KWin picks the X display itself, and tells only the programs it starts: one of them writes it
# down for the clients.
set -euo pipefail
action=$1
folder=$2
shift 2
user=korvalen-test

as_user() {
    setsid runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$folder/home" \
        XDG_RUNTIME_DIR="$folder/runtime" DBUS_SESSION_BUS_ADDRESS="$(cat "$folder/bus")" \
        WAYLAND_DISPLAY=korvalen-kwin DISPLAY="$(cat "$folder/runtime/display" 2>/dev/null)" "$@"
}

start_bus() {
    id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
    chmod 755 "$folder"
    install -d -m 700 -o "$user" "$folder/runtime"
    install -d -m 755 -o "$user" "$folder/home" "$folder/home/.config"
    cat >"$folder/home/.config/kxkbrc" <<CONFIG
[Layout]
LayoutList=us,de
VariantList=,nodeadkeys
Use=true
CONFIG
    cat >"$folder/bus.conf" <<CONFIG
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$folder/runtime</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONFIG
    chmod 644 "$folder/bus.conf"
    runuser -u "$user" -- dbus-daemon --config-file="$folder/bus.conf" --fork \
        --print-address=3 --print-pid=4 3>"$folder/bus" 4>"$folder/bus-pid"
    sed -i 1q "$folder/bus"
}

start() {
    mkdir -p "$folder"
    [ -s "$folder/bus-pid" ] || start_bus
    install -m 755 /usr/bin/kwin_wayland "$folder/kwin_wayland"
    rm -f "$folder/runtime/display"
    cat >"$folder/announce-display" <<'SCRIPT'
#!/bin/sh
cd "$XDG_RUNTIME_DIR" && printf '%s\n' "$DISPLAY" >display.new && mv display.new display
SCRIPT
    chmod 755 "$folder/announce-display"
    setsid runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$folder/home" \
        XDG_RUNTIME_DIR="$folder/runtime" DBUS_SESSION_BUS_ADDRESS="$(cat "$folder/bus")" \
        "$folder/kwin_wayland" --virtual --socket korvalen-kwin --no-lockscreen --xwayland \
        "$folder/announce-display" \
        </dev/null >>"$folder/kwin.log" 2>&1 &
    echo $! >"$folder/pid"
    local bus
    bus=$(cat "$folder/bus")
    for _ in $(seq 200); do
        if [ -s "$folder/runtime/display" ] &&
            dbus-send --bus="$bus" --print-reply --dest=org.kde.keyboard /Layouts \
                org.kde.KeyboardLayouts.getLayout >/dev/null 2>&1; then
            echo "KWin ready on $bus"
            return 0
        fi
        sleep 0.1
    done
    echo "KWin or its Xwayland did not start; KWin's last words:" >&2
    tail -n 30 "$folder/kwin.log" >&2
    return 1
}

stop_compositor() {
    [ -f "$folder/pid" ] || return 0
    local pid kwin
    pid=$(cat "$folder/pid")
    rm -f "$folder/pid"
    # runuser waits for KWin, its child; the process ids may have been reused since a reboot.
    kwin=$(pgrep -P "$pid" || true)
    if [ -n "$kwin" ] && [ "$(cat "/proc/$kwin/comm" 2>/dev/null)" = "kwin_wayland" ]; then
        kill "$kwin" 2>/dev/null || true
        timeout 10 tail --pid="$kwin" -f /dev/null || true
    fi
    kill -- "-$pid" 2>/dev/null || true
    timeout 10 tail --pid="$pid" -f /dev/null || true
}

stop() {
    stop_compositor
    [ -f "$folder/bus-pid" ] || return 0
    local bus
    bus=$(cat "$folder/bus-pid")
    rm -f "$folder/bus-pid"
    if [ "$(cat "/proc/$bus/comm" 2>/dev/null)" = "dbus-daemon" ]; then
        kill "$bus" 2>/dev/null || true
        timeout 10 tail --pid="$bus" -f /dev/null || true
    fi
}

case "$action" in
start) start ;;
stop) stop ;;
stop-compositor) stop_compositor ;;
exec) as_user "$@" </dev/null >>"$folder/clients.log" 2>&1 & ;;
*)
    echo "usage: $0 start|stop|stop-compositor|exec <folder> [program arguments...]" >&2
    exit 2
    ;;
esac
