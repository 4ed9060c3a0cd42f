# Sourced by the test, main-job and benchmark scripts. Decides once per run which Wine loader to use,
# creates (or reuses) a scratch 64-bit Wine prefix and keeps one wineserver alive for the run. Call
# wine_prefix_stop at the end.
#
# Some hosts refuse 32-bit x86 programs ("IA-32 emulation off"). Debian's `wine` script picks the
# 32-bit loader whenever wine32 is installed, so there every `wine` call fails, 64-bit programs
# included. On such a host (or with LAUNCHER_WIN64_ONLY=1 on any host) every Wine command goes
# through the 64-bit loader directly, by small wrappers put first on PATH; 32-bit Windows programs
# cannot run then, and the callers leave out what needs them.

# setup_failed <step> <cause>: the one line a failed set-up step ends with.
setup_failed() {
  echo "Set-up failed: $1: $2" >&2
  exit 1
}

# package_program <package> <name>: the executable of that name the package installed, or nothing.
package_program() {
  local f
  for f in $(dpkg -L "$1" 2>/dev/null | grep -E "/$2\$"); do
    if [ -f "$f" ] && [ -x "$f" ]; then echo "$f"; return 0; fi
  done
}

# Sets WINE_RUNS_32BIT (1 or 0) and, when 0, WINE_32BIT_REFUSAL (why, in a few words).
wine_choose_loader() {
  local root=$1 loader32 loader64 error bin tool
  loader64=$(package_program wine64 wine64)
  [ -n "$loader64" ] || setup_failed "choosing the Wine loader" "the wine64 package provides no wine64 loader"
  local status=0
  error=$("$loader64" --version 2>&1 >/dev/null </dev/null) || status=$?
  [ "$status" -eq 0 ] || setup_failed "starting Wine's 64-bit loader" "$loader64 --version gave status $status (${error##*: })"

  WINE_RUNS_32BIT=1
  WINE_32BIT_REFUSAL=""
  if [ "${LAUNCHER_WIN64_ONLY:-0}" = 1 ]; then
    WINE_RUNS_32BIT=0
    WINE_32BIT_REFUSAL="LAUNCHER_WIN64_ONLY=1 forces the 64-bit-only path"
  else
    loader32=$(package_program wine32 wine)
    status=0
    if [ -z "$loader32" ]; then
      WINE_RUNS_32BIT=0
      WINE_32BIT_REFUSAL="the wine32 package provides no 32-bit loader"
    else
      error=$("$loader32" --version 2>&1 >/dev/null </dev/null) || status=$?
      if [ "$status" -ne 0 ]; then
        WINE_RUNS_32BIT=0
        # The shell's own message ends in the system's reason, "Exec format error" on such hosts.
        WINE_32BIT_REFUSAL="the host refuses 32-bit programs: $loader32 --version gave status $status (${error##*: })"
      fi
    fi
  fi
  export WINE_RUNS_32BIT WINE_32BIT_REFUSAL

  if [ "$WINE_RUNS_32BIT" = 0 ]; then
    bin=$root/build/wine64-only
    mkdir -p "$bin"
    printf '#!/bin/sh\nexport WINELOADER=%s\nexec %s "$@"\n' "$loader64" "$loader64" >"$bin/wine"
    for tool in wineboot winepath winecfg msiexec regedit wineconsole; do
      printf '#!/bin/sh\nexport WINELOADER=%s\nexec %s %s.exe "$@"\n' "$loader64" "$loader64" "$tool" >"$bin/$tool"
    done
    chmod +x "$bin"/*
    case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
    export WINELOADER=$loader64
  fi
}

wine_prefix_start() {
  export WINEPREFIX="$1"
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  local log="$1.boot.log" status=0
  # The server inherits our standard streams; keep them away from any pipe a caller reads.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >"$log" 2>&1 </dev/null || status=$?
    if [ "$status" -ne 0 ]; then
      setup_failed "creating the Wine prefix $WINEPREFIX" \
        "wineboot -i exited with status $status: $(grep -v '^\s*$' "$log" | tail -n1)"
    fi
  fi
  wineserver -p >/dev/null 2>&1 </dev/null || true  # fails harmlessly when one already runs
  wineboot >"$log" 2>&1 </dev/null || status=$?
  [ "$status" -eq 0 ] || setup_failed "starting the Wine prefix $WINEPREFIX" \
    "wineboot exited with status $status: $(grep -v '^\s*$' "$log" | tail -n1)"
}

wine_prefix_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 </dev/null || true; fi
}
