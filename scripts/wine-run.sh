#!/bin/bash
# Runs a Windows program under the Wine of its build tree, in the tree's own
# prefix, ctest's lane and a lock; exits with the program's code. The Windows
# builds' CMAKE_CROSSCOMPILING_EMULATOR; see docs/testing.md ("Wine helpers").
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
set -u

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

[ $# -gt 0 ] || { echo "usage: $0 PROGRAM [ARGS...]" >&2; exit 2; }
tree="$(cd "$(dirname "$1")" 2>/dev/null && pwd)" || tree=/
while [ "$tree" != / ] && [ ! -f "$tree/CMakeCache.txt" ]; do tree="$(dirname "$tree")"; done
[ "$tree" != / ] || tree=""
# ctest's lane 1 (resource "wine", tests/win/wine-lanes.json) has a prefix and display of its own.
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
