# Sourced by the test and demo scripts: creates (or reuses) a scratch 64-bit Wine prefix and keeps
# one wineserver alive for the run. Call wine_prefix_stop at the end.

wine_prefix_start() {
  export WINEPREFIX="$1"
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # The server inherits our standard streams; keep them away from any pipe a caller reads.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 </dev/null
  fi
  wineserver -p >/dev/null 2>&1 </dev/null || true  # fails harmlessly when one already runs
  wineboot >/dev/null 2>&1 </dev/null
}

wine_prefix_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 </dev/null || true; fi
}
