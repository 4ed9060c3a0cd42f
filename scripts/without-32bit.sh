#!/usr/bin/env bash
# Runs a command as it would run on a host that refuses 32-bit programs: in a private mount namespace
# (root only) Wine's 32-bit loader is replaced by a file the kernel rejects with "Exec format error",
# exactly what such a host answers. Nothing outside the namespace changes.
#   bash scripts/without-32bit.sh bash scripts/test.sh
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 <command> [args...]" >&2; exit 2; }
source "$(dirname "$0")/wine-prefix.sh"
loader32=$(package_program wine32 wine)
[ -n "$loader32" ] || { echo "wine32 is not installed: nothing to take away" >&2; exit 1; }
fake=$(mktemp)
trap 'rm -f "$fake"' EXIT
printf '\177ELF\001\001\001\000not an image this kernel can run' >"$fake"
chmod +x "$fake"
unshare -m bash -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' bash "$fake" "$loader32" "$@"
