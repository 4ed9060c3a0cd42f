#!/usr/bin/env bash
# Builds the launcher and the launch benchmark (PRESET=win32 by default, or win64), then runs the
# benchmark under Wine in its own scratch prefix build/bench-wine. Arguments go to the benchmark
# (the number of runs, default 3; --install [runs] for the installation benchmark, which needs the
# target full_payload). bench/run.sh runs every benchmark and prints the table.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=../../scripts/wine-prefix.sh
source scripts/wine-prefix.sh
wine_choose_loader "$PWD"
PRESET=${PRESET:-win32}
if [ "$WINE_RUNS_32BIT" = 0 ] && [ "$PRESET" = win32 ]; then
  setup_failed "running the win32 benchmark" "$WINE_32BIT_REFUSAL; PRESET=win64 runs the 64-bit one"
fi
BUILD=build/$PRESET
cmake --preset "$PRESET" >/dev/null
cmake --build --preset "$PRESET" -j2 --target launch_bench full_payload
wine_prefix_start "$PWD/build/bench-wine"
trap wine_prefix_stop EXIT
# Output through a file: a pipe from wine can hang until the server ends.
out=$(mktemp)
status=0
wine "$BUILD/bench/launch/launch_bench.exe" "$@" >"$out" 2>&1 </dev/null || status=$?
cat "$out"
rm -f "$out"
exit "$status"
