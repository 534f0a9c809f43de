#!/usr/bin/env bash
# sway-fixture.sh start|stop <folder> [virtual-keyboard-program]
# start: runs a headless sway in <folder> and links its IPC socket to <folder>/swaysock and its
#        Wayland socket to <folder>/wayland (the same paths after each start, so a client sees
#        the compositor come back there) once it answers; the virtual keyboard program, when given, runs in the session so that sway has
#        a keyboard whose layouts can be listed and switched.
# stop:  ends that sway and waits until it is gone.
#
# Compositors refuse to run as root, so sway runs as the system user korvalen-test, created
# when missing, with <folder>/runtime as its XDG_RUNTIME_DIR and under a session bus of its own.
# Clients are started with "swaymsg exec", as that user and with the session's environment.
# Root reaches the socket regardless of its mode (0700 folder, socket of the user's).
set -euo pipefail
action=$1
folder=$2
user=korvalen-test

start() {
    mkdir -p "$folder"
    stop
    id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
    # The user has to reach its files below a folder that may be root's own.
    chmod 755 "$folder"
    rm -rf "$folder/runtime" "$folder/swaysock" "$folder/wayland"
    install -d -m 700 -o "$user" "$folder/runtime"
    local keyboard=""
    if [ -n "${3:-}" ]; then
        install -m 755 "$3" "$folder/virtual-keyboard"
        keyboard="exec $folder/virtual-keyboard"
    fi
    cat >"$folder/config" <<EOF
xwayland enable
input type:keyboard {
    xkb_layout us,de
    xkb_variant ,nodeadkeys
}
$keyboard
EOF
    chmod 644 "$folder/config"
    setsid runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$folder/runtime" \
        XDG_RUNTIME_DIR="$folder/runtime" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
        WLR_RENDERER=pixman dbus-run-session -- sway -c "$folder/config" \
        </dev/null >"$folder/sway.log" 2>&1 &
    echo $! >"$folder/pid"
    local socket=""
    for _ in $(seq 100); do
        socket=$(ls "$folder"/runtime/sway-ipc.*.sock 2>/dev/null | head -n 1 || true)
        if [ -n "$socket" ] && swaymsg -s "$socket" -t get_version >/dev/null 2>&1; then
            ln -sfn "$socket" "$folder/swaysock"
            ln -sfn "$(ls "$folder"/runtime/wayland-? | head -n 1)" "$folder/wayland"
            # sway-ipc.<uid>.<pid>.sock: runuser and the session bus stay behind when only the
            # group is signalled, so sway itself is ended by its own process id.
            basename "$socket" | cut -d. -f3 >"$folder/sway-pid"
            echo "sway ready at $socket"
            return 0
        fi
        sleep 0.1
    done
    echo "sway did not start; its last words:" >&2
    cat "$folder/sway.log" >&2
    return 1
}

stop() {
    [ -f "$folder/pid" ] || return 0
    local pid sway
    pid=$(cat "$folder/pid")
    sway=$(cat "$folder/sway-pid" 2>/dev/null || true)
    rm -f "$folder/pid" "$folder/sway-pid" "$folder/swaysock" "$folder/wayland"
    # Its clients (each in a session of its own) and Xwayland end with the compositor; the
    # process ids may have been reused since a reboot: end only a sway.
    if [ -n "$sway" ] && [ "$(cat "/proc/$sway/comm" 2>/dev/null)" = "sway" ]; then
        kill "$sway" 2>/dev/null || true
        timeout 10 tail --pid="$sway" -f /dev/null || true
    fi
    kill -- "-$pid" 2>/dev/null || return 0
    timeout 10 tail --pid="$pid" -f /dev/null || true
}

case "$action" in
start) start "$@" ;;
stop) stop ;;
*)
    echo "usage: $0 start|stop <folder> [virtual-keyboard-program]" >&2
    exit 2
    ;;
esac
