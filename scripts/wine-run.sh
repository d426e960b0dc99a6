#!/bin/bash
# Runs a Windows program under 32-bit Wine with the build tree's own prefix.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#
# Used as CMAKE_CROSSCOMPILING_EMULATOR by the win32 build, so ctest starts
# every Windows test program through it. The prefix is, in this order:
#   $TACHY_WINEPREFIX (the Makefile and the win32 tests set it),
#   <build tree>/wineprefix, where the build tree is the first directory
#       above PROGRAM that holds a CMakeCache.txt,
#   <source tree>/build/wineprefix.
# The prefix is created once (under a lock, so parallel ctest runs do not
# race) and is a plain 32-bit one. The exit code is the program's.
set -u

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

find_build_tree() {
  local dir
  dir="$(cd "$(dirname "$1")" 2>/dev/null && pwd)" || return 1
  while [ -n "$dir" ] && [ "$dir" != "/" ]; do
    if [ -f "$dir/CMakeCache.txt" ]; then
      echo "$dir"
      return 0
    fi
    dir="$(dirname "$dir")"
  done
  return 1
}

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM [ARGS...]" >&2
  exit 2
fi

if [ -n "${TACHY_WINEPREFIX:-}" ]; then
  prefix="$TACHY_WINEPREFIX"
elif tree="$(find_build_tree "$1")"; then
  prefix="$tree/wineprefix"
else
  prefix="$(dirname "$here")/build/wineprefix"
fi

export WINEPREFIX="$prefix"
export WINEARCH=win32
export WINEDEBUG="${TACHY_WINEDEBUG:--all}"  # TACHY_WINEDEBUG=+reg etc. to trace
export WINEDLLOVERRIDES="mscoree,mshtml="
# Programs that show windows need an X display: run them (or ctest) under
# xvfb-run -a, as scripts/test-win32.sh does.

"$here/wine-init.sh" "$prefix" || exit 1

wine "$@"
exit $?
