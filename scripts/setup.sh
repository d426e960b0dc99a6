#!/bin/bash
# Installs what the build and the tests need, only what is missing.
#
# Fast path: when every package is installed and every locale exists, this
# changes nothing and calls no package server. Needs root (or sudo) only
# when something is missing. A package list that does not load is a
# warning: set-up installs from the lists apt has. The packages every
# machine needs must install (else exit 1, naming those apt has no
# candidate for); 32-bit Wine, wanted only where 32-bit programs run, may
# fail: the reason goes to build/setup/wine32.txt, where scripts/lanes.sh
# reads it, and the tests run on the 64-bit lane. No apt call here may
# remove a package.
#
# Where the kernel refuses 32-bit programs, QEMU user mode runs them (what
# set-up changes, and how to undo it: docs/testing.md, "QEMU user mode");
# its reason when it cannot, or "ok", goes to build/setup/qemu.txt.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
note="$here/../build/setup/wine32.txt"
qnote="$here/../build/setup/qemu.txt"
binfmt="${LANES_BINFMT:-/proc/sys/fs/binfmt_misc}"
apt_etc="${SETUP_APT_ETC:-/etc/apt}"  # tests name stand-ins for these two

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

# --- QEMU user mode, where the kernel refuses 32-bit programs.
registered=0 mounted=0 added=()
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
# Gives up on QEMU: the reason kept for lanes.sh, and what set-up did
# undone (packages stay).
qemu_fails() {
  mkdir -p "$(dirname "$qnote")" && tr -s "\n" " " <<<"$1" | sed "s/ $//" >"$qnote"  # set-up's last line says it
  [ $registered -eq 0 ] || [ ! -e "$binfmt/qemu-i386" ] || echo -1 | as_root tee "$binfmt/qemu-i386" >/dev/null
  [ ${#added[@]} -eq 0 ] || as_root rm -f "${added[@]}"
  [ $mounted -eq 0 ] || as_root umount "$binfmt"
  registered=0 mounted=0 added=()
  return 1
}
qemu10() {
  [[ "$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null)" =~ ^([0-9]+:)?([0-9]+) ]] &&
    [ "${BASH_REMATCH[2]}" -ge 10 ]
}
emulate() {
  local said codename uri handler
  if [ ! -e "$binfmt/register" ]; then
    said="$(as_root mount -t binfmt_misc binfmt_misc "$binfmt" 2>&1)" ||
      { qemu_fails "binfmt_misc cannot be mounted on $binfmt (${said:-mount failed})"; return; }
    mounted=1
  fi
  if handler="$("$here/lanes.sh" --i386-handler)"; then
    qemu_fails "binfmt_misc has an i386 handler already (${handler%% *}), and the kernel still refuses: set-up leaves it"
    return
  fi
  if ! qemu10; then
    codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
    # The mirror this machine has for its release.
    uri="$(apt-cache policy 2>/dev/null | awk -v s="$codename/main" '$3 == s { print $2; exit }')"
    echo "setup: installing qemu-user from $codename-backports (QEMU 10), to run 32-bit programs"
    local src="$apt_etc/sources.list.d/tachymark-backports.sources" pin="$apt_etc/preferences.d/tachymark-backports"
    [ -e "$src" ] || { printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "${uri:-http://deb.debian.org/debian}" "$codename" | as_root tee "$src" >/dev/null && added+=("$src"); }
    [ -e "$pin" ] || { printf 'Package: *\nPin: release n=%s-backports\nPin-Priority: -1\n\nPackage: qemu-user\nPin: release n=%s-backports\nPin-Priority: 500\n' \
      "$codename" "$codename" | as_root tee "$pin" >/dev/null && added+=("$pin"); }
    apt update -q >"$tmp/qemu.log" 2>&1
    if ! apt install -y -q --no-remove --no-install-recommends "qemu-user/$codename-backports" >>"$tmp/qemu.log" 2>&1 || ! qemu10; then
      qemu_fails "qemu-user (QEMU 10) could not be installed from $codename-backports: $(sed -n 's/^E: //p' "$tmp/qemu.log" |
        tr '\n' ' ' | sed 's/[. ]*$//')"
      return
    fi
    added=()  # what the installed package came from stays
  fi
  said="$(printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
    as_root tee "$binfmt/register" 2>&1 >/dev/null)" && registered=1
  "$here/lanes.sh" --kernel32 ||
    qemu_fails "i386 programs registered to /usr/bin/qemu-i386 in binfmt_misc, but the kernel still refuses them${said:+ ($said)}"
}
# Under QEMU, 32-bit Wine runs one Windows program to its end in a prefix
# of its own before the win32 lane is used; a hang ends after 300 s.
trial() {
  local wine32="${LANES_WINE32:-/usr/lib/wine/wine}" dir="$(dirname "$qnote")/trial-prefix"
  local text="a 32-bit Windows program ran" out rc
  echo "setup: running a 32-bit Windows program under QEMU user mode once (at most 300 s)"
  mkdir -p "$dir"
  out="$(. "$here/wine-env.sh" && TACHY_TIME_FACTOR=1 tachy_wine win32 &&
         WINEPREFIX="$dir" timeout 300 "$wine32" cmd.exe /c echo "$text" 2>&1)"
  rc=$?
  [ ! -x "${wine32%/*}/wineserver" ] || WINEPREFIX="$dir" "${wine32%/*}/wineserver" -k >/dev/null 2>&1
  rm -rf "$dir"
  if [ $rc -eq 0 ] && grep -q "$text" <<<"$out"; then echo ok >"$qnote"
  elif [ $rc -eq 124 ]; then qemu_fails "32-bit Wine did not end a Windows program within 300 s"
  else qemu_fails "32-bit Wine ended a Windows program with exit code $rc${out:+: $(tail -n 1 <<<"$out" | tr -d '\r')}"; fi
}

missing=()
for p in "${packages[@]}" $(clang_rt); do
  installed "$p" || missing+=("$p")
done
# 32-bit Wine where the kernel runs 32-bit programs (decided without Wine).
"$here/lanes.sh" --kernel32
kernel32=$?
[ $kernel32 -le 1 ] || exit 1
# After a failure set-up keeps to the 64-bit lane: a fresh build tree tries again.
if [ $kernel32 -eq 1 ] && { [ ! -s "$qnote" ] || [ "$(head -c 2 "$qnote")" = ok ]; }; then
  emulate && kernel32=0
fi
want32=0
[ $kernel32 -eq 0 ] && ! installed wine32:i386 && want32=1

if [ ${#missing[@]} -gt 0 ] || [ $want32 -eq 1 ]; then
  echo "setup: installing $(echo ${missing[*]} $([ $want32 -eq 0 ] || echo wine32:i386))"
  if [ $want32 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386 || exit 1
  fi
  log="$tmp/apt.log"
  : >"$log.pin"
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
# Through a binfmt_misc handler, 32-bit Wine once runs a program first.
if [ $kernel32 -eq 0 ] && [ ! -s "$qnote" ] && "$here/lanes.sh" --i386-handler >/dev/null; then
  if installed wine32:i386; then trial
  elif [ $registered -eq 1 ]; then qemu_fails "32-bit Wine could not be installed: $(cat "$note" 2>/dev/null)"; fi
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
