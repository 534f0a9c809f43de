#!/usr/bin/env bash
# xvnc-fixture.sh start|stop <folder>
# start: runs an Xvnc server on a free display and writes its display name (":42") to
#        <folder>/display and its process id to <folder>/pid once it accepts connections.
# stop:  ends that server and waits until it is gone.
# A server left behind by an interrupted run is stopped before a new one starts.
set -euo pipefail
action=$1
folder=$2

start() {
    mkdir -p "$folder"
    stop
    rm -f "$folder/display" "$folder/ready"
    mkfifo "$folder/ready"
    local display pid number
    # Away from the low displays that desktop sessions and other tools take.
    for display in $(seq 40 99); do
        if [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; then
            continue
        fi
        # -displayfd: the server writes its display number to fd 3 when it is ready; it closes
        # the pipe without writing when it cannot start (say another server took the display).
        Xvnc ":${display}" -SecurityTypes None -rfbport -1 -nolisten tcp -displayfd 3 \
            3>"$folder/ready" </dev/null >"$folder/xvnc.log" 2>&1 &
        pid=$!
        number=""
        read -r -t 30 number <"$folder/ready" || true
        if [ "$number" = "$display" ]; then
            rm -f "$folder/ready"
            echo "$pid" >"$folder/pid"
            echo ":${display}" >"$folder/display"
            echo "Xvnc ready on :${display} (process ${pid})"
            return 0
        fi
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -f "$folder/ready"
    echo "Xvnc did not start; its last words:" >&2
    cat "$folder/xvnc.log" >&2
    return 1
}

stop() {
    [ -f "$folder/pid" ] || return 0
    local pid
    pid=$(cat "$folder/pid")
    rm -f "$folder/pid" "$folder/display"
    # The process id may have been reused since (after a reboot, say): end only an Xvnc.
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "Xvnc" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    timeout 10 tail --pid="$pid" -f /dev/null
}

case "$action" in
start) start ;;
stop) stop ;;
*)
    echo "usage: $0 start|stop <folder>" >&2
    exit 2
    ;;
esac
