#!/usr/bin/env bash
# The launcher's main job on a fresh Debian machine: installs what is missing, builds the shipped
# 32-bit launcher with the stand-in payload, creates a scratch Wine prefix, runs
#   mako-forge-setup.exe /s
# there, and prints a short report: exit code, what was installed (kit, public runtime, update agent),
# and the launcher's log entries.
# Extra arguments are passed to the launcher after /s. PRESET=win64 runs the native 64-bit launcher,
# which is also what runs on a host that refuses 32-bit programs (or with LAUNCHER_WIN64_ONLY=1).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh
source scripts/wine-prefix.sh
wine_choose_loader "$root"
preset=${PRESET:-win32}
if [ "$WINE_RUNS_32BIT" = 0 ]; then
  [ -z "${PRESET:-}" ] || [ "$PRESET" = win64 ] ||
    setup_failed "running the $PRESET launcher" "$WINE_32BIT_REFUSAL"
  preset=win64
  echo "The main job runs the 64-bit launcher (build/win64): $WINE_32BIT_REFUSAL."
fi

cmake --preset "$preset" >/dev/null || setup_failed "configuring preset $preset" "cmake --preset $preset failed"
cmake --build --preset "$preset" -j "$(nproc)" --target mako-forge-setup exit_code_runner >/dev/null ||
  setup_failed "building the $preset launcher" "the build failed (run cmake --build --preset $preset to see why)"

prefix=$root/build/main-job-prefix
wine_prefix_stop_quiet() { WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 </dev/null || true; }
wine_prefix_stop_quiet
rm -rf "$prefix"
wine_prefix_start "$prefix"
trap wine_prefix_stop EXIT

out=$root/build/main-job
rm -rf "$out" && mkdir -p "$out"
# Paths are converted here and Wine's output goes through files: the output of a wine command
# (winepath included) captured through a pipe can hang while Wine's system processes hold it.
windows_path() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
unix_path() { local p=${1#[Cc]:}; printf '%s/drive_c%s' "$prefix" "${p//\\//}"; }
launcher=$root/build/$preset/mako-forge-setup.exe
runner=$root/build/$preset/tools/exit_code_runner.exe

echo "Running: mako-forge-setup.exe /s $*"
start=$(date +%s.%N)
wine "$runner" --out "$(windows_path "$out/exit-code.txt")" "$(windows_path "$launcher")" /s "$@" \
  >"$out/runner.out" 2>&1 </dev/null || true
end=$(date +%s.%N)
wineserver -w >/dev/null 2>&1 </dev/null || true

code=$(tr -d '\r\n' <"$out/exit-code.txt" 2>/dev/null || echo "unknown")
query() { wine reg query "$1" $2 >"$out/reg.txt" 2>/dev/null </dev/null; tr -d '\r' <"$out/reg.txt"; }
# The version and product codes as this build defines them (cmake/ProductFacts.cmake).
fact() { sed -n "s/^#define $1 \"\(.*\)\"\$/\1/p" "$root/build/$preset/generated/product_facts.h"; }
version=$(fact MAKO_VERSION)
view=/reg:32 kit_code=$(fact MAKO_KIT_PRODUCT_CODE_32)
[ "$preset" = win64 ] && view=/reg:64 kit_code=$(fact MAKO_KIT_PRODUCT_CODE_64)
kit_key="HKLM\\SOFTWARE\\Velmora\\Mako Development Kit\\$version"

echo
echo "== Report"
printf 'Exit code:        %s\n' "$code"
awk -v s="$start" -v e="$end" 'BEGIN { printf "Time:             %.1f s\n", e - s }'
echo
echo "Development kit registry values ($kit_key, $view):"
query "$kit_key" "$view" | sed -n 's/^ \{4\}/  /p' || echo "  (key not found)"
home=$(query "$kit_key" "$view" | awk -F'REG_SZ' '/MakoHome/ {gsub(/^[ \t]+|[ \t]+$/, "", $2); print $2}')
echo
echo "Uninstall entry of the kit:"
query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' "$view" | grep -iF "$kit_code" | sed 's/^/  /' || echo "  (none)"
echo
if [ -n "$home" ]; then
  unix_home=$(unix_path "$home")
  echo "Files in $home:"
  (cd "$unix_home" && find . -type f | sort | sed 's/^\.\//  /')
fi
echo
wine cmd /c echo %TEMP% >"$out/temp.txt" 2>/dev/null </dev/null
temp=$(unix_path "$(tr -d '\r' <"$out/temp.txt")")
log=$temp/musched.log
echo "Extracted payload (work folder):"
find "$prefix/drive_c/users" -path '*/Halden/Mako/forge*' -type f -printf '  %P  %s bytes\n' 2>/dev/null | sed 's|^  .*/Halden/|  Halden/|'
echo
record() {  # record <title> <file>: what a stand-in program wrote about its calls
  echo "$1:"
  if [ -f "$2" ]; then tr -d '\r' <"$2" | sed 's/^/  /'; else echo "  (none)"; fi
  echo
}
record "Public-runtime installer (loom.exe) calls" "$temp/loom-calls.txt"
runtime_key="HKLM\\SOFTWARE\\Velmora\\Mako Runtime Environment\\$version"
echo "Public runtime registry values ($runtime_key, $view):"
query "$runtime_key" "$view /s" | sed -n 's/^ \{4\}/  /p' || echo "  (key not found)"
echo
echo "Update agent (HKLM\SOFTWARE\Velmora\Auto Update, /reg:32):"
query 'HKLM\SOFTWARE\Velmora\Auto Update' /reg:32 | sed -n 's/^ \{4\}/  /p' || echo "  (not installed)"
echo
record "Agent registration program (maureg.exe) calls" "$temp/maureg-calls.txt"
echo "Launcher log ($log), one line per entry without TRACE lines; the whole file holds headers too:"
if [ -f "$log" ]; then
  tr -d '\r' <"$log" | awk '/^\t/ && !/^\tTRACE:/ { sub(/^\t/, ""); print "  " $0 }'
else
  echo "  (no log)"
fi
