#!/bin/bash
# Installs what the build and the tests need, only what is missing.
#
# Fast path: when every package is installed and every locale exists, this
# changes nothing and calls no package server. Needs root (or sudo) only
# when something is missing. A package list that does not load is a
# warning: set-up installs from the lists apt has. The packages every
# machine needs must install (else exit 1, naming those apt has no
# candidate for); 32-bit Wine, wanted only where the kernel runs 32-bit
# programs, may fail: the reason goes to build/setup/wine32.txt, where
# scripts/lanes.sh reads it, and the tests run on the 64-bit lane. No apt
# call here may remove a package.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
note="$here/../build/setup/wine32.txt"

packages=(
  cmake make g++ binutils
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  wine wine64 fonts-wine
  xvfb xauth x11-utils xdotool imagemagick
  zip unzip mtools xorriso clang python3-pefile
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
apt() { as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# LeakSanitizer's runtime for the fuzzers: the libclang-rt of clang's own
# major version (clang depends on clang-N), installed or about to be.
clang_rt() {
  local depends
  if installed clang; then depends="$(dpkg-query -W -f='${Depends}' clang)"
  else depends="$(apt-cache show --no-all-versions clang 2>/dev/null | sed -n 's/^Depends: //p')"; fi
  [[ "$depends" =~ clang-([0-9]+) ]] && echo "libclang-rt-${BASH_REMATCH[1]}-dev"
}

missing=()
for p in "${packages[@]}" $(clang_rt); do
  installed "$p" || missing+=("$p")
done
# 32-bit Wine where the kernel runs 32-bit programs (decided without Wine).
"$here/lanes.sh" --kernel32
kernel32=$?
[ $kernel32 -le 1 ] || exit 1
want32=0
[ $kernel32 -eq 0 ] && ! installed wine32:i386 && want32=1

if [ ${#missing[@]} -gt 0 ] || [ $want32 -eq 1 ]; then
  echo "setup: installing $(echo ${missing[*]} $([ $want32 -eq 0 ] || echo wine32:i386))"
  if [ $want32 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386 || exit 1
  fi
  log="$(mktemp)"
  : >"$log.pin"
  trap 'rm -f "$log" "$log.pin"' EXIT
  apt update -q 2>&1 | tee "$log"
  updated=${PIPESTATUS[0]}
  failed_suites=()
  if [ "$updated" -ne 0 ]; then
    # "Err:6 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
    lists="$(sed -n 's/^Err:[0-9]* //p' "$log" | sort -u)"
    [ -n "$lists" ] || lists="$(sed -n 's/^[EW]: //p' "$log")"
    mapfile -t failed_suites < <(awk '/^Err:/ { sub(/\/.*/, "", $3); print $3 }' "$log" | sort -u)
    # With 32-bit Wine to come, its amd64 half must not come from a suite
    # whose i386 list is missing: its i386 twin would have no match.
    [ $want32 -eq 0 ] || for s in "${failed_suites[@]}"; do
      printf 'Package: *\nPin: release a=%s\nPin-Priority: -1\n\nPackage: *\nPin: release n=%s\nPin-Priority: -1\n\n' "$s" "$s"
    done >"$log.pin"
    echo "setup: warning: apt-get update failed for ${lists//$'\n'/; }; installing from the lists apt has$([ -s "$log.pin" ] && echo ", without ${failed_suites[*]}")" >&2
  fi
  pin=(-o "Dir::Etc::Preferences=$log.pin")
  if [ ${#missing[@]} -gt 0 ] && ! apt install -y -q --no-remove "${pin[@]}" "${missing[@]}"; then
    none=()
    for p in "${missing[@]}"; do
      apt-cache policy "$p" 2>/dev/null | grep -q 'Candidate: [^(]' || none+=("$p")
    done
    echo "setup: apt-get could not install ${missing[*]}${none:+; no candidate for: ${none[*]}}" >&2
    exit 1
  fi
  if [ $want32 -eq 1 ]; then
    mkdir -p "$(dirname "$note")" && rm -f "$note"
    wine32() { apt install -y -q --no-remove wine32:i386 wine64 "$@" >"$log" 2>&1; }
    if ! wine32 && [ ${#failed_suites[@]} -gt 0 ]; then
      echo "setup: wine32:i386 did not install; trying once more without ${failed_suites[*]}, whose lists did not all load"
      wine32 "${pin[@]}"
    fi
    # apt's reason: its errors and the first dependency it could not meet.
    installed wine32:i386 || echo "$(sed -n 's/^E: //p' "$log" | tr '\n' ' ' | sed 's/[. ]*$//')$(
      grep -m 1 -o '[^ ].*Depends: .*' "$log" | sed 's/.*/ (&)/')" >"$note"
  fi
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
  as_root locale-gen >/dev/null || exit 1
fi

# Whether the win32 lane runs here; said in one line when it does not.
lanes="$("$here/lanes.sh" --say)" || exit 1
[ -z "$lanes" ] || echo "setup: $lanes"
exit 0
