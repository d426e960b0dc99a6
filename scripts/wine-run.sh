#!/bin/bash
# Runs a Windows program under the Wine of its build tree's architecture,
# with the tree's own prefix; see docs/testing.md ("Wine helpers"). The
# Windows builds' CMAKE_CROSSCOMPILING_EMULATOR; the exit code is the program's.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#
# Prefix: $TACHY_WINEPREFIX, else <build tree>/wineprefix (the first folder
# above PROGRAM with a CMakeCache.txt), else <source>/build/wineprefix; under
# ctest's lane 1 (resource "wine" id 1, tests/win/wine-lanes.json) with
# $TACHY_LANE1_DISPLAY set, <prefix>-lane1 on that display. Within a lane,
# programs take turns on a lock, even in a ctest run without lanes.
set -u

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

[ $# -gt 0 ] || { echo "usage: $0 PROGRAM [ARGS...]" >&2; exit 2; }
tree="$(cd "$(dirname "$1")" 2>/dev/null && pwd)" || tree=/
while [ "$tree" != / ] && [ ! -f "$tree/CMakeCache.txt" ]; do tree="$(dirname "$tree")"; done
[ "$tree" != / ] || tree=""
prefix="${TACHY_WINEPREFIX:-${tree:-$(dirname "$here")/build}/wineprefix}"
if [[ "${CTEST_RESOURCE_GROUP_0_WINE:-}" == id:1,* && -n "${TACHY_LANE1_DISPLAY:-}" ]]; then
  prefix="$prefix-lane1"
  export DISPLAY="$TACHY_LANE1_DISPLAY"
fi

. "$here/wine-env.sh"
export TACHY_WINEARCH="${TACHY_WINEARCH:-$(tachy_tree_arch "$tree")}"
tachy_wine "$TACHY_WINEARCH"  # TACHY_WINE: for the tests that start wine again
export WINEPREFIX="$prefix"
export TACHY_WINEPREFIX="$prefix"  # for the tests that start wine again

"$here/wine-init.sh" "$prefix" "$TACHY_WINEARCH" || exit 1

# -o: the lock is the flock process's own, not inherited by wineserver
# (which outlives the program by a few seconds).
flock -o "$prefix.busy" "$TACHY_WINE" "$@"
