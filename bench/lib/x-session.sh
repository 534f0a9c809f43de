# shellcheck shell=bash
# A desktop of the benchmarks' own, for measuring the real program: an X server (Xvnc) with two
# keyboard layouts, a window manager that keeps _NET_ACTIVE_WINDOW (openbox) and an XEmbed tray
# (trayer), so that Korvalen starts as it does in a user's session and is not disturbed by
# whatever desktop this runs in. Sourced, never run; needs bash with `set -euo pipefail`.

x_session_source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
x_session_pids=()

# x_session_start <folder>: starts it all; the folder keeps the server's state, the programs'
# output and the private settings, runtime and cache folders it points the session at. Call
# x_session_stop on every way out, also when this fails half-way.
x_session_start() {
    x_session_folder=$1
    mkdir -p "$x_session_folder"
    bash "$x_session_source_dir/tests/support/xvnc-fixture.sh" start "$x_session_folder/xvnc" \
        >"$x_session_folder/xvnc-start.out" 2>&1 ||
        { cat "$x_session_folder/xvnc-start.out" >&2; return 1; }
    export DISPLAY
    DISPLAY=$(cat "$x_session_folder/xvnc/display")
    # Nothing of the desktop this runs in reaches the programs started here.
    unset WAYLAND_DISPLAY SESSION_MANAGER XDG_CURRENT_DESKTOP XDG_SESSION_DESKTOP \
        DESKTOP_SESSION XDG_SESSION_TYPE KDE_FULL_SESSION AT_SPI_BUS_ADDRESS LC_ALL LC_MESSAGES
    export XDG_CONFIG_HOME=$x_session_folder/config XDG_CACHE_HOME=$x_session_folder/cache
    export XDG_RUNTIME_DIR=$x_session_folder/runtime
    mkdir -p "$XDG_CONFIG_HOME/Korvalen" "$XDG_CACHE_HOME"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
    export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LANGUAGE=en

    setxkbmap -layout us,ru
    x_session_run openbox openbox --sm-disable
    x_session_wait_for 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'
    x_session_run trayer trayer --edge top --align right --widthtype percent --width 100 \
        --height 28 --SetDockType true --SetPartialStrut true
    x_session_wait_for 'xdotool search --class "^trayer\$" >/dev/null 2>&1'
}

# x_session_run <name> <command…>: runs it in the background until the session stops, its
# output in <folder>/<name>.out.
x_session_run() {
    local name=$1
    shift
    "$@" </dev/null >"$x_session_folder/$name.out" 2>&1 &
    x_session_pids+=("$!")
}

# x_session_wait_for <shell condition>: waits up to ten seconds for it to hold.
x_session_wait_for() {
    local _
    for _ in $(seq 100); do
        if bash -c "$1"; then
            return 0
        fi
        sleep 0.1
    done
    echo "x-session: gave up waiting for: $1" >&2
    return 1
}

# x_session_open_window <class>: an xterm whose class (and so application identifier) is the
# given one, in front once this returns.
x_session_open_window() {
    x_session_run "$1" xterm -name "$1" -class "$1" -geometry 60x10+40+80
    x_session_wait_for "xdotool search --class '^$1\$' >/dev/null 2>&1"
    local window
    window=$(xdotool search --class "^$1\$" | head -n 1)
    xdotool windowactivate --sync "$window" 2>/dev/null
    x_session_wait_for "[ \"\$(xdotool getactivewindow 2>/dev/null)\" = $window ]"
}

# Ends what the session started, latest first, and the X server last.
x_session_stop() {
    local i
    for ((i = ${#x_session_pids[@]} - 1; i >= 0; i--)); do
        kill "${x_session_pids[i]}" 2>/dev/null || true
        wait "${x_session_pids[i]}" 2>/dev/null || true
    done
    x_session_pids=()
    bash "$x_session_source_dir/tests/support/xvnc-fixture.sh" stop "$x_session_folder/xvnc" ||
        true
}
