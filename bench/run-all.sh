#!/usr/bin/env bash
# bench/run-all.sh [benchmark…]: every benchmark, with one command.
#
# Installs the Debian packages that are missing, builds Korvalen and the benchmarks in Release
# (into $KORVALEN_BENCH_BUILD_DIR, build/bench unless set) and runs them, printing each figure as
# one line: "<name>: <value> <unit> (target …) on N cores". The benchmarks' own remarks (spreads,
# wake-ups by thread, the programs' output) go to a details file named at the end. Names given
# run only those benchmarks: enforcement, menu, rules-window, picker, program (start-up and idle
# cost of the real program) and latency (as bench/run-activation-latency.sh runs it). Exits
# non-zero when a benchmark failed; a figure that misses its target is reported, not failed.
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$source_dir"
source scripts/lib/common.sh

all=(enforcement menu rules-window picker program latency)
chosen=("$@")
[ ${#chosen[@]} -gt 0 ] || chosen=("${all[@]}")
for name in "${chosen[@]}"; do
    [[ " ${all[*]} " == *" $name "* ]] || { echo "unknown benchmark: $name (${all[*]})" >&2; exit 2; }
done
wanted() {
    [[ " ${chosen[*]} " == *" $1 "* ]]
}

ensure_packages "${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"

build_dir=${KORVALEN_BENCH_BUILD_DIR:-$source_dir/build/bench}
mkdir -p "$build_dir"
details=$build_dir/bench-details.log
: >"$details"

# Timed in Release: the presets build with debug info, which is not what users run. Tests are
# left out; the benchmarks are all this build is for. Compiling yields to others on the machine.
echo "Building Korvalen and the benchmarks in Release in $build_dir…" >&2
{
    nice cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_TESTING=OFF
    nice cmake --build "$build_dir" --target korvalen bench_enforcement bench_status_menu \
        bench_rules_window bench_picker_apps bench_korvalen bench_activation_latency
} >"$build_dir/bench-build.log" 2>&1 ||
    { tail -n 30 "$build_dir/bench-build.log" >&2; echo "The build failed." >&2; exit 1; }
bench=$build_dir/bench
korvalen=$build_dir/src/app/korvalen

echo "Korvalen's benchmarks on $(nproc) cores (load average $(cut -d' ' -f1-3 /proc/loadavg)):"
failed=()
# run <name> <command…>: its figures to standard output, its remarks to the details file.
run() {
    local name=$1
    shift
    wanted "$name" || return 0
    echo "=== $name" >>"$details"
    "$@" 2>>"$details" || failed+=("$name")
}
run enforcement "$bench/bench_enforcement"
run menu "$bench/bench_status_menu"
run rules-window "$bench/bench_rules_window"
run picker "$bench/bench_picker_apps"
run program dbus-run-session -- bash bench/korvalen-process.sh "$korvalen" "$bench/bench_korvalen"
run latency "$bench/bench_activation_latency" --korvalen "$korvalen"

echo "Details: $details" >&2
if [ ${#failed[@]} -gt 0 ]; then
    echo "Failed: ${failed[*]}" >&2
    exit 1
fi
