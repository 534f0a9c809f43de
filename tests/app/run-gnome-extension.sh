#!/usr/bin/env bash
# run-gnome-extension.sh <korvalen> <the source tree's gnome-shell folder>
# `korvalen --gnome-extension` as a user runs it outside a GNOME session: in a home folder of its
# own, without a session bus or GNOME's settings schema, and with a gnome-shell on PATH that only
# tells its version. It installs the copy for that version and says what is left to do, reports
# it and takes it away; for a GNOME Shell older than the extension it installs nothing and says
# why.
set -euo pipefail
korvalen=$1
copies=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/data" "$work/config" "$work/runtime" "$work/bin" "$work/no-data"
chmod 700 "$work/runtime"

fail() {
    echo "FAIL: $*"
    exit 1
}
shell_version() { # <version>: what the gnome-shell on PATH tells
    printf '#!/bin/sh\necho "GNOME Shell %s"\n' "$1" >"$work/bin/gnome-shell"
    chmod +x "$work/bin/gnome-shell"
}
run() { # <arguments…>: prints standard output and error, then the exit status
    local status=0
    env -i HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$work/no-data" \
        XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" GSETTINGS_BACKEND=memory \
        PATH="$work/bin" "$korvalen" "$@" 2>&1 || status=$?
    echo "exit $status"
}
expect() { # <what> <output> <text it must contain>
    [[ $2 == *"$3"* ]] || fail "$1 does not say: $3"$'\n'"It says:"$'\n'"$2"
}

copy="$work/data/gnome-shell/extensions/korvalen@korvalen.github.io"

shell_version 44.2
output=$(run --gnome-extension install)
expect install "$output" "GNOME Shell 44.2: installed Korvalen's extension in $copy."
expect install "$output" "GNOME is not installed here (no org.gnome.shell settings schema), so it was not enabled; the files are in place for when GNOME is."
expect install "$output" "exit 0"
diff -r "$copies/43" "$copy" || fail "$copy is not the copy for GNOME Shell 43 and 44"

output=$(run --gnome-extension status)
expect status "$output" "GNOME Shell: 44.2, installed but not running here"
expect status "$output" "Your copy: $copy"$'\n'
expect status "$output" "Running now: no"
expect status "$output" "exit 0"

output=$(run --gnome-extension remove)
expect remove "$output" "Removed $copy."
expect remove "$output" "exit 0"
[ ! -e "$copy" ] || fail "$copy is still there"

shell_version 42.1
output=$(run --gnome-extension install)
expect "install for GNOME Shell 42" "$output" "Nothing was installed: GNOME Shell 42.1 is older than Korvalen's extension supports (43 and later)."
expect "install for GNOME Shell 42" "$output" "exit 1"
[ ! -e "$copy" ] || fail "a copy was installed for GNOME Shell 42"
echo "korvalen --gnome-extension installs, reports and removes the extension"
