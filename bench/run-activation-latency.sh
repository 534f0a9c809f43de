#!/usr/bin/env bash
# run-activation-latency.sh [build folder] [-- benchmark arguments…]
#
# Installs what the activation latency benchmark needs (Xvnc, setxkbmap, openbox, xterm, xxkb),
# builds Korvalen and the benchmark in the build folder (the default preset's unless given) and
# runs it: Korvalen and xxkb side by side, each switching the layout as two windows take turns in
# front. Any further arguments go to the benchmark (--activations N, --korvalen PATH).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

build=build/default
if [ $# -gt 0 ] && [ "$1" != -- ]; then
    build=$1
    shift
fi
[ "${1:-}" != -- ] || shift

ensure_packages "${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
if [ "$build" = build/default ]; then
    cmake --preset default
else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target bench_activation_latency
exec "$build/bench/bench_activation_latency" "$@"
