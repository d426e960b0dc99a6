#!/bin/bash
# Which Wine lanes this machine can run, win32 first:
#   "win32 win64"  32-bit programs run here: both lanes
#   "win64"        the kernel cannot run 32-bit programs (32-bit emulation
#                  disabled: the 32-bit Wine loader fails with "Exec format
#                  error"), or TACHY_LANES=win64 asks for the 64-bit lane
#                  alone, so that the fallback can be tried on any machine
#
#   scripts/lanes.sh         the lanes
#   scripts/lanes.sh --why   why win32 does not run (nothing when it does)
#   scripts/lanes.sh --say   the plain line set-up prints when win32 does not run
# Needs Wine installed (scripts/setup.sh). Exit 2 on a TACHY_LANES it does
# not know.
set -u
case "${TACHY_LANES:-}" in
  "") if /usr/lib/wine/wine --version >/dev/null 2>&1; then why=""
      else why="this machine cannot run 32-bit programs"; fi ;;
  win64) why="TACHY_LANES=win64 asks for the 64-bit lane alone" ;;
  *) echo "lanes: TACHY_LANES=$TACHY_LANES is not known; use TACHY_LANES=win64 or leave it unset" >&2
     exit 2 ;;
esac
case "${1:-}" in
  --why) [ -z "$why" ] || echo "$why" ;;
  --say) [ -z "$why" ] || echo "$why, so the Windows tests run on a 64-bit build of the same sources under 64-bit Wine; the release is still the 32-bit pair." ;;
  *) if [ -z "$why" ]; then echo "win32 win64"; else echo win64; fi ;;
esac
