#!/usr/bin/env bash
# sign_launcher.sh <image> <pkcs12> [password-file] [ca-file]: signs a built launcher in place with
# osslsigncode (SHA-256 Authenticode) and verifies the signature (against ca-file when given, the
# system's certificate store otherwise). When either step fails the image is deleted, so that no
# unsigned launcher is left where a signed one was asked for and the next build links it again.
set -euo pipefail
image=$1 pkcs12=$2 password_file=${3:-} ca_file=${4:-}
signed=$image.signed
report=$image.signing.txt
fail() {
  echo "Signing $image failed: $1" >&2
  sed 's/^/  /' "$report" >&2
  rm -f "$image" "$signed" "$report"
  exit 1
}
sign=(sign -h sha256 -pkcs12 "$pkcs12" -n "Mako Development Kit Setup" -in "$image" -out "$signed")
[ -z "$password_file" ] || sign+=(-readpass "$password_file")
verify=(verify -in "$signed")
[ -z "$ca_file" ] || verify+=(-CAfile "$ca_file")
rm -f "$signed"
osslsigncode "${sign[@]}" >"$report" 2>&1 || fail "osslsigncode sign with $pkcs12"
osslsigncode "${verify[@]}" >"$report" 2>&1 || fail "the signature does not verify"
mv "$signed" "$image"
rm -f "$report"
