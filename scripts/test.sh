#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the three targets and runs every test.
# Windows tests run under Wine in a scratch prefix of their own (build/wineprefix).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh

jobs=$(nproc)
for preset in host win32 win64; do
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

source scripts/wine-prefix.sh
wine_prefix_start "$root/build/wineprefix"
trap wine_prefix_stop EXIT

status=0
for preset in host win32 win64; do
  echo "== tests: $preset"
  ctest --preset "$preset" -j "$jobs" || status=1
done
exit $status
