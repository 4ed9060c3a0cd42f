#!/usr/bin/env bash
# UI test under Xvfb: msgbox-probe.exe starts the program, reads its message box, waits while we
# take a screenshot, presses the button; then the texts and the full exit code are checked. Own X
# server and own Wine desktop, so that no other display or prefix desktop is touched.
#   message_box_ui_test.sh <out-dir> <probe.exe> <caption> <expected-text-part> <expected-exit> <program.exe> [args...]
set -euo pipefail
out=$(realpath -m "$1") probe=$2 caption=$3 expected=$4 expected_exit=$5 program=$6
shift 6
: "${WINEPREFIX:?WINEPREFIX must name the scratch prefix}"
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$out"
rm -f "$out/box.txt" "$out/press" "$out/box.png" "$out/display"

exec 3>"$out/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.out" 2>&1 &
xvfb=$!
exec 3>&-
cleanup() { kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 1 100); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || { echo "FAIL: Xvfb did not start"; cat "$out/xvfb.out"; exit 1; }
export DISPLAY=":$(head -n1 "$out/display")"

winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
quote() { case $1 in *' '*) printf '"%s"' "$1" ;; *) printf '%s' "$1" ;; esac; }
command_line=$(quote "$(winpath "$program")")
for arg in "$@"; do command_line+=" $(quote "$arg")"; done

# Wine draws Japanese and Chinese dialog text with Windows' CJK fonts, which a Debian machine lacks;
# WenQuanYi Zen Hei (fonts-wqy-zenhei) stands in for them.
fonts=$out/cjk-fonts.reg
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for face in "MS UI Gothic" "MS Gothic" "MS PGothic" "Meiryo UI" "SimSun" "NSimSun" "Microsoft YaHei"; do
    printf '"%s"="WenQuanYi Zen Hei"\r\n' "$face"
  done
} >"$fonts"
wine regedit /S "$(winpath "$fonts")" >/dev/null 2>&1 </dev/null

# The caption goes by file: a non-ASCII argument reaches Wine intact only in an installed locale.
printf '%s' "$caption" >"$out/caption.txt"
desktop="msgbox-ui-$$"
wine explorer "/desktop=$desktop,800x600" "$(winpath "$probe")" "@$(winpath "$out/caption.txt")" "$(winpath "$out/box.txt")" \
  "$(winpath "$out/press")" "${PROBE_TIMEOUT_MS:-60000}" "$command_line" >"$out/probe.out" 2>&1 </dev/null &
probe_pid=$!

for _ in $(seq 1 600); do grep -q '^text: \|^no box\|^start failed' "$out/box.txt" 2>/dev/null && break; sleep 0.1; done
if grep -q '^text: ' "$out/box.txt" 2>/dev/null; then
  xwd -root -silent -display "$DISPLAY" | convert xwd:- "$out/box.png"
fi
touch "$out/press"
for _ in $(seq 1 600); do grep -q '^exit: \|^start failed' "$out/box.txt" 2>/dev/null && break; sleep 0.1; done
kill "$probe_pid" 2>/dev/null || true
wait "$probe_pid" 2>/dev/null || true

cat "$out/box.txt" 2>/dev/null || true
fail=0
grep -q '^text: ' "$out/box.txt" 2>/dev/null || { echo "FAIL: no message box with caption '$caption' appeared"; fail=1; }
[ -s "$out/box.png" ] && echo "screenshot: $out/box.png"
grep -qxF "caption: $caption" "$out/box.txt" || { echo "FAIL: caption differs from: $caption"; fail=1; }
grep -qF -- "$expected" "$out/box.txt" || { echo "FAIL: text lacks: $expected"; fail=1; }
grep -qx "exit: $expected_exit" "$out/box.txt" || { echo "FAIL: exit code is not $expected_exit"; fail=1; }
[ $fail -eq 0 ] && echo "PASS"
exit $fail
