#!/usr/bin/env bash
# The benchmark table: builds what it needs, runs every benchmark under Wine in the scratch prefix
# build/bench-wine and prints one table of ratios measured side by side in the same run.
#
#   bash bench/run.sh [runs]        runs per figure (default 3; settings rounds: 5 x runs)
#   PRESETS="win32 win64" bash bench/run.sh
#
# Default launcher: the shipped 32-bit one (win32); the 64-bit one (win64) where the host refuses
# 32-bit programs, through Wine's 64-bit loader. Each benchmark's full output lands in
# build/bench-results/<launcher>-<benchmark>.txt. Timing never fails the run; a benchmark that could
# not do its job does.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# shellcheck source=../scripts/wine-prefix.sh
source scripts/wine-prefix.sh
wine_choose_loader "$root"

runs=${1:-3}
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || setup_failed "reading the arguments" "runs must be a positive number, not '$runs'"
if [ -n "${PRESETS:-}" ]; then
  presets=$PRESETS
elif [ "$WINE_RUNS_32BIT" = 1 ]; then
  presets=win32
else
  presets=win64
fi
for preset in $presets; do
  case $preset in
    win32) [ "$WINE_RUNS_32BIT" = 1 ] || setup_failed "running the win32 benchmarks" "$WINE_32BIT_REFUSAL" ;;
    win64) ;;
    *) setup_failed "reading PRESETS" "unknown launcher build '$preset' (win32 or win64)" ;;
  esac
done

results=$root/build/bench-results
mkdir -p "$results"
rows=$results/rows.txt
: >"$rows"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

for preset in $presets; do
  # The preset's own build folder: the benchmarks measure the launcher as the tests build it.
  echo "Building the $preset benchmarks in build/$preset (log: $results/build-$preset.txt)"
  { cmake --preset "$preset" && \
    cmake --build --preset "$preset" -j2 --target launch_bench log_bench settings_bench full_payload; } \
    >"$results/build-$preset.txt" 2>&1 || setup_failed "building the $preset benchmarks" "see $results/build-$preset.txt"
done

wine_prefix_start "$root/build/bench-wine"
trap wine_prefix_stop EXIT

# run_bench <launcher build> <name> <program> [arguments]: output through a file (a pipe from wine can
# hang until the server ends); its table rows are kept.
run_bench() {
  local preset=$1 name=$2 out=$results/$1-$2.txt status=0
  shift 2
  echo "Running $preset $name ..."
  wine "$@" >"$out" 2>&1 </dev/null || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$out"
    setup_failed "running the $preset $name benchmark" "it ended with status $status"
  fi
  grep '^ROW|' "$out" | tr -d '\r' >>"$rows"
}

for preset in $presets; do
  dir=build/$preset/bench
  run_bench "$preset" launch "$dir/launch/launch_bench.exe" "$runs"
  run_bench "$preset" install "$dir/launch/launch_bench.exe" --install "$runs"
  run_bench "$preset" settings "$dir/settings/settings_bench.exe" $((runs * 5))
  run_bench "$preset" log "$dir/log/log_bench.exe" "$runs"
done

if [ "$WINE_RUNS_32BIT" = 1 ]; then
  loader="Wine's 32-bit loader available"
else
  loader="Wine's 64-bit loader only ($WINE_32BIT_REFUSAL)"
fi
echo
echo "Benchmark table, $(date -u '+%Y-%m-%d %H:%M UTC'): $(wine --version 2>/dev/null </dev/null), $loader;"
echo "$(nproc) cores, load average $load_before at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end."
echo "Medians of the runs; a ratio is the median of the per-run ratios (both figures from the same run)."
echo
echo "| | figure | launcher | runs | medians | value | goal | |"
echo "|---|---|---|---:|---|---:|---|---|"
# Grouped by figure, launchers in the order run.
awk -F'|' '{ printf "| %s | %s | %s | %s | %s | %s | %s | %s |\n", $2, $3, $4, $5, $6, $7, $8, $9 }' "$rows" |
  LC_ALL=C sort -s -t"|" -k2,2
