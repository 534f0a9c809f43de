#!/usr/bin/env bash
# run-installed.sh <prefix> <strace>
# Starts <prefix>/bin/korvalen as a user would, in German, waits for the line it prints once it
# runs, and checks that it found its translations, and found them in <prefix>: a build-tree
# copy of the bundle is the program's fallback, so it would also start well when installing
# the bundle had failed. Which bundle it read is seen from outside, in the file system calls
# strace records.
set -euo pipefail

prefix=$(realpath "$1")
strace=$2
work=$(mktemp -d)
korvalen_pid=
cleanup() {
    if [ -n "$korvalen_pid" ]; then
        kill "$korvalen_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/config" "$work/runtime"

fail() {
    echo "FAIL: $*"
    echo "--- standard error of korvalen:"
    cat "$work/stderr"
    exit 1
}

# Own settings, own runtime folder (so no other instance is found), no X display and no
# session bus: the program starts the same on any machine and touches nothing of the user's.
# The shell prints its process ID before it becomes korvalen, so the test can end korvalen
# rather than strace, which would let it run on detached.
coproc KORVALEN {
    exec "$strace" -f -qq -e trace=%file -o "$work/trace" -- \
        env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
        QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
        LANG=de_DE.UTF-8 LANGUAGE=de \
        bash -c 'echo $$; exec "$1"' _ "$prefix/bin/korvalen" 2>"$work/stderr"
}
strace_pid=$KORVALEN_PID
read -r -t 60 -u "${KORVALEN[0]}" korvalen_pid || fail "korvalen was not started"
read -r -t 60 -u "${KORVALEN[0]}" first_line || fail "korvalen printed no line within 60 s"
kill "$korvalen_pid"
korvalen_pid=
wait "$strace_pid" || true

echo "korvalen: $first_line"
[[ $first_line == *"interface language de"[.\;]* ]] || fail "not running in German"
if grep -q "could not load resource bundle" "$work/stderr"; then
    fail "the resource bundle was not found"
fi
bundle="$prefix/share/korvalen/Korvalen_Korvalen.bundle"
if other=$(grep -F "Korvalen_Korvalen.bundle" "$work/trace" |
           grep -v -F -e "\"$bundle\"" -e "\"$bundle/"); then
    fail "a resource bundle outside $prefix was looked at, first:"$'\n'"${other%%$'\n'*}"
fi
# A successful call returns 0 or a file descriptor, a failed one -1.
grep -F "\"$bundle/de.lproj" "$work/trace" | grep ' = [0-9]' >/dev/null ||
    fail "the German translations in $bundle were not looked at"
echo "korvalen read its translations from $bundle only"
