#!/usr/bin/env bash
# run-browser-integration.sh <korvalen>
# `korvalen --browser-integration` as a user runs it, in a home folder of its own where only
# Chromium has run: it registers the host beside korvalen with Chromium alone, reports it, and
# takes it back; a korvalen without its host beside it installs nothing and says why.
set -euo pipefail
korvalen=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/config/chromium" "$work/runtime" "$work/alone"
chmod 700 "$work/runtime"

fail() {
    echo "FAIL: $*"
    exit 1
}
run() { # <korvalen> <arguments…>: prints standard output and error, then the exit status
    local program=$1 status=0
    shift
    env -i HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
        PATH=/nonexistent "$program" "$@" 2>&1 || status=$?
    echo "exit $status"
}
expect() { # <what> <output> <text it must contain>
    [[ $2 == *"$3"* ]] || fail "$1 does not say: $3"$'\n'"It says:"$'\n'"$2"
}

manifest="$work/config/chromium/NativeMessagingHosts/io.github.korvalen.browser_host.json"
host="$(dirname "$korvalen")/korvalen-browser-host"

output=$(run "$korvalen" --browser-integration install)
expect install "$output" "Chromium: wrote $manifest"
expect install "$output" "Firefox: not installed, skipped"
expect install "$output" "exit 0"
grep -F "\"path\": \"$host\"" "$manifest" >/dev/null || fail "the manifest does not name $host"

output=$(run "$korvalen" --browser-integration status)
expect status "$output" "Chromium: host manifest $manifest starts $host; extension unknown."
expect status "$output" "Google Chrome: not installed."

output=$(run "$korvalen" --browser-integration remove)
expect remove "$output" "Chromium: removed $manifest"
[ ! -e "$manifest" ] || fail "the manifest is still there"

cp "$korvalen" "$work/alone/korvalen"
output=$(run "$work/alone/korvalen" --browser-integration install)
expect "install without the host" "$output" "the native messaging host $work/alone/korvalen-browser-host is missing"
expect "install without the host" "$output" "exit 1"
[ ! -e "$manifest" ] || fail "a manifest was written for a missing host"
echo "korvalen --browser-integration installs, reports and removes the host manifest"
