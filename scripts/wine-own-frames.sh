#!/bin/bash
# Lets Wine draw the frames of a program's windows itself (X11 Driver
# Managed=N for that program only). Without a window manager, as under
# Xvfb, Wine otherwise waits about 2 s each time it shows or hides a
# managed window. It counts from the program's next start.
#
#   scripts/wine-own-frames.sh PROGRAM.exe PREFIX...
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
exe="${1:?usage: wine-own-frames.sh PROGRAM.exe PREFIX...}"
shift
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
for prefix in "$@"; do
  "$here/wine-init.sh" "$prefix"
  WINEPREFIX="$prefix" wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe\\X11 Driver" \
    /v Managed /d N /f >/dev/null
done
