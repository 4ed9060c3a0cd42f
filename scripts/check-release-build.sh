#!/usr/bin/env bash
# Release checks of the launchers, on the current commit (uncommitted changes are not part of it):
# - two builds of it, in folders of different paths and depths and at different times, give
#   byte-identical launchers, payload included: a clean build in a clone without the compiler cache,
#   against the work tree's own build/<preset> (the one the suites ran) when the work tree is that
#   commit unchanged and its build signs nothing, else against a second clone's build;
# - the clone, built again with a certificate, signs both launchers and the signature verifies. The
#   certificate is a throw-away one made here.
# Usage: bash scripts/check-release-build.sh [preset...]   (default: win32 win64)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/wine-prefix.sh   # setup_failed
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(win32 win64)
commit=$(git rev-parse HEAD)
work=$root/build/release-check
rm -rf "$work"
mkdir -p "$work"
# The clones must compile every file themselves.
export CCACHE_DISABLE=1
unset SOURCE_DATE_EPOCH LAUNCHER_SIGNING_PKCS12 LAUNCHER_SIGNING_PASSWORD_FILE LAUNCHER_SIGNING_CA_FILE LAUNCHER_PAYLOAD_DIR

build() {  # build <checkout> <preset> [cmake options...]
  local checkout=$1 preset=$2 log
  shift 2
  log=$work/build-$preset-$(basename "$checkout").log
  (cd "$checkout" && cmake --preset "$preset" "$@" >/dev/null &&
    cmake --build --preset "$preset" -j "$(nproc)" --target mako-forge-setup >"$log" 2>&1) ||
    setup_failed "building $preset in $checkout" "see $log"
}
clone() {  # clone <folder>
  git clone -q --no-checkout "$root" "$1"
  git -C "$1" checkout -q "$commit"
}

clean=0
[ -n "$(git status --porcelain)" ] || clean=1
checkout=$work/clone/at/another/depth
clone "$checkout"

status=0
for preset in "${presets[@]}"; do
  other=$root
  if [ "$clean" = 0 ] || ! grep -qx 'LAUNCHER_SIGNING_PKCS12:FILEPATH=' "$root/build/$preset/CMakeCache.txt" 2>/dev/null; then
    other=$work/second
    [ -d "$other" ] || clone "$other"
  fi
  echo "building $preset in $checkout, compared with the build in $other"
  build "$other" "$preset"
  build "$checkout" "$preset"
  a=$checkout/build/$preset
  b=$other/build/$preset
  if cmp -s "$a/mako-forge-setup.exe" "$b/mako-forge-setup.exe"; then
    echo "reproducible: $preset launcher of $commit, $(stat -c %s "$a/mako-forge-setup.exe") bytes, identical in both builds"
  else
    status=1
    echo "NOT reproducible: the $preset launchers of $commit differ; files that differ:"
    (cd "$a" && find mako-forge-setup.exe payload -type f \( -name '*.exe' -o -name '*.msi' -o -name '*.cab' -o -name '*.dll' \) |
      while read -r f; do cmp -s "$f" "$b/$f" || echo "  $preset/$f"; done)
  fi
done

# Signing: a throw-away self-signed code-signing certificate, then the clone's launchers linked again
# with it (configuring the signing step changes no object).
keys=$work/keys
mkdir -p "$keys"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Mako launcher test signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
printf 'throw-away\n' >"$keys/password"
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -passout file:"$keys/password" -out "$keys/cert.p12"
for preset in "${presets[@]}"; do
  build "$checkout" "$preset" -DLAUNCHER_SIGNING_PKCS12="$keys/cert.p12" \
    -DLAUNCHER_SIGNING_PASSWORD_FILE="$keys/password" -DLAUNCHER_SIGNING_CA_FILE="$keys/cert.pem"
  image=$checkout/build/$preset/mako-forge-setup.exe
  if osslsigncode verify -in "$image" -CAfile "$keys/cert.pem" >"$work/verify-$preset.txt" 2>&1; then
    echo "signed: $preset launcher, signature verified, signer $(grep -m1 'Subject:' "$work/verify-$preset.txt" | sed 's/^\s*Subject: *//')"
  else
    status=1
    echo "NOT signed: the $preset launcher's signature does not verify (see $work/verify-$preset.txt)"
  fi
done
exit $status
