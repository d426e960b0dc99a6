#!/bin/bash
# Set-up's decisions and the lanes, against a stand-in apt-get, apt-cache,
# dpkg and dpkg-query first in PATH (they log every call and install into a
# list), a stand-in i386 probe and 32-bit Wine loader, and a binfmt_misc
# folder with a stand-in mount and tee playing the kernel. Each row: a
# machine, what set-up must say and do, what the lanes must be.
set -u
unset TACHY_LANES  # the rows decide the lanes themselves
src="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
mkdir -p "$T/bin" "$T/repo/scripts"
cp "$src/scripts/setup.sh" "$src/scripts/lanes.sh" "$src/scripts/wine-env.sh" "$T/repo/scripts/"
base="$(sed -n '/^packages=(/,/^)/p' "$src/scripts/setup.sh" | sed '1d;$d') libclang-rt-14-dev"
printf '\177ELF\1\1\1 not for this kernel' >"$T/refused"; chmod +x "$T/refused"
cat >"$T/bin/dpkg-query" <<'S'
#!/bin/bash
case "$2" in *Depends*) echo "clang-14 (>= 14)" ;;
  *Version*) grep -qx "$3" "$S/installed" && echo 1:10.0.2+ds ;;
  *) grep -qx "$3" "$S/installed" && echo "install ok installed" ;; esac
S
cat >"$T/bin/dpkg" <<'S'
#!/bin/bash
echo "dpkg $*" >>"$S/calls"
[ "$1" = --print-foreign-architectures ] && cat "$S/arches" || echo "$2" >>"$S/arches"
S
cat >"$T/bin/apt-cache" <<'S'
#!/bin/bash
grep -qx "$2" "$S/nocandidate" && echo "  Candidate: (none)" || echo "  Candidate: 1.0"
S
cat >"$T/bin/apt-get" <<'S'
#!/bin/bash
echo "apt-get $*" >>"$S/calls"
[ "$1" = update ] && { cat "$S/update.out"; exit "$(cat "$S/update.rc")"; }
pin="$(echo "$*" | sed -n 's/.*Dir::Etc::Preferences=\([^ ]*\).*/\1/p')"
for p; do case "$p" in -*|install|Dir::*) ;;
  qemu-user/*) grep -q backports "$S/qemu" || { echo "E: Release '${p#*/}' for 'qemu-user' was not found"; exit 100; } ;;
  wine32:i386) grep -qx any "$S/wine32" || { [ -n "$(cat "$S/wine32")" ] && grep -q "$(cat "$S/wine32")" "${pin:-/dev/null}" 2>/dev/null; } ||
    { echo " libwine:i386 : Depends: zlib1g:i386 but it is not going to be installed"
      echo "E: Unable to correct problems, you have held broken packages."; exit 100; } ;;
  *) grep -qx "$p" "$S/nocandidate" && { echo "E: Package '$p' has no installation candidate"; exit 100; } ;;
esac; done
printf '%s\n' "${@%%/*}" >>"$S/installed"
S
# binfmt_misc: mounted where the row allows; a name written to register
# becomes an enabled i386 entry, -1 written to an entry removes it.
cat >"$T/bin/mount" <<'S'
#!/bin/bash
echo "mount $*" >>"$S/calls"
grep -q mount "$S/qemu" || { echo "mount: permission denied" >&2; exit 32; }
echo enabled >"$LANES_BINFMT/status"; : >"$LANES_BINFMT/register"
S
cat >"$T/bin/tee" <<'S'
#!/bin/bash
case "$1" in
  */register) name="$(cut -d: -f2)"; echo "register $name" >>"$S/calls"
    printf 'enabled\nmagic 7f454c4601010100000000000000000002000300\n' >"${1%/*}/$name" ;;
  "$LANES_BINFMT"/*) echo "unregister ${1##*/}" >>"$S/calls"; rm -f "$1" ;;
  *) exec /usr/bin/tee "$@" ;;
esac
S
printf '#!/bin/sh\necho "umount $*" >>"$S/calls"; rm -f "$1"/*\n' >"$T/bin/umount"
printf '#!/bin/sh\ngrep -qsx enabled "$LANES_BINFMT"/*i386* || { echo "Exec format error" >&2; exit 126; }\n' >"$T/binfmt-probe"
printf '#!/bin/sh\n[ "$1" = --version ] || exit 3\n' >"$T/wine-fails"
chmod +x "$T/binfmt-probe" "$T/wine-fails"
printf '#!/bin/sh\nprintf "%%s\\n" en_US.utf8 en_GB.utf8 fr_FR.utf8 de_DE.utf8 es_ES.utf8\n' >"$T/bin/locale"
chmod +x "$T/bin/"*
passed=0 failed=0 n=0
check() {  # what, then pattern (a leading ! means: must not match), then text as one line
  local pat="${2#!}" hit=0 flat; flat="$(tr '\n' ' ' <<<"$3")"
  grep -qE -- "$pat" <<<"${flat% }" && hit=1
  if [ $hit -eq $([ "$pat" = "$2" ] && echo 1 || echo 0) ]; then passed=$((passed + 1)); return; fi
  echo "FAIL $row: $1 ${2:0:1}~ /$pat/ in: $3"; failed=$((failed + 1))
}
# row | installed beyond the base | base missing | no candidate | update fails |
# wine32 installs with a pin on | probe | wine32 loader | binfmt_misc and
# QEMU (mount: mountable, backports: qemu-user there, handler: an i386
# entry already) | set-up's exit | set-up says | calls | lanes | lanes --why
while IFS='|' read -r row extra gone nocand updfail pinok probe loader qemu rc says calls lanes why; do
  S="$T/row$((++n))"; mkdir -p "$S/etc/sources.list.d" "$S/etc/preferences.d" "$S/binfmt"; : >"$S/calls"; : >"$S/arches"
  echo "$qemu" >"$S/qemu"
  export LANES_BINFMT="$S/binfmt" SETUP_APT_ETC="$S/etc"
  [[ "$qemu" != *handler* ]] || printf 'enabled\ninterpreter /bin/true\nmagic 7f454c4601010100000000000000000002000300\n' \
    | tee "$S/binfmt/status" >"$S/binfmt/box-i386"
  printf '%s\n' $base $extra | grep -vxE "${gone:-^$}" >"$S/installed"
  echo "$nocand" >"$S/nocandidate"; echo "$pinok" >"$S/wine32"
  if [ "$updfail" = yes ]; then echo 100 >"$S/update.rc"
    echo "Err:4 http://deb.debian.org/debian-security bookworm-security/main i386 Packages" >"$S/update.out"
  else echo 0 >"$S/update.rc"; : >"$S/update.out"; fi
  rm -rf "$T/repo/build"
  out="$(S="$S" PATH="$T/bin:$PATH" LANES_I386_PROBE="$probe" LANES_WINE32="$loader" bash "$T/repo/scripts/setup.sh" 2>&1)"
  check "set-up's exit code" "^$rc\$" "$?"
  [ ! -e "$S/etc/sources.list.d/tachymark-backports.sources" ] || echo "backports source kept" >>"$S/calls"
  check "set-up's output" "$says" "$out"
  check "apt calls" "$calls" "$(cat "$S/calls")"
  check "install without --no-remove" '!apt-get install (-y -q )?[^-]' "$(cat "$S/calls")"
  check lanes "^$lanes\$" "$(LANES_I386_PROBE="$probe" LANES_WINE32="$loader" "$T/repo/scripts/lanes.sh")"
  check "lanes --why" "$why" "$(LANES_I386_PROBE="$probe" LANES_WINE32="$loader" "$T/repo/scripts/lanes.sh" --why)"
done <<ROWS
all present|wine32:i386||||x|/bin/true|/bin/true||0|!installing|^$|win32 win64|^$
update fails, wine32 retried||xvfb||yes|n=bookworm-security|/bin/true|/bin/true||0|warning: apt-get update failed for http://deb.debian.org/debian-security bookworm-security/main i386 Packages.*without bookworm-security.*trying once more without bookworm-security|--add-architecture i386.*install -y -q --no-remove -o Dir::Etc::Preferences=[^ ]+ xvfb.*wine32:i386 wine64 .*wine32:i386 wine64 -o|win32 win64|^$
wine32 cannot be installed|||||n=none|/bin/true|/nonexistent||0|32-bit Wine could not be installed: Unable to correct problems, you have held broken packages \(libwine:i386 : Depends: zlib1g:i386 .*\), so .*release pair is not executed|wine32:i386|win64|^32-bit Wine could not be installed: Unable to correct problems
no candidate|mtools|mtools|mtools|||/bin/true|/bin/true||1|no candidate for: mtools$|install|win32 win64|^$
kernel refuses, binfmt_misc cannot be mounted|||||x|$T/refused|/nonexistent||0|binfmt_misc cannot be mounted on [^ ]+ \(mount: permission denied\)|^mount -t binfmt_misc binfmt_misc [^ ]+$|win64|^this machine cannot run 32-bit programs \(its kernel refuses them\), and QEMU user mode could not run them: binfmt_misc cannot
kernel refuses, no backports|||||x|$T/binfmt-probe|/bin/echo|mount|0|qemu-user \(QEMU 10\) could not be installed from [a-z]+-backports: Release '[a-z]+-backports' for 'qemu-user' was not found|^mount .*update.*install .*qemu-user/[a-z]+-backports umount [^ ]+$|win64|kernel refuses them\), and QEMU user mode could not run them: qemu-user
i386 handler there, Wine fails under it|||||any|$T/binfmt-probe|$T/wine-fails|handler|0|!mount|!mount|win64|^32-bit programs run here only under QEMU user mode \(binfmt_misc handler box-i386\), and 32-bit Wine did not run a Windows program under it: 32-bit Wine ended a Windows program with exit code 3$
kernel refuses, QEMU from backports|||||any|$T/binfmt-probe|/bin/echo|mount backports|0|installing qemu-user from [a-z]+-backports.*running a 32-bit Windows program under QEMU|^mount .*update.*install -y -q --no-remove --no-install-recommends qemu-user/[a-z]+-backports register qemu-i386 .*--add-architecture i386.*wine32:i386.* backports source kept$|win32 win64|^$
ROWS
check "emulated time factor" "^5$" "$(LANES_I386_PROBE="$probe" LANES_WINE32="$loader" "$T/repo/scripts/lanes.sh" --time-factor)"
row="TACHY_LANES"
check "an unknown value's exit code" "^2$" "$(TACHY_LANES=bogus "$src/scripts/lanes.sh" 2>/dev/null; echo $?)"
check "win64 forced" "^win64$" "$(TACHY_LANES=win64 LANES_I386_PROBE=/bin/true LANES_WINE32=/bin/true "$src/scripts/lanes.sh")"
echo "checks: $passed passed, $failed failed"
[ $failed -eq 0 ]
