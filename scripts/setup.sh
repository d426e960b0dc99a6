#!/bin/bash
# Installs what the build and the tests need, only what is missing.
#
# Fast path: when every package is installed and every locale exists, this
# changes nothing and calls no package server. Needs root (or sudo) only
# when something is missing.
set -euo pipefail

packages=(
  cmake make g++ binutils
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 fonts-wine
  xvfb xauth x11-utils xdotool imagemagick
  zip unzip mtools xorriso clang libclang-rt-14-dev
  locales
)
# The system languages the tests switch Wine to (LC_ALL=de_DE.UTF-8 wine ...).
locales=(en_US.UTF-8 en_GB.UTF-8 fr_FR.UTF-8 de_DE.UTF-8 es_ES.UTF-8)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "setup: need root to run: $*" >&2
    exit 1
  fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

# locale -a spells them en_US.utf8.
have_locale() {
  local want
  want="$(echo "${1%%.*}.utf8" | tr 'A-Z' 'a-z')"
  locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$want"
}

missing_locales=()
for l in "${locales[@]}"; do
  have_locale "$l" || missing_locales+=("$l")
done
if [ ${#missing_locales[@]} -gt 0 ]; then
  echo "setup: generating locales ${missing_locales[*]}"
  for l in "${missing_locales[@]}"; do
    if grep -q "^# *$l UTF-8" /etc/locale.gen; then
      as_root sed -i "s/^# *$l UTF-8/$l UTF-8/" /etc/locale.gen
    elif ! grep -q "^$l UTF-8" /etc/locale.gen; then
      echo "$l UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    fi
  done
  as_root locale-gen >/dev/null
fi

# Whether this machine runs 32-bit programs (the win32 Wine lane); said in
# one line when it does not.
lanes="$("$(dirname "${BASH_SOURCE[0]}")/lanes.sh" --say)" || exit 1
[ -z "$lanes" ] || echo "setup: $lanes"
exit 0
