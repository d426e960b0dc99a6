#!/bin/bash
# Creates the Wine prefix PREFIX once; later calls return at once. A lock
# keeps parallel callers from initialising the same prefix twice.
#
#   scripts/wine-init.sh PREFIX [win32|win64]
#
# The architecture defaults to $WINEARCH, else win32.
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="${1:?usage: wine-init.sh PREFIX [win32|win64]}"
mkdir -p "$(dirname "$prefix")"
stamp="$prefix/.tachy-ready"
[ -f "$stamp" ] && exit 0

. "$here/wine-env.sh"
tachy_wine "${2:-${WINEARCH:-win32}}"
export WINEPREFIX="$prefix" WINEDEBUG=-all

exec 9>"$prefix.lock"
flock 9
if [ ! -f "$stamp" ]; then
  log="$prefix.init.log"
  "$TACHY_WINE" wineboot -i >"$log" 2>&1
  rc=$?
  wineserver -w
  if [ $rc -ne 0 ] || [ ! -f "$prefix/system.reg" ]; then
    echo "wine-init: could not create the $WINEARCH Wine prefix $prefix (wineboot exit $rc); Wine said:" >&2
    grep -v '^$' "$log" | tail -n 8 | sed 's/^/  /' >&2
    exit 1
  fi
  rm -f "$log"
  touch "$stamp"
fi
exit 0
