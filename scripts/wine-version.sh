#!/bin/bash
# Sets the Windows version that Wine poses as in a prefix.
#
#   scripts/wine-version.sh VERSION [PREFIX]
#
# VERSION: win95, win98, winme, nt40, win2k, winxp, win7, win10.
# PREFIX: defaults to $TACHY_WINEPREFIX, else build/win32/wineprefix.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
version="${1:?usage: wine-version.sh VERSION [PREFIX]}"
case "$version" in
  win95|win98|winme|nt40|win2k|winxp|win7|win10) ;;
  *) echo "wine-version: unknown version '$version'" >&2; exit 2 ;;
esac
prefix="${2:-${TACHY_WINEPREFIX:-$(dirname "$here")/build/win32/wineprefix}}"
"$here/wine-init.sh" "$prefix"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null
