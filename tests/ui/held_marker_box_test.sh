#!/usr/bin/env bash
# The in-progress box: another program holds the install-in-progress marker (created by opening
# it, so that it is held as soon as it exists) while the launcher starts without /s.
#   held_marker_box_test.sh <wine-run> <hold_file.exe> <message_box_ui_test.sh arguments...>
set -euo pipefail
run=$1 holder=$2
shift 2
profile=$("$run" cmd /c 'echo %USERPROFILE%' </dev/null | tr -d '\r')
marker_windows="$profile\\AppData\\LocalLow\\Halden\\Mako\\MAKO_INSTALL_FLAG"
marker=$("$run" winepath -u "$marker_windows" </dev/null | tr -d '\r')
mkdir -p "$(dirname "$marker")"
rm -f "$marker"
"$run" "$holder" "$marker_windows" 600000 - >/dev/null 2>&1 </dev/null &
holder_pid=$!
trap 'kill "$holder_pid" 2>/dev/null || true; wait "$holder_pid" 2>/dev/null || true; rm -f "$marker"' EXIT
for _ in $(seq 1 600); do [ -e "$marker" ] && break; sleep 0.1; done
[ -e "$marker" ] || { echo "FAIL: the marker was not held: $marker"; exit 1; }
bash "$(dirname "$0")/message_box_ui_test.sh" "$@"
