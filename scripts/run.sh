#!/bin/bash
# `make run`: what a user of Windows 98 with a Voodoo3 3000 gets.
#
#   scripts/run.sh WIN32_TREE ZIP             (make run)
#   scripts/run.sh --docs DIR WIN32_TREE ZIP  (make screenshots: DIR = docs)
#
# 1. A fresh Wine prefix <tree>/run/prefix poses as Windows 98 with one
#    "3dfx Voodoo3 3000 AGP" in its display class, whose driver keys look
#    like an installed driver's: DriverDesc, the DEFAULT key and MODES keys
#    at 8, 16, 24 and 32 bit with the rates the driver offers and a few
#    chosen ones. (A copy of one base prefix <tree>/run/base, made once.)
# 2. The release ZIP is unpacked into C:\Tachymark and the real TACHINST.EXE
#    is driven through its dialogs with the mouse (Voodoo3 3000, OK;
#    Installed: OK) by tools/rundriver on a display of its own. When it does
#    not finish or its keys are not there, this stops with exit code 1.
# 3. Display Properties (the stand-in, tools/standin) opens on the Tachymark
#    tab. With a display ($DISPLAY) it stays open until you close it.
#    Without one, pictures of the tab and, after pressing Refresh Rates, of
#    the dialog are saved as <tree>/run/page.png and <tree>/run/refresh-rates.png.
#
# --docs DIR regenerates the pictures of the documentation into DIR: the
# installer's four dialogs (install, then remove), the tab and the
# refresh-rate dialog in English, French and German.
#
# Windows are not managed by a window manager here (Xvfb has none), so
# Wine draws their title bars and frames itself (X11 Driver Managed=N), and
# the prefix gets Wine's own fonts (Marlett draws the close box; Debian's
# Wine 8 does not find them where fonts-wine puts them, /usr/share/wine/fonts).
#
# Environment: TACHY_RUN_LANG=fr|de|es|en picks the system language;
# TACHY_RUN_WORK another folder for the prefix and pictures (the base stays
# in <tree>/run); TACHY_RUN_WAIT how long to wait for each window, in ms.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

docs=""
if [ "${1:-}" = "--docs" ]; then docs="$(mkdir -p "$2" && cd "$2" && pwd)"; shift 2; fi
stage=""
if [ "${1:-}" = "--stage" ]; then stage="$2"; shift 2; fi
tree="$(cd "${1:?usage: run.sh [--docs DIR] WIN32_TREE ZIP}" && pwd)"
zip="${2:?usage: run.sh [--docs DIR] WIN32_TREE ZIP}"
work="${TACHY_RUN_WORK:-$tree/run}"
prefix="$work/prefix"
wait_ms="${TACHY_RUN_WAIT:-30000}"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

lang_of() {
  case "$1" in
    fr) echo fr_FR.UTF-8 ;; de) echo de_DE.UTF-8 ;; es) echo es_ES.UTF-8 ;; *) echo en_US.UTF-8 ;;
  esac
}
lang="$(lang_of "${TACHY_RUN_LANG:-en}")"
driver="$tree/bin/rundriver.exe"
standin="$tree/bin/standin.exe"
installer='C:\Tachymark\TACHINST.EXE'
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# --- The stages that need a display (run under xvfb-run, see below).
if [ -n "$stage" ]; then
  export WINEPREFIX="$prefix"
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  run_installer() { # [--shots DIR]
    if ! LC_ALL="$lang" timeout 180 wine "$driver" install "$installer" --wait "$wait_ms" "$@"; then
      echo "run: the installer step failed: TACHINST.EXE did not install Tachymark" >&2
      exit 1
    fi
  }
  show() { # LANG TAB.bmp REFRESH.bmp
    LC_ALL="$1" timeout 180 wine "$driver" show "$(winpath "$standin")" \
      --tab "$(winpath "$2")" --refresh "$(winpath "$3")"
  }
  case "$stage" in
    install) run_installer ;;
    pictures) run_installer && show "$lang" "$work/page.bmp" "$work/refresh-rates.bmp" ;;
    docs)
      shots="$work/shots"
      rm -rf "$shots" && mkdir -p "$shots"
      lang=en_US.UTF-8
      run_installer --shots "$(winpath "$shots")"
      show en_US.UTF-8 "$shots/page-english.bmp" "$shots/refresh-dialog.bmp"
      show fr_FR.UTF-8 "$shots/page-french.bmp" "$shots/refresh-dialog-fr.bmp"
      show de_DE.UTF-8 "$shots/page-german.bmp" "$shots/refresh-dialog-de.bmp"
      LC_ALL=en_US.UTF-8 timeout 180 wine "$driver" remove "$installer" --shots "$(winpath "$shots")"
      ;;
  esac
  exit 0
fi

# --- Set-up, without a display.
[ -f "$zip" ] || { echo "run: $zip is missing (make dist)" >&2; exit 1; }
cmake --build "$tree" -j"${JOBS:-1}" --target standin rundriver >/dev/null

# The base prefix, made once: Windows 98, windows not managed, Wine's fonts.
base="$tree/run/base"
mkdir -p "$work" "$tree/run"
exec 8>"$tree/run/base-setup.lock"  # not base.lock: wine-init.sh takes that one
flock 8
if [ ! -f "$base/.tachy-run" ]; then
  rm -rf "$base"
  "$here/wine-init.sh" "$base"
  "$here/wine-version.sh" win98 "$base"
  # The colours of Windows 98's standard scheme (Wine's own are greys).
  colours="ActiveTitle=0 0 128;GradientActiveTitle=16 132 208;TitleText=255 255 255
InactiveTitle=128 128 128;GradientInactiveTitle=192 192 192;InactiveTitleText=192 192 192
ButtonFace=192 192 192;ButtonLight=192 192 192;ButtonShadow=128 128 128
ButtonHilight=255 255 255;ButtonDkShadow=0 0 0;Menu=192 192 192;Scrollbar=192 192 192
ActiveBorder=192 192 192;InactiveBorder=192 192 192;Background=0 128 128
AppWorkspace=128 128 128;Hilight=0 0 128;HilightText=255 255 255;GrayText=128 128 128"
  {
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Colors]\n'
    tr ';' '\n' <<< "$colours" | sed 's/^\([^=]*\)=\(.*\)$/"\1"="\2"/'
  } | sed 's/$/\r/' > "$work/look.reg"
  WINEPREFIX="$base" wine regedit /S "$(winpath "$work/look.reg")"
  WINEPREFIX="$base" wineserver -w
  for font in /usr/share/wine/fonts/*; do
    [ -e "$base/drive_c/windows/Fonts/${font##*/}" ] || cp "$font" "$base/drive_c/windows/Fonts/"
  done
  touch "$base/.tachy-run"
fi
exec 8>&-
# A fresh copy: hard links for the files Wine only reads, real registry files.
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
rm -rf "$prefix"
cp -al "$base" "$prefix"
(cd "$base" && cp --remove-destination ./*.reg "$prefix/")
export WINEPREFIX="$prefix"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
trap 'exit 130' INT TERM

# The Voodoo3 3000's driver keys.
seed="$work/voodoo3.reg"
class='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Display\0000'
rates() { # MODE DEPTH: the rates the driver offers, or nothing
  case "$1" in
    640,480|800,600|960,720|1024,768|1152,864|1280,960|1280,1024) echo 60,72,75,85 ;;
    1600,1024) echo 60,75,85 ;;
    1600,1200|1792,1344|1856,1392|1920,1080|1920,1200) echo 60,75 ;;
    1920,1440) echo 60 ;;
    2046,1536) if [ "$2" -le 16 ]; then echo 60; fi ;;
  esac
}
chosen() { # MODE DEPTH: the rate the user chose, if any
  case "$2:$1" in
    8:800,600|16:800,600) echo 75 ;;
    8:1024,768|16:1024,768|32:1024,768) echo 85 ;;
    8:1280,1024) echo -1 ;;
  esac
}
{
  echo REGEDIT4
  echo
  echo "[$class]"
  echo '"DriverDesc"="3dfx Voodoo3 3000 AGP"'
  echo '"ProviderName"="3dfx Interactive, Inc."'
  echo '"DriverDate"="10-23-2000"'
  echo '"InfPath"="OEM0.INF"'
  echo
  echo "[$class\\DEFAULT]"
  echo '"drv"="3dfxvs.drv"'
  echo '"minivdd"="3dfxvs.vxd"'
  echo '"Mode"="16,1024,768"'
  echo '"RefreshRate"="0"'
  echo '"DDC"="1"'
  for depth in 8 16 24 32; do
    for mode in 640,480 800,600 960,720 1024,768 1152,864 1280,960 1280,1024 1600,1024 \
                1600,1200 1792,1344 1856,1392 1920,1080 1920,1200 1920,1440 2046,1536; do
      offered="$(rates "$mode" "$depth")"
      [ -n "$offered" ] || continue
      echo
      echo "[$class\\MODES\\$depth\\$mode]"
      echo "@=\"$offered\""
      rate="$(chosen "$mode" "$depth")"
      [ -z "$rate" ] || echo "\"RefreshRate\"=\"$rate\""
    done
  done
} | sed 's/$/\r/' > "$seed"
wine regedit /S "$(winpath "$seed")"
mkdir -p "$prefix/drive_c/Tachymark"
unzip -q -o "$zip" -d "$prefix/drive_c/Tachymark"
# The set-up ran without a display; the windows' processes must all start
# on the display they are shown on.
wineserver -k >/dev/null 2>&1 || true
wineserver -w || true

xvfb() { xvfb-run -a -s "-screen 0 1024x768x24" "$0" --stage "$1" "$tree" "$zip"; }
png() { convert "$1" -strip -define png:exclude-chunks=date,time "$2"; }

if [ -n "$docs" ]; then
  xvfb docs
  for shot in "$work"/shots/*.bmp; do
    name="${shot##*/}"
    png "$shot" "$docs/${name%.bmp}.png"
    echo "Picture: $docs/${name%.bmp}.png"
  done
elif [ -n "${DISPLAY:-}" ]; then
  xvfb install
  # A window manager draws the frames on your display.
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w || true
  echo "Display Properties is open on the Tachymark tab; close it to end."
  LC_ALL="$lang" wine "$standin"
else
  xvfb pictures
  png "$work/page.bmp" "$work/page.png"
  png "$work/refresh-rates.bmp" "$work/refresh-rates.png"
  echo "Picture of the Tachymark tab: $work/page.png"
  echo "Picture of the Refresh Rates dialog: $work/refresh-rates.png"
fi
