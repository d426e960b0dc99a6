#!/bin/bash
# Creates the Wine prefix PREFIX once, under a lock; later calls return at once.
#
#   scripts/wine-init.sh PREFIX [win32|win64]      (default: $WINEARCH, else win32)
#
# Only build/wineprefix-<arch> is booted (15-30 s); every other prefix is a
# copy of it, hard-linked but for the registry files (the only files Wine or
# our programs change in place), or is booted itself where that copy fails.
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="${1:?usage: wine-init.sh PREFIX [win32|win64]}"
mkdir -p "$(dirname "$prefix")"
stamp="$prefix/.tachy-ready"
[ -f "$stamp" ] && exit 0

. "$here/wine-env.sh"
tachy_wine "${2:-${WINEARCH:-win32}}"
template="$(dirname "$here")/build/wineprefix-$WINEARCH"

boot() {
  local log="$1.init.log" rc
  WINEPREFIX="$1" WINEDEBUG=-all "$TACHY_WINE" wineboot -i >"$log" 2>&1
  rc=$?
  WINEPREFIX="$1" wineserver -w
  if [ $rc -ne 0 ] || [ ! -f "$1/system.reg" ]; then
    echo "wine-init: could not create the $WINEARCH Wine prefix $1 (wineboot exit $rc); Wine said:" >&2
    grep -v '^$' "$log" | tail -n 8 | sed 's/^/  /' >&2
    return 1
  fi
  rm -f "$log"
  touch "$1/.tachy-ready"
}

exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && exit 0
[ "$prefix" != "$template" ] || { boot "$prefix"; exit; }
"$0" "$template" "$WINEARCH" || exit 1
rm -rf "$prefix" "$prefix.new"
if cp -al "$template" "$prefix.new" 2>/dev/null &&
   (cd "$template" && cp --remove-destination ./*.reg "$prefix.new/"); then
  mv "$prefix.new" "$prefix"
else
  rm -rf "$prefix.new"
  boot "$prefix" || exit 1
fi
exit 0
