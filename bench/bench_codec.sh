#!/usr/bin/env bash
# Builds a Release tree with the benchmarks and prints the codec figures:
# Google Benchmark cases, then FAST and GOOD beside lz4 -1 and gzip -1.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QV_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BENCH=ON -DQV_TESTS=OFF >/dev/null
ninja -C "$build" -j2 bench_codec qvtool
exec "$build/bench/bench_codec" --table --qvtool="$PWD/$build/qvtool" "$@"
