#!/bin/bash
# Sets the Windows version that Wine poses as; see docs/testing.md ("Wine
# helpers") for VERSION and --app.
#
#   scripts/wine-version.sh VERSION [--app PROGRAM.exe] [PREFIX...]
#
# PREFIX defaults to $TACHY_WINEPREFIX, else build/win32/wineprefix; the
# prefixes are of $TACHY_WINEARCH (win32 when unset).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
version="${1:?usage: wine-version.sh VERSION [--app PROGRAM.exe] [PREFIX]}"
shift
[[ "$version" =~ ^(win95|win98|winme|nt40|win2k|winxp|win7|win10)$ ]] ||
  { echo "wine-version: unknown version '$version'" >&2; exit 2; }
key='HKCU\Software\Wine'
if [ "${1:-}" = "--app" ]; then
  key="HKCU\\Software\\Wine\\AppDefaults\\${2:?--app needs a program name}"
  shift 2
fi
[ $# -gt 0 ] || set -- "${TACHY_WINEPREFIX:-$(dirname "$here")/build/win32/wineprefix}"
. "$here/wine-env.sh"
tachy_wine "${TACHY_WINEARCH:-win32}"
for prefix in "$@"; do
  "$here/wine-init.sh" "$prefix" "$WINEARCH"
  WINEPREFIX="$prefix" "$TACHY_WINE" reg add "$key" /v Version /d "$version" /f >/dev/null
done
