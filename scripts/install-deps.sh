#!/usr/bin/env bash
# Installs the build and test dependencies on a Debian machine when they are missing, and generates
# the UTF-8 locales the tests run in. A failed step ends with one line naming the step and its cause.
set -euo pipefail

packages=(cmake make g++ clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
          python3 wine wine64 wine32:i386 wixl gcab msitools googletest xvfb xauth xfonts-base x11-apps imagemagick
          locales fonts-wqy-zenhei osslsigncode openssl)
# The guide's winget manifests are validated against winget's schemas.
packages+=(python3-jsonschema python3-yaml)
locales=(en_US ja_JP zh_CN)

fail() {
  echo "Set-up failed: $1: $2" >&2
  exit 1
}

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# run <step> <command...>: output goes to the terminal and to a log whose last line names the cause.
run() {
  local step=$1 status=0
  shift
  "$@" 2>&1 | tee "$log" || status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || fail "$step" "'$*' exited with status $status: $(grep -v '^\s*$' "$log" | tail -n1)"
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    run "adding the i386 architecture (for wine32)" $SUDO dpkg --add-architecture i386
  fi
  run "updating the package lists" $SUDO apt-get update -q
  run "installing packages" env DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi

# The tests set LC_ALL to these; without the generated locale Wine falls back to C and the ANSI
# code page and the user-interface language would not follow.
wanted=()
for l in "${locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "$l.utf-\?8" || wanted+=("$l")
done
if [ ${#wanted[@]} -gt 0 ]; then
  echo "Generating locales: ${wanted[*]}"
  for l in "${wanted[@]}"; do
    grep -q "^$l.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null ||
      echo "$l.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null || fail "generating locales" "cannot write /etc/locale.gen"
  done
  run "generating locales" $SUDO locale-gen
  for l in "${wanted[@]}"; do
    locale -a 2>/dev/null | grep -qix "$l.utf-\?8" || fail "generating locales" "$l.UTF-8 is still missing after locale-gen"
  done
fi
