#!/usr/bin/env bash
# demo.sh [korvalen executable]
#
# Shows Korvalen at work where no desktop is at hand. On an X server of its own, with two keyboard
# layouts, a window manager and a tray, Korvalen follows two windows that take turns in front and
# switches the layout for each, as its rules say; then a second `korvalen` asks the running one to
# open its rules window, and a screenshot of the screen is kept.
#
# The executable is the argument, else $KORVALEN_EXECUTABLE, else the default preset's build.
# Exits 0 once Korvalen was seen switching the layout, non-zero otherwise. Whatever it starts is
# ended on every way out, Ctrl-C included. Korvalen logs to /tmp/korvalen_enforce.log, one file
# for every Korvalen of the user: a Korvalen running elsewhere at the same time adds its own lines.
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
korvalen=${1:-${KORVALEN_EXECUTABLE:-$source_dir/build/default/src/app/korvalen}}
enforce_log=/tmp/korvalen_enforce.log

# Each window's class is its application identifier, as no desktop entry claims it.
english_class=KorvalenDemoEnglish
russian_class=KorvalenDemoRussian
rules_window_title="Korvalen Rules"

# Everything has to be over within a minute, however the steps fare.
overall_limit_ms=55000

now_ms() {
    # EPOCHREALTIME's decimal mark follows the locale.
    local micro=${EPOCHREALTIME//[!0-9]/}
    echo $((micro / 1000))
}
started_ms=$(now_ms)

say() {
    local elapsed=$(($(now_ms) - started_ms))
    printf '[%3d.%d s] %s\n' $((elapsed / 1000)) $((elapsed % 1000 / 100)) "$*"
}

fail() {
    say "FAILED: $*" >&2
    exit 1
}

# --- Before anything starts -----------------------------------------------------------------

[ -x "$korvalen" ] || fail "no Korvalen executable at $korvalen; build it with scripts/run" \
    "or cmake --build --preset default --target korvalen"
korvalen=$(realpath "$korvalen")
for tool in Xvnc setxkbmap openbox trayer xterm xdotool xprop import; do
    command -v "$tool" >/dev/null || fail "$tool is missing; scripts/run --demo installs it"
done
# Korvalen refuses to write through a link or into another user's file, and says nothing then.
if [ -e "$enforce_log" ] || [ -L "$enforce_log" ]; then
    if [ ! -f "$enforce_log" ] || [ -L "$enforce_log" ] || [ ! -O "$enforce_log" ]; then
        fail "$enforce_log is not a file of yours, so Korvalen would log nothing; remove it"
    fi
fi

# --- Processes, and ending them ---------------------------------------------------------------

work=$(mktemp -d "${TMPDIR:-/tmp}/korvalen-demo.XXXXXX")
screenshot=$work/screen.png
process_names=()
process_ids=()
succeeded=false

# start <name> <command…>: runs the command in the background, its output in $work/<name>.out.
start() {
    local name=$1
    shift
    "$@" </dev/null >"$work/$name.out" 2>&1 &
    process_names+=("$name")
    process_ids+=("$!")
}

pid_of() {
    local i
    for i in "${!process_names[@]}"; do
        if [ "${process_names[i]}" = "$1" ]; then
            echo "${process_ids[i]}"
            return 0
        fi
    done
    return 1
}

# reap <name>: waits for that process, which has ended, and returns its status. It is then off
# the list, since its process id may soon be another process's.
reap() {
    local i status=0
    for i in "${!process_names[@]}"; do
        if [ "${process_names[i]}" = "$1" ]; then
            wait "${process_ids[i]}" || status=$?
            unset 'process_names[i]' 'process_ids[i]'
        fi
    done
    return "$status"
}

# True when the process is gone or only waits to be reaped.
has_ended() {
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) || return 0
    [ "${state%% *}" = Z ]
}

# The processes the demonstration cannot go on without: when one ends, say so and stop.
check_alive() {
    local i
    for i in "${!process_names[@]}"; do
        case ${process_names[i]} in
        second-korvalen) continue ;;
        esac
        if has_ended "${process_ids[i]}"; then
            local name=${process_names[i]}
            echo "--- last output of $name:" >&2
            tail -n 20 "$work/$name.out" >&2
            fail "$name ended unexpectedly"
        fi
    done
}

stop_processes() {
    local i pid
    # Latest first, and the X server last, so that none ends on a lost connection to another.
    local started=("${process_ids[@]}")
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        kill "${started[i]}" 2>/dev/null || true
    done
    local until=$(($(now_ms) + 5000))
    for pid in "${process_ids[@]}"; do
        while ! has_ended "$pid" && [ "$(now_ms)" -lt "$until" ]; do
            sleep 0.05
        done
        has_ended "$pid" || kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    # Not the fixture's stop: that one waits until the server is reaped, in steps of a second,
    # whereas ended is enough here.
    pid=$(cat "$work/xvnc/pid" 2>/dev/null) || pid=""
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvnc ]; then
        kill "$pid" 2>/dev/null || true
        until=$(($(now_ms) + 5000))
        while ! has_ended "$pid" && [ "$(now_ms)" -lt "$until" ]; do
            sleep 0.05
        done
        has_ended "$pid" || kill -KILL "$pid" 2>/dev/null || true
    fi
    # An X server whose start was cut short (Ctrl-C at that moment) has no pid file yet; every
    # process started here writes into this folder, which names it.
    local leftover
    while read -r leftover; do
        pid=${leftover#/proc/}
        pid=${pid%%/*}
        if [ "$pid" != $$ ]; then
            kill -KILL "$pid" 2>/dev/null || true
        fi
    done < <(find /proc/[0-9]*/fd/1 -maxdepth 0 -lname "$work/*" 2>/dev/null)
}

cleanup() {
    local status=$?
    set +e
    trap - EXIT INT TERM HUP
    stop_processes
    if $succeeded; then
        # Only the screenshot is kept.
        find "$work" -mindepth 1 -maxdepth 1 ! -path "$screenshot" -exec rm -rf {} +
    else
        echo "What the demonstration's programs said is kept in $work" >&2
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'echo; say "Interrupted."; exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# --- The enforcement log, as Korvalen writes it ----------------------------------------------

# Only what is written from now on belongs to this demonstration.
log_offset=$(stat -c %s "$enforce_log" 2>/dev/null || echo 0)
demo_log=$work/enforce.log
: >"$demo_log"

show_new_log_lines() {
    local size
    size=$(stat -c %s "$enforce_log" 2>/dev/null) || return 0
    if [ "$size" -lt "$log_offset" ]; then
        log_offset=0 # removed and written anew
    fi
    [ "$size" -gt "$log_offset" ] || return 0
    tail -c +$((log_offset + 1)) "$enforce_log" | head -c $((size - log_offset)) >"$work/new-lines"
    log_offset=$size
    cat "$work/new-lines" >>"$demo_log"
    sed 's/^/            log │ /' "$work/new-lines"
}

# wait_until <seconds> <command…>: true once the command succeeds, false when the time is up;
# meanwhile the log is shown as it grows and the demonstration's programs are watched.
wait_until() {
    local until=$(($(now_ms) + $1 * 1000))
    local overall_until=$((started_ms + overall_limit_ms))
    [ "$until" -le "$overall_until" ] || until=$overall_until
    shift
    while true; do
        show_new_log_lines
        check_alive
        if "$@"; then
            return 0
        fi
        [ "$(now_ms)" -lt "$until" ] || return 1
        sleep 0.1
    done
}

window_of_class() {
    local windows
    windows=$(xdotool search --class "^$1\$" 2>/dev/null) || return 0
    echo "${windows%%$'\n'*}"
}

has_window_of_class() {
    [ -n "$(window_of_class "$1")" ]
}

# --- The stage: an X server, two layouts, a window manager, a tray ---------------------------

echo "Korvalen demonstration: Korvalen switches the keyboard layout as two windows take turns in"
echo "front, on an X server of its own. Its log lines are shown as they are written."
echo

say "Starting a private X server (Xvnc)…"
# The test suite's way of finding a free display.
if ! timeout 20 bash "$source_dir/tests/support/xvnc-fixture.sh" start "$work/xvnc" \
    >"$work/xvnc-start.out" 2>&1; then
    cat "$work/xvnc-start.out" >&2
    fail "the X server did not start"
fi
export DISPLAY
DISPLAY=$(cat "$work/xvnc/display")
say "  X server ready on display $DISPLAY."

# Nothing of the desktop this may have been started from reaches the demonstration's programs:
# no session bus (so the tray icon goes to the tray here), no session manager, no desktop theme.
unset WAYLAND_DISPLAY SESSION_MANAGER XDG_CURRENT_DESKTOP XDG_SESSION_DESKTOP DESKTOP_SESSION \
    XDG_SESSION_TYPE KDE_FULL_SESSION AT_SPI_BUS_ADDRESS LC_ALL LC_MESSAGES
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-session-bus
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME/Korvalen" "$XDG_CACHE_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LANGUAGE=en

say "Loading two keyboard layouts: English (US) and Russian (setxkbmap -layout us,ru)."
setxkbmap -layout us,ru || fail "setxkbmap could not load the layouts"

say "Starting a window manager (openbox), which tells Korvalen the window in front."
start openbox openbox --sm-disable
wait_until 10 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
    fail "openbox did not take over the screen"

say "Starting a tray (trayer), a panel along the top, for Korvalen's icon."
start trayer trayer --edge top --align right --widthtype percent --width 100 --height 28 \
    --SetDockType true --SetPartialStrut true --transparent true --alpha 0 --tint 0xdde3ea
wait_until 10 has_window_of_class trayer || fail "trayer did not show up"

# --- Korvalen ---------------------------------------------------------------------------------

# A rule as the settings file keeps it: JSON, its quotes escaped for the INI value.
rule() { # <class> <name> <source id> <source name>
    printf '{\\"bundleID\\":\\"%s\\",\\"appDisplayName\\":\\"%s\\",' "$1" "$2"
    printf '\\"inputSourceID\\":\\"%s\\",\\"inputSourceDisplayName\\":\\"%s\\"}' "$3" "$4"
}
rules="$(rule "$english_class" "English window" xkb:us "English (US)")"
rules+=",$(rule "$russian_class" "Russian window" xkb:ru Russian)"
cat >"$XDG_CONFIG_HOME/Korvalen/Korvalen.conf" <<EOF
[General]
Korvalen.rules="@ByteArray([$rules])"
Korvalen.autoSwitchEnabled=true
EOF
say "Starting Korvalen with two application rules:"
say "  $english_class → English (US) (xkb:us), $russian_class → Russian (xkb:ru)."
start korvalen "$korvalen"
# Up once its icon is in the tray, which maps the icon's window when it embeds it. No other
# window of Korvalen's is shown yet; the class is Qt's application name.
wait_until 15 bash -c 'xdotool search --onlyvisible --class "^Korvalen\$" >/dev/null 2>&1' ||
    fail "Korvalen's icon did not appear in the tray"
say "  Korvalen's icon is in the tray. It says:"
sed 's/^/            /' "$work/korvalen.out"

# --- Two windows taking turns in front -------------------------------------------------------

open_window() { # <class> <title> <geometry> <background> <source id> <source name>
    start "$1" xterm -name "$1" -class "$1" -title "$2" -geometry "$3" -fa Monospace -fs 10 \
        -bg "$4" -fg black -hold -e printf '  %s\n  %s\n\n  %s\n  %s\n' \
        "Window class: $1" "(its application identifier)" "Korvalen's rule for it:" "$6 ($5)"
}
say "Opening two windows, of classes $english_class and $russian_class."
open_window "$english_class" "English window" 38x6+20+70 '#dbe8ff' xkb:us "English (US)"
open_window "$russian_class" "Russian window" 38x6+20+300 '#ffe3d6' xkb:ru Russian
wait_until 10 has_window_of_class "$english_class" || fail "the English window did not open"
wait_until 10 has_window_of_class "$russian_class" || fail "the Russian window did not open"
english_window=$(window_of_class "$english_class")
russian_window=$(window_of_class "$russian_class")

# Korvalen's latest answer to an application coming to the front: the log lines from its last
# "enforce(appActivated)" on.
latest_answer() {
    awk '/ enforce\(appActivated\): front=/ { n = 0; answering = 1 } answering { lines[n++] = $0 }
         END { for (i = 0; i < n; i++) print lines[i] }' "$demo_log"
}

# True once that answer is about <class>, and <source> either already was on or was selected.
answered() { # <class> <source>
    local answer
    answer=$(latest_answer)
    [[ $answer == *"front=$1 current="* ]] || return 1
    [[ $answer == *"front=$1 current=$2 desired=$2"* || $answer == *"-> select($2) returned"* ]]
}

windows_settled() {
    case $(xdotool getactivewindow 2>/dev/null) in
    "$english_window") answered "$english_class" xkb:us ;;
    "$russian_window") answered "$russian_class" xkb:ru ;;
    *) return 1 ;;
    esac
}

switches_seen=0
bring_to_front() { # <window> <class> <source>
    say "Bringing $2 to the front (its rule: $3)."
    # xdotool complains while no window is active, a moment during every switch; only a failure
    # is worth its words.
    timeout 5 xdotool windowactivate --sync "$1" 2>"$work/xdotool.err" ||
        { cat "$work/xdotool.err" >&2; fail "the window manager did not activate $2"; }
    if ! wait_until 5 answered "$2" "$3"; then
        say "  WARNING: Korvalen did not answer within 5 s."
        return 0
    fi
    local answer
    answer=$(latest_answer)
    if [[ $answer == *"-> select($3) returned true"* ]]; then
        say "  Korvalen switched the layout to $3."
        switches_seen=$((switches_seen + 1))
    elif [[ $answer == *"-> select($3) returned false"* ]]; then
        say "  WARNING: Korvalen asked for $3, and the X server refused."
    else
        say "  The layout already was $3; nothing to switch."
    fi
}

# Each window took the front as it opened; the rounds start once Korvalen has answered the
# last of them, with the other window, so that every step changes the window in front.
wait_until 10 windows_settled || fail "Korvalen did not answer the opening of the windows"
if [ "$(xdotool getactivewindow)" = "$english_window" ]; then
    order=("$russian_window $russian_class xkb:ru" "$english_window $english_class xkb:us")
else
    order=("$english_window $english_class xkb:us" "$russian_window $russian_class xkb:ru")
fi
for round in 1 2; do
    say "Round $round of 2:"
    for step in "${order[@]}"; do
        # shellcheck disable=SC2086 # three words: window, class, source
        bring_to_front $step
    done
done

# --- The rules window, by a second korvalen --------------------------------------------------

say "Running korvalen a second time: it asks the running one to open its rules window."
start second-korvalen "$korvalen"
second=$(pid_of second-korvalen)
rules_window_open() {
    xdotool search --onlyvisible --name "^$rules_window_title\$" >/dev/null 2>&1
}
window_open_or_second_ended() {
    rules_window_open || has_ended "$second"
}
# A hand-off ends the second korvalen and opens the window, in either order.
if wait_until 10 window_open_or_second_ended && ! rules_window_open; then
    wait_until 5 rules_window_open || true
fi
if rules_window_open; then
    say "  The rules window \"$rules_window_title\" is open."
    # Beside the two windows rather than over them, for the screenshot.
    timeout 5 xdotool search --onlyvisible --name "^$rules_window_title\$" \
        windowmove --sync %@ 390 40 >/dev/null || true
    wait_until 5 has_ended "$second" || true
else
    say "  WARNING: no window \"$rules_window_title\" appeared."
fi
if has_ended "$second"; then
    second_status=0
    reap second-korvalen || second_status=$?
    say "  The second korvalen ended with status $second_status."
    if [ "$second_status" -ne 0 ]; then
        sed 's/^/            /' "$work/second-korvalen.out"
    fi
else
    say "  WARNING: the second korvalen is still running: it did not hand over to the first" \
        "one. It is ended with the rest."
fi

say "Taking a screenshot of the whole screen."
import -window root "$screenshot" || fail "import could not take the screenshot"
show_new_log_lines

# --- The verdict -------------------------------------------------------------------------------

echo
switches_logged=$(grep -c -- '-> select(.*) returned true' "$demo_log" || true)
say "Screenshot: $screenshot"
if [ "$switches_logged" -eq 0 ]; then
    fail "Korvalen switched no layout; its output is in $work/korvalen.out"
fi
say "Done: Korvalen switched the layout $switches_logged times ($switches_seen when a window" \
    "came to the front)."
succeeded=true
