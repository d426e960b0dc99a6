#!/bin/bash
# Prints the Wine lanes this machine can run, space-separated, win32 first:
# "win32 win64" where 32-bit programs run, else "win64" (and one line on
# stderr saying why). TACHY_LANES=win64 forces the 64-bit lane alone, so the
# fallback can be tried on any machine.
#
#   scripts/lanes.sh
set -u
if [ "${TACHY_LANES:-}" = win64 ]; then
  echo "lanes: TACHY_LANES=win64: only the 64-bit lane runs" >&2
  echo win64
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo win32 win64
else
  echo "lanes: this machine cannot run 32-bit programs, so the Windows tests run on a 64-bit build of the same sources; the release is still the 32-bit pair" >&2
  echo win64
fi
