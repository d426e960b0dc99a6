#!/bin/bash
# Runs a Windows program under Wine with the build tree's own prefix: 32-bit
# Wine for the win32 tree, 64-bit Wine for the win64 tree.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#
# Used as CMAKE_CROSSCOMPILING_EMULATOR by the Windows builds, so ctest starts
# every Windows test program through it. The prefix is, in this order:
#   $TACHY_WINEPREFIX (the Makefile and the win32 tests set it),
#   <build tree>/wineprefix, where the build tree is the first directory
#       above PROGRAM that holds a CMakeCache.txt,
#   <source tree>/build/wineprefix.
# The prefix is created once (under a lock, so parallel ctest runs do not
# race) for the tree's architecture ($TACHY_WINEARCH when set, else from
# the tree's CMake cache). The exit code is the program's.
#
# Two Wine lanes: the GUI tests move the one mouse and keyboard of their X
# display and share the prefix's registry, so no two may run in one lane at
# once. ctest hands each test a lane (the "wine" resource of
# tests/win/wine-lanes.json, in CTEST_RESOURCE_GROUP_0_WINE); lane 1 has a
# prefix of its own (<prefix>-lane1) and the X display $TACHY_LANE1_DISPLAY
# (scripts/test-wine.sh starts it). Without that display everything runs in
# lane 0. Within a lane, programs take turns on a lock, so that even a ctest
# run without lanes never puts two of them in one prefix at once.
set -u

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

[ $# -gt 0 ] || { echo "usage: $0 PROGRAM [ARGS...]" >&2; exit 2; }
# The build tree: the first directory above PROGRAM with a CMakeCache.txt.
tree="$(cd "$(dirname "$1")" 2>/dev/null && pwd)" || tree=/
while [ "$tree" != / ] && [ ! -f "$tree/CMakeCache.txt" ]; do tree="$(dirname "$tree")"; done
[ "$tree" != / ] || tree=""
if [ -n "${TACHY_WINEPREFIX:-}" ]; then
  prefix="$TACHY_WINEPREFIX"
elif [ -n "$tree" ]; then
  prefix="$tree/wineprefix"
else
  prefix="$(dirname "$here")/build/wineprefix"
fi

case "${CTEST_RESOURCE_GROUP_0_WINE:-}" in
  id:1,*)
    if [ -n "${TACHY_LANE1_DISPLAY:-}" ]; then
      prefix="$prefix-lane1"
      export DISPLAY="$TACHY_LANE1_DISPLAY"
    fi ;;
esac

. "$here/wine-env.sh"
export TACHY_WINEARCH="${TACHY_WINEARCH:-$(tachy_tree_arch "$tree")}"
tachy_wine "$TACHY_WINEARCH"  # TACHY_WINE: for the tests that start wine again
export WINEPREFIX="$prefix"
export TACHY_WINEPREFIX="$prefix"  # for the tests that start wine again
# Programs that show windows need an X display: run them (or ctest) under
# xvfb-run -a, as scripts/test-wine.sh does.

"$here/wine-init.sh" "$prefix" "$TACHY_WINEARCH" || exit 1

# -o: the lock is the flock process's own, not inherited by wineserver
# (which outlives the program by a few seconds).
flock -o "$prefix.busy" "$TACHY_WINE" "$@"
exit $?
