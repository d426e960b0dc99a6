#!/bin/bash
# `make run`: shows what was built, then opens the Display Properties
# stand-in with the Tachymark tab under Wine.
#
#   scripts/run.sh BIN_DIR            (BIN_DIR: <win32 tree>/bin)
#
# The Wine prefix <win32 tree>/run-wineprefix poses as Windows 98 with one
# Voodoo3 3000 in its display class; the page module is registered with
# regsvr32 and as a Display property-sheet handler, as the installer does,
# and the product key gets the installer's values for a Voodoo3 3000 when it
# has none. Then the stand-in opens the sheet on the Tachymark tab.
#
# With a display ($DISPLAY set) the sheet stays open until you close it.
# Without one it runs under Xvfb, a screenshot of the sheet is saved as
# <win32 tree>/run/page.png and its path printed.
#
# Environment: TACHY_RUN_LANG=fr|de|es|en picks the system language (French,
# German, Spanish, English); TACHY_RUN_SHOT=FILE saves the screenshot there.
set -euo pipefail
dist="${1:?usage: run.sh BIN_DIR}"
dist="$(cd "$dist" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
tree="$(dirname "$dist")"

echo "Built into $dist:"
ls -l "$dist"
"$here/check-imports.sh" "$dist/TACHPAGE.DLL" "$dist/TACHINST.EXE"

# The stand-in is a developer tool of the Windows tree.
cmake --build "$tree" -j"${JOBS:-2}" --target standin >/dev/null
standin="$tree/bin/standin.exe"

prefix="$tree/run-wineprefix"
"$here/wine-init.sh" "$prefix"
"$here/wine-version.sh" win98 "$prefix"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT

reg() { wine reg "$@" >/dev/null; }
reg add 'HKLM\System\CurrentControlSet\Services\Class\Display\0000' /v DriverDesc /d '3dfx Voodoo3 3000' /f
if ! wine reg query 'HKLM\Software\Tachymark' >/dev/null 2>&1; then
  product='HKLM\Software\Tachymark'
  reg add "$product" /v LowerLimit /d 120 /f
  reg add "$product" /v UpperLimit /d 220 /f
  reg add "$product" /v Model /d 'Voodoo3 3000' /f
  reg add "$product" /v DefaultClock /d 166 /f
  reg add "$product" /v EnableClock /d 0 /f
  reg add "$product" /v ColorDepth /d 8 /f
  reg add "$product" /v LinkAllColorDepths /d 0 /f
fi
dll="$(winepath -w "$dist/TACHPAGE.DLL")"
wine regsvr32 /s "$dll"
reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Controls Folder\Display\shellex\PropertySheetHandlers\Tachymark' \
  /ve /d '{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}' /f

case "${TACHY_RUN_LANG:-en}" in
  fr) lang=fr_FR.UTF-8 ;;
  de) lang=de_DE.UTF-8 ;;
  es) lang=es_ES.UTF-8 ;;
  *) lang=en_US.UTF-8 ;;
esac

# The set-up above ran without a display; the sheet's processes must all
# start on the display it is shown on.
wineserver -k >/dev/null 2>&1 || true
wineserver -w || true

if [ -n "${DISPLAY:-}" ]; then
  LC_ALL="$lang" wine "$standin"
  exit 0
fi

mkdir -p "$tree/run"
shot="${TACHY_RUN_SHOT:-$tree/run/page.png}"
cat > "$tree/run/shot.sh" <<SHOT
#!/bin/bash
LC_ALL="$lang" wine "$standin" --close-after 20000 >"$tree/run/standin.log" 2>&1 &
pid=\$!
win=""
for i in \$(seq 1 60); do
  win=\$(xdotool search --name "^Display Properties\$" 2>/dev/null | head -1)
  [ -n "\$win" ] && break
  sleep 0.5
done
if [ -z "\$win" ]; then echo "run: the sheet did not open" >&2; kill \$pid; exit 1; fi
sleep 2
import -window "\$win" "$shot"
xdotool key --window "\$win" Escape >/dev/null 2>&1 || true
wait \$pid
SHOT
chmod +x "$tree/run/shot.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$tree/run/shot.sh"
cat "$tree/run/standin.log"
echo "Screenshot of the Tachymark tab: $shot"
