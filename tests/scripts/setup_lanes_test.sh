#!/bin/bash
# Set-up's decisions and the lanes, against a stand-in apt-get, apt-cache,
# dpkg and dpkg-query first in PATH (they log every call and install into a
# list) and a stand-in i386 probe and 32-bit Wine loader. Each row: a
# machine, what set-up must say and do, what the lanes must be.
set -u
unset TACHY_LANES  # the rows decide the lanes themselves
src="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
mkdir -p "$T/bin" "$T/repo/scripts"
cp "$src/scripts/setup.sh" "$src/scripts/lanes.sh" "$T/repo/scripts/"
base="$(sed -n '/^packages=(/,/^)/p' "$src/scripts/setup.sh" | sed '1d;$d') libclang-rt-14-dev"
printf '\177ELF\1\1\1 not for this kernel' >"$T/refused"; chmod +x "$T/refused"
cat >"$T/bin/dpkg-query" <<'S'
#!/bin/bash
case "$2" in *Depends*) echo "clang-14 (>= 14)" ;;
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
  wine32:i386) [ -n "$(cat "$S/wine32")" ] && grep -q "$(cat "$S/wine32")" "${pin:-/dev/null}" 2>/dev/null ||
    { echo " libwine:i386 : Depends: zlib1g:i386 but it is not going to be installed"
      echo "E: Unable to correct problems, you have held broken packages."; exit 100; } ;;
  *) grep -qx "$p" "$S/nocandidate" && { echo "E: Package '$p' has no installation candidate"; exit 100; } ;;
esac; done
printf '%s\n' "$@" >>"$S/installed"
S
printf '#!/bin/sh\nprintf "%%s\\n" en_US.utf8 en_GB.utf8 fr_FR.utf8 de_DE.utf8 es_ES.utf8\n' >"$T/bin/locale"
chmod +x "$T/bin/"*
passed=0 failed=0
check() {  # what, then pattern (a leading ! means: must not match), then text as one line
  local pat="${2#!}" hit=0 flat; flat="$(tr '\n' ' ' <<<"$3")"
  grep -qE -- "$pat" <<<"${flat% }" && hit=1
  if [ $hit -eq $([ "$pat" = "$2" ] && echo 1 || echo 0) ]; then passed=$((passed + 1)); return; fi
  echo "FAIL $row: $1 ${2:0:1}~ /$pat/ in: $3"; failed=$((failed + 1))
}
# row | installed beyond the base | base missing | no candidate | update fails |
# wine32 installs with a pin on | probe | wine32 loader | set-up's exit |
# set-up says | calls | lanes | lanes --why
while IFS='|' read -r row extra gone nocand updfail pinok probe loader rc says calls lanes why; do
  S="$T/$row"; mkdir -p "$S"; : >"$S/calls"; : >"$S/arches"
  printf '%s\n' $base $extra | grep -vxE "${gone:-^$}" >"$S/installed"
  echo "$nocand" >"$S/nocandidate"; echo "$pinok" >"$S/wine32"
  if [ "$updfail" = yes ]; then echo 100 >"$S/update.rc"
    echo "Err:4 http://deb.debian.org/debian-security bookworm-security/main i386 Packages" >"$S/update.out"
  else echo 0 >"$S/update.rc"; : >"$S/update.out"; fi
  rm -rf "$T/repo/build"
  out="$(S="$S" PATH="$T/bin:$PATH" LANES_I386_PROBE="$probe" LANES_WINE32="$loader" bash "$T/repo/scripts/setup.sh" 2>&1)"
  check "set-up's exit code" "^$rc\$" "$?"
  check "set-up's output" "$says" "$out"
  check "apt calls" "$calls" "$(cat "$S/calls")"
  check "install without --no-remove" '!apt-get install (-y -q )?[^-]' "$(cat "$S/calls")"
  check lanes "^$lanes\$" "$(LANES_I386_PROBE="$probe" LANES_WINE32="$loader" "$T/repo/scripts/lanes.sh")"
  check "lanes --why" "$why" "$(LANES_I386_PROBE="$probe" LANES_WINE32="$loader" "$T/repo/scripts/lanes.sh" --why)"
done <<ROWS
all present|wine32:i386||||x|/bin/true|/bin/true|0|!installing|^$|win32 win64|^$
update fails, wine32 retried||xvfb||yes|n=bookworm-security|/bin/true|/bin/true|0|warning: apt-get update failed for http://deb.debian.org/debian-security bookworm-security/main i386 Packages.*without bookworm-security.*trying once more without bookworm-security|--add-architecture i386.*install -y -q --no-remove -o Dir::Etc::Preferences=[^ ]+ xvfb.*wine32:i386 wine64 .*wine32:i386 wine64 -o|win32 win64|^$
wine32 cannot be installed|||||n=none|/bin/true|/nonexistent|0|32-bit Wine could not be installed: Unable to correct problems, you have held broken packages \(libwine:i386 : Depends: zlib1g:i386 .*\), so .*release pair is not executed|wine32:i386|win64|^32-bit Wine could not be installed: Unable to correct problems
no candidate|mtools|mtools|mtools|||/bin/true|/bin/true|1|no candidate for: mtools$|install|win32 win64|^$
kernel refuses|||||x|$T/refused|/nonexistent|0|cannot run 32-bit programs \(its kernel refuses them\)|^$|win64|^this machine cannot run 32-bit programs
ROWS
row="TACHY_LANES"
check "an unknown value's exit code" "^2$" "$(TACHY_LANES=bogus "$src/scripts/lanes.sh" 2>/dev/null; echo $?)"
check "win64 forced" "^win64$" "$(TACHY_LANES=win64 LANES_I386_PROBE=/bin/true LANES_WINE32=/bin/true "$src/scripts/lanes.sh")"
echo "checks: $passed passed, $failed failed"
[ $failed -eq 0 ]
