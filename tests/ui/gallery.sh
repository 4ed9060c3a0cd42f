#!/usr/bin/env bash
# Every message box the launcher can show, in one language, on a virtual display: each row provokes
# one box, msgbox-probe.exe finds it by caption, the caption and text are checked against the string
# table, a screenshot of the box is saved as <out-dir>/<box>.png, its OK button is clicked, and the
# launcher's full exit code is checked. The box language follows the user's UI language
# (LC_MESSAGES), whatever the code page (LC_CTYPE); /lang only picks the installer's transform.
# <ansi-launcher.exe> is the launcher as a system without the UTF-8 process code page runs it.
#   gallery.sh <en|ja|zh> <out-dir> <probe.exe> <launcher.exe> <hold_file.exe> <strings.rc> <32|64> <ansi-launcher.exe>
# The names the launcher shares with the world outside it (the kit's registry key, the work folder and
# archive names) are written here again on purpose, as in tests/e2e/e2e_support.h: a changed value
# fails the gallery instead of moving with it.
set -uo pipefail
lang=$1 out=$(realpath -m "$2") probe=$3 launcher=$4 holder=$5 strings=$6 bits=$7 ansi_launcher=$8
: "${WINEPREFIX:?WINEPREFIX must name the scratch prefix}"
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Caption and text are string-table names (looked up in this language) or, for the system's own
# box, literal text whose '*' stands for the system's words; text arguments are separated by '&'.
# @cfg is the row's install configuration file, made by its set-up; @runtime the runtime settings
# file; @guard a 2,100-character MSI_CMDLINE, so that a run whose box fails to show ends with 1639
# before any installer starts instead of installing the kit.
table() {
  cat <<'EOF'
# In English every row runs a second time with /s (a row whose caption is "-" only as written): no
# window of the launcher may appear, and the exit code is the same. Whether a box appears does not
# depend on its language, so the other languages show the boxes only.
# box                   | set-up         | launcher arguments                | caption                           | text                        | text arguments          | button | exit
missing-install-file    | -              | INSTALLCFG=C:\no\such\Łukasz日本.cfg | IDS_ERROR_TITLE                 | IDS_ERROR_OPEN_FILE         | C:\no\such\Łukasz日本.cfg | OK     | -80
key-without-value       | cfg_keyless    | INSTALLCFG=@cfg                   | IDS_ERROR_TITLE                   | IDS_ERROR_MALFORMED         | @cfg&3                  | OK     | -80
not-plain-text          | cfg_not_utf8   | INSTALLCFG=@cfg                   | IDS_ERROR_TITLE                   | IDS_ERROR_NOT_PLAIN_TEXT    | @cfg                    | OK     | -80
file-too-long           | cfg_too_long   | INSTALLCFG=@cfg                   | IDS_ERROR_TITLE                   | IDS_ERROR_FILE_TOO_LONG     | @cfg                    | OK     | -80
cfg-path-invalid        | -              | INSTALLCFG=C:\..\x.cfg            | IDS_ERROR_TITLE                   | IDS_ERROR_CFG_PATH_INVALID  | -                       | OK     | -80
unsupported-switch      | -              | DEPLOYMENT_RULE_SET=C:\rules      | IDS_ERROR_TITLE                   | IDS_ERROR_SWITCHES          | "DEPLOYMENT_RULE_SET";  | OK     | -80
not-representable       | ansi_launcher  | INSTALLDIR=C:\กขค                 | IDS_ERROR_TITLE                   | IDS_ERROR_NOT_REPRESENTABLE | INSTALLDIR              | OK     | -80
runtime-file-unwritable | runtime_folder | AUTO_UPDATE=Enable                | IDS_ERROR_TITLE                   | IDS_ERROR_OPEN_FILE         | @runtime                | OK     | -80
install-in-progress     | held_marker    | @guard                            | IDS_INSTALL_IN_PROGRESS_CAPTION   | IDS_INSTALL_IN_PROGRESS     | -                       | OK     | -1
newer-build             | newer_kit      | -                                 | IDS_NEWER_BUILD_INSTALLED_CAPTION | IDS_NEWER_BUILD_INSTALLED   | -                       | OK     | -1
unsupported-system      | windows_xp     | @guard                            | IDS_WARNING_CAPTION               | IDS_UNSUPPORTED_OS          | -                       | OK     | 1639
payload-not-writable    | work_folder_file | @guard                          | Error                             | Installer : Wrapper.CreateFile  failed with error 3: * | - | OK | 3
archive-not-writable    | archive_folder | MSI_CMDLINE=/qn                   | Error                             | Installer : Wrapper.CreateFile  failed with error 5: * | - | OK | 5
damaged-package         | damaged_package | @guard                           | Error                             | *\\r\\n\\r\\nC:\\\\*\\\\forge3.1.0_27.msi | - | OK | 1620
kept-silent-bad-switch  | kept_silent    | /bogus                            | -                                 | -                           | -                       | -      | -80
EOF
}

run() { wine "$@" </dev/null >/dev/null 2>&1; }
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
# The entry of a string-table name in this language, as written in the resource script.
entry() {
  local tag
  case $lang in en) tag=0x09, ;; ja) tag=0x11, ;; zh) tag=0x04, ;; esac
  awk -v tag="$tag" -v id="$1" '$1 == "LANGUAGE" { in_lang = ($2 == tag) }
    in_lang && $1 == id { s = $0; sub(/^[^"]*"/, "", s); sub(/"[^"]*$/, "", s); print s; exit }' "$strings"
}

# Through a file, not a pipe: Wine's system processes may hold a wine command's output open.
profile_file=$(mktemp)
wine cmd /c 'echo %USERPROFILE%' >"$profile_file" 2>/dev/null </dev/null
profile=$(tr -d '\r' <"$profile_file")
rm -f "$profile_file"
unix_c() { local p=${1#C:}; printf '%s/drive_c%s' "$WINEPREFIX" "${p//\\//}"; }
mako=$(unix_c "$profile\\AppData\\LocalLow\\Halden\\Mako")
[ "$bits" = 64 ] && view=/reg:64 suffix=_x64 || view=/reg:32 suffix=
kit_key='HKLM\SOFTWARE\Velmora\Mako Development Kit\3.1.0_27'
app_key='HKCU\Software\Wine\AppDefaults\mako-forge-setup.exe'
runtime_folder=$WINEPREFIX/drive_c/ProgramData/Brennic/Mako

# Set-ups, each with its undo where it leaves something behind (run whatever the outcome).
ansi_launcher() { shipped_launcher=$launcher launcher=$ansi_launcher; }
ansi_launcher_undo() { launcher=$shipped_launcher; }
cfg_keyless() { printf '# line 3 lost its value\r\nEULA=Enable\r\nINSTALLDIR\r\n' >"$cfg"; }
cfg_not_utf8() { printf 'EULA=Enable\r\nINSTALLDIR=C:\\\xff\r\n' >"$cfg"; }
cfg_too_long() { head -c 1048576 /dev/zero | tr '\0' '#' >"$cfg"; }
held_marker() {
  mkdir -p "$mako" && rm -f "$mako/MAKO_INSTALL_FLAG"
  wine "$holder" "$profile\\AppData\\LocalLow\\Halden\\Mako\\MAKO_INSTALL_FLAG" 600000 - </dev/null >/dev/null 2>&1 &
  holder_pid=$!
  for _ in $(seq 100); do [ -e "$mako/MAKO_INSTALL_FLAG" ] && break; sleep 0.1; done
  [ -e "$mako/MAKO_INSTALL_FLAG" ]
}
held_marker_undo() { kill "$holder_pid"; wait "$holder_pid"; rm -f "$mako/MAKO_INSTALL_FLAG"; }
newer_kit() { run reg add "$kit_key" /v BuildNumber /d 10 /f $view; }
newer_kit_undo() { run reg delete "$kit_key" /f $view; }
windows_xp() { run reg add "$app_key" /v Version /d winxp /f; }
windows_xp_undo() { run reg delete "$app_key" /f; rm -rf "$(unix_c "$profile")/AppData/Roaming/Halden"; }
# A folder where the runtime settings file must be written: the export before the installer fails.
runtime_folder() { mkdir -p "$runtime_folder/mako.settings.cfg"; }
runtime_folder_undo() { rmdir "$runtime_folder/mako.settings.cfg"; }
# A read-only package file would do under Windows, but Wine run as root writes it anyway.
work_folder_file() { mkdir -p "$mako" && rm -rf "$mako/forge3.1.0_27$suffix" && touch "$mako/forge3.1.0_27$suffix"; }
work_folder_file_undo() { rm -f "$mako/forge3.1.0_27$suffix"; }
# A folder where the archive the kit installs from is to be written: the worker fails while the
# installer runs, and the installer fails for want of it.
archive_folder() { mkdir -p "$mako/forge3.1.0_27$suffix/st310270.cab"; }
archive_folder_undo() { rmdir "$mako/forge3.1.0_27$suffix/st310270.cab"; }
# A launcher damaged on its way: one byte changed inside the kit's package, the first compound file
# among its resources outside the archives (one of which carries the runtime's package).
damaged_package() {
  shipped_launcher=$launcher launcher=$out/damaged-package.exe
  python3 - "$shipped_launcher" "$launcher" <<'PY'
import re, struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
cabs = [(m.start(), m.start() + struct.unpack_from("<I", data, m.start() + 8)[0]) for m in re.finditer(b"MSCF\0\0\0\0", data)]
at = next(m.start() for m in re.finditer(bytes.fromhex("d0cf11e0a1b11ae1"), data)
          if not any(start <= m.start() < end for start, end in cabs))
data[at + 2048] ^= 1
open(sys.argv[2], "wb").write(data)
PY
}
damaged_package_undo() { rm -f "$launcher"; launcher=$shipped_launcher; }
# Silence kept in the runtime settings file from an earlier run.
kept_silent() { mkdir -p "$runtime_folder" && printf 'INSTALL_SILENT=Enable\r\n' >"$runtime_folder/mako.settings.cfg"; }
kept_silent_undo() { rm -f "$runtime_folder/mako.settings.cfg"; }

# One Xvfb and CJK fonts for every row. Wine draws Japanese and Chinese dialog text with Windows'
# fonts, which a Debian machine lacks; WenQuanYi Zen Hei (fonts-wqy-zenhei) stands in for them.
# Below 17 pixels that font and Wine's Tahoma ask (gasp table) for unsmoothed text, which Wine draws
# from their unhinted outlines with strokes missing: the message font is set to 17 pixels.
rm -rf "$out" && mkdir -p "$out"
exec 3>"$out/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.out" 2>&1 &
xvfb=$!
exec 3>&-
trap 'kill $xvfb 2>/dev/null' EXIT
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$out/display")"
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for face in "MS UI Gothic" "MS Gothic" "MS PGothic" "Meiryo UI" "SimSun" "NSimSun" "Microsoft YaHei"; do
    printf '"%s"="WenQuanYi Zen Hei"\r\n' "$face"
  done
  # A LOGFONTW: height -17, weight 400, face "MS Shell Dlg" in UTF-16, padded to 32 characters.
  printf '\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]\r\n"MessageFont"=hex:ef,ff,ff,ff'
  printf ',%s' 00 00 00 00 00 00 00 00 00 00 00 00 90 01 00 00 00 00 00 00 00 00 00 22 \
    4d 00 53 00 20 00 53 00 68 00 65 00 6c 00 6c 00 20 00 44 00 6c 00 67 00 $(printf '00 %.0s' $(seq 40))
  printf '\r\n'
} >"$out/fonts.reg"
run regedit /S "$(winpath "$out/fonts.reg")"

guard=MSI_CMDLINE=FILLER=$(printf 'x%.0s' $(seq 2100))
expand() {
  local s=${1//@cfg/$(winpath "$cfg")}
  s=${s//@runtime/'C:\ProgramData\Brennic\Mako\mako.settings.cfg'}
  printf '%s' "${s//@guard/$guard}"
}

undo() { [ "$setup" = - ] || ! declare -F "${setup}_undo" >/dev/null || "${setup}_undo"; }
failures=0

# The probe on a desktop of its own for row <name>; stop_probe ends its Unix side.
start_probe() {
  wine explorer "/desktop=gallery-$lang-$1,1000x700" "$(winpath "$probe")" "@$(winpath "$out/$1.caption")" \
    "$(winpath "$out/$1.txt")" "$(winpath "$out/$1.press")" 60000 "@$(winpath "$out/$1.command")" \
    </dev/null >"$out/$1.probe.out" 2>&1 &
  probe_pid=$!
}
stop_probe() {
  kill "$probe_pid" 2>/dev/null
  wait "$probe_pid" 2>/dev/null
}
# A probe writes its record within its own timeout whatever the launcher does ("no box", an exit
# code); one that wrote nothing at all was itself never started, as Wine now and then loses a process
# it starts on a loaded machine. Such a row is run once more, after ending what is left of the first
# try; a second loss fails the row as any other.
lost() {  # <name>
  [ -s "$out/$1.txt" ] && return 1
  echo "RETRY $lang $1: the probe left no record (a process lost at its start); ending what is left and running the row again"
  run taskkill /f /im "$(basename "$probe")"
  run taskkill /f /im "$(basename "$launcher")"
  rm -f "$out/$1.txt" "$out/$1.press" "$out/$1.png"
}

# The row once more as a silent run: the probe looks for any dialog of the launcher and presses it at
# once, so that a box that should not be there fails the row quickly instead of waiting.
silent_run() {  # <name> <arguments>
  local name=$1
  printf '*' >"$out/$name.caption"
  printf '"%s"%s' "$(winpath "$launcher")" "$(expand " $2")" >"$out/$name.command"
  touch "$out/$name.press"
  start_probe "$name"
  for _ in $(seq 900); do grep -q '^exit: \|^start failed' "$out/$name.txt" 2>/dev/null && break; sleep 0.1; done
  stop_probe
}
silent_row() {  # <box> <arguments>
  local name=$1-silent record
  [ "$setup" = - ] || "$setup" || { echo "FAIL $lang $name: set-up $setup failed"; failures=$((failures + 1)); undo; return; }
  silent_run "$name" "$2"
  undo
  if lost "$name"; then
    [ "$setup" = - ] || "$setup"
    silent_run "$name" "$2"
    undo
  fi
  record=$(cat "$out/$name.txt" 2>/dev/null)
  if grep -qx 'no box' <<<"$record" && grep -qx "exit: $expected_exit" <<<"$record"; then
    echo "PASS $lang $name: no window, exit $expected_exit"
  else
    failures=$((failures + 1))
    printf 'FAIL %s %s: a window appeared or the exit code is not %s\n' "$lang" "$name" "$expected_exit"
    sed 's/^/  | /' <<<"$record"
  fi
}

# The row's box shown, its screenshot taken, its OK button pressed and the launcher's end awaited.
show_box() {  # <box> <arguments>
  printf '%s' "$caption" >"$out/$1.caption"
  printf '"%s"%s' "$(winpath "$launcher")" "$([ "$2" = - ] || expand " $2")" >"$out/$1.command"
  start_probe "$1"
  for _ in $(seq 600); do grep -q '^rect: \|^no box\|^start failed' "$out/$1.txt" 2>/dev/null && break; sleep 0.1; done
  if read -r _ left top right bottom < <(grep '^rect: ' "$out/$1.txt"); then
    xwd -root -silent | convert xwd:- -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$out/$1.png"
  fi
  touch "$out/$1.press"
  for _ in $(seq 600); do grep -q '^exit: \|^start failed' "$out/$1.txt" 2>/dev/null && break; sleep 0.1; done
  stop_probe
}

while IFS='|' read -r box setup arguments caption text text_args button expected_exit; do
  cfg=$out/$box.cfg
  args=$([ "$arguments" = - ] || printf '%s' "$arguments")
  if [ "$caption" = - ]; then
    [ "$lang" != en ] || silent_row "$box" "$args"
    continue
  fi
  [ "$setup" = - ] || "$setup" || { echo "FAIL $lang $box: set-up $setup failed"; failures=$((failures + 1)); undo; continue; }
  [[ $caption == IDS_* ]] && caption=$(entry "$caption")
  pattern=$text
  if [[ $text == IDS_* ]]; then
    # The launcher fills the placeholders in order; the probe escapes backslashes.
    pattern=$(entry "$text")
    IFS='&' read -ra parts <<<"${text_args#-}"
    for part in "${parts[@]}"; do part=$(expand "$part"); pattern=${pattern/\%s/"${part//\\/\\\\}"}; done
  fi
  show_box "$box" "$arguments"
  undo
  if lost "$box"; then
    [ "$setup" = - ] || "$setup"
    show_box "$box" "$arguments"
    undo
  fi

  record=$(cat "$out/$box.txt" 2>/dev/null) problems=()
  grep -qxF "caption: $caption" <<<"$record" || problems+=("caption is not: $caption")
  actual=$(sed -n 's/^text: //p' <<<"$record")
  # shellcheck disable=SC2053  # a literal text is a pattern on purpose
  [ "$actual" = "$pattern" ] || { [[ $text != IDS_* && $actual == $pattern ]]; } || problems+=("text is not: $pattern")
  grep -q '^button: .' <<<"$record" || problems+=("no $button button")
  grep -qx "exit: $expected_exit" <<<"$record" || problems+=("exit code is not $expected_exit")
  [ -s "$out/$box.png" ] || problems+=("no screenshot")
  if [ ${#problems[@]} -eq 0 ]; then
    echo "PASS $lang $box: $out/$box.png"
  else
    failures=$((failures + 1))
    printf 'FAIL %s %s:\n' "$lang" "$box"
    printf '  %s\n' "${problems[@]}"
    sed 's/^/  | /' <<<"$record"
  fi
  [ "$lang" != en ] || silent_row "$box" "/s $args"
done < <(table | sed '/^#/d; s/ *| */|/g; s/ *$//')
exit $((failures > 0))
