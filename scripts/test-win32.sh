#!/bin/bash
# Runs the win32 tree's tests: every Windows test program under 32-bit Wine
# (one Xvfb display for the whole run, the tree's own Wine prefix) and the
# import check of the deliverables. The tree's wineserver is stopped at the
# end, also on failure or interruption.
#
#   scripts/test-win32.sh BUILD_TREE [ctest args...]
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
tree="$(cd "${1:?usage: test-win32.sh BUILD_TREE}" && pwd)"
shift
export TACHY_WINEPREFIX="$tree/wineprefix"

stop_wine() { WINEPREFIX="$TACHY_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
trap 'exit 130' INT TERM

"$here/wine-init.sh" "$TACHY_WINEPREFIX" || exit 1
xvfb-run -a -s "-screen 0 1024x768x24" \
  ctest --test-dir "$tree" --output-on-failure -j"${JOBS:-2}" "$@"
