#!/bin/bash
# Creates the 32-bit Wine prefix PREFIX once; later calls return at once.
# A lock keeps parallel callers from initialising the same prefix twice.
#
#   scripts/wine-init.sh PREFIX
set -u
prefix="${1:?usage: wine-init.sh PREFIX}"
mkdir -p "$(dirname "$prefix")"
stamp="$prefix/.tachy-ready"
[ -f "$stamp" ] && exit 0

export WINEPREFIX="$prefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

exec 9>"$prefix.lock"
flock 9
if [ ! -f "$stamp" ]; then
  wineboot -i >/dev/null 2>&1
  rc=$?
  wineserver -w
  if [ $rc -ne 0 ] || [ ! -f "$prefix/system.reg" ]; then
    echo "wine-init: could not create the Wine prefix $prefix (wineboot $rc)" >&2
    exit 1
  fi
  touch "$stamp"
fi
exit 0
