# Sourced by every script that runs Wine: the Wine of a build tree's
# architecture, and the environment all our Wine runs share.
#
#   tachy_wine ARCH         win32 or win64: exports WINEARCH, TACHY_WINE (the
#                           loader to run programs with: "$TACHY_WINE" prog.exe),
#                           WINEDEBUG, WINEDLLOVERRIDES and TACHY_TIME_FACTOR
#                           (how many times longer a Wine step may take: 1,
#                           or more for 32-bit Wine under QEMU user mode, as
#                           scripts/lanes.sh --time-factor says)
#   tachy_tree_arch TREE    prints win64 for an x86_64 build tree, else win32
#
# Debian's /usr/bin/wine picks the 32-bit loader whenever wine32 is
# installed, also on a kernel that cannot run it; a win64 prefix is run with
# the 64-bit loader itself (and WINELOADER, which Wine uses for the
# processes it starts).
tachy_wine() {
  export WINEARCH="$1"
  export WINEDEBUG="${TACHY_WINEDEBUG:--all}"  # TACHY_WINEDEBUG=+reg etc. to trace
  # No Mono or Gecko; and no winedbg: a program that crashes ends at once
  # (with a non-zero exit code) instead of waiting on Wine's crash dialog.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  if [ "$1" = win64 ]; then
    export TACHY_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 TACHY_TIME_FACTOR=1
  else
    export TACHY_WINE=wine
    export TACHY_TIME_FACTOR="${TACHY_TIME_FACTOR:-$("$(dirname "${BASH_SOURCE[0]}")/lanes.sh" --time-factor || echo 1)}"
  fi
}

tachy_tree_arch() {
  if grep -qx 'TACHY_WINEARCH:INTERNAL=win64' "$1/CMakeCache.txt" 2>/dev/null; then
    echo win64
  else
    echo win32
  fi
}
