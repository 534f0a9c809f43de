#!/usr/bin/env bash
# korvalen-process.sh <korvalen> <bench_korvalen>
#
# Measures the real program on a desktop of its own (bench/lib/x-session.sh), with a terminal in
# front: the time from exec to its first enforcement pass (warm, the median of five starts), then
# what it costs while nothing happens for $KORVALEN_BENCH_IDLE_SECONDS seconds (60 unless set),
# first with no website rules, then with website rules. Runs under dbus-run-session, for a
# session bus of its own. Prints the figures; what the programs said goes to standard error.
set -euo pipefail

korvalen=$(realpath "$1")
bench=$(realpath "$2")
idle_seconds=${KORVALEN_BENCH_IDLE_SECONDS:-60}
# shellcheck source=bench/lib/x-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/x-session.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/korvalen-bench.XXXXXX")
trap 'x_session_stop; rm -rf "$work"' EXIT
x_session_start "$work"
# Its first pass names the application in front, which tells this Korvalen's lines in the shared
# log from those of any other running at the same time.
front=KorvalenBench$$
x_session_open_window "$front"

# One rule as the settings file keeps it: JSON, its quotes escaped for the INI value.
json_object() { # <key> <value> …
    local separator=""
    printf '{'
    while [ $# -gt 0 ]; do
        printf '%s\\"%s\\":\\"%s\\"' "$separator" "$1" "$2"
        separator=,
        shift 2
    done
    printf '}'
}

# Twenty application rules, as many website rules as asked, and a default input source.
write_settings() { # <website rules>
    local i rules="" websites=""
    for i in $(seq 0 19); do
        rules+=${rules:+,}$(json_object bundleID "org.example.app$i" appDisplayName "App $i" \
            inputSourceID "xkb:$([ $((i % 2)) = 0 ] && echo us || echo ru)" \
            inputSourceDisplayName "Layout $((i % 2))")
    done
    for ((i = 0; i < $1; i++)); do
        websites+=${websites:+,}$(json_object domain "site$i.example.org" \
            inputSourceID xkb:ru inputSourceDisplayName Russian)
    done
    cat >"$XDG_CONFIG_HOME/Korvalen/Korvalen.conf" <<SETTINGS
[General]
Korvalen.rules="@ByteArray([$rules])"
Korvalen.websiteRules="@ByteArray([$websites])"
Korvalen.lockedSourceID=xkb:us
Korvalen.lockedSourceName=English (US)
Korvalen.globalFallbackMode=defaultOnly
SETTINGS
}

write_settings 0
"$bench" startup 5 "$front" "$korvalen"
"$bench" idle "$idle_seconds" "$front" "no website rules" "$korvalen"
write_settings 3
"$bench" idle "$idle_seconds" "$front" "website rules, a terminal in front" "$korvalen"
