#!/bin/bash
# `make run`: what a user of Windows 98 with a Voodoo3 3000 gets.
#
#   scripts/run.sh WIN_TREE ZIP             (make run)
#   scripts/run.sh --docs DIR WIN_TREE ZIP  (make screenshots: DIR = docs)
#   scripts/run.sh --check [docs]           (what the run needs, before a build)
#
# WIN_TREE: build/win32 (32-bit Wine) or build/win64 (64-bit Wine, the
# test build of the same sources); ZIP: the package of its two files. What
# the run does and shows, step by step, is in docs/run.md. Every failure
# ends with a line "run: ..." naming the step and its cause.
#
# Environment: TACHY_RUN_LANG=fr|de|es|en picks the system language;
# TACHY_RUN_WORK another folder for the prefix and pictures (the base stays
# in <tree>/run); TACHY_RUN_WAIT how long to wait for each window, in ms
# (times TACHY_TIME_FACTOR, as every time-out here: see wine-env.sh).
set -eEuo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
fail() { echo "run: $*" >&2; exit 1; }
# A command that fails without a message of ours still says where.
trap 'echo "run: stopped: \"$BASH_COMMAND\" failed (exit $?, line $LINENO of scripts/run.sh)" >&2' ERR

case "${TACHY_RUN_LANG:-en}" in
  fr) lang=fr_FR.UTF-8 ;; de) lang=de_DE.UTF-8 ;; es) lang=es_ES.UTF-8 ;; en) lang=en_US.UTF-8 ;;
  *) fail "TACHY_RUN_LANG=$TACHY_RUN_LANG is not a language of make run; use fr, de, es or en" ;;
esac

# What the run needs besides the build; --check tells before a long build.
preflight() { # [docs]
  local tool
  for tool in unzip:unzip xvfb-run:xvfb convert:imagemagick xdpyinfo:x11-utils wineserver:wine; do
    command -v "${tool%%:*}" >/dev/null ||
      fail "${tool%%:*} is missing: install the package ${tool#*:} (scripts/setup.sh does)"
  done
  [ -f /usr/share/wine/fonts/marlett.ttf ] ||
    fail "Wine's fonts are missing (no /usr/share/wine/fonts/marlett.ttf): install the package fonts-wine (scripts/setup.sh does)"
  if [ -z "${1:-}" ] && [ -n "${DISPLAY:-}" ]; then
    local said
    said="$(xdpyinfo 2>&1 >/dev/null | tr -s '\n' ' ' | sed 's/xdpyinfo: *//g; s/ *$//')" ||
      fail "DISPLAY=$DISPLAY is set, but that X display cannot be used (xdpyinfo: ${said:-no answer}); run without it (env -u DISPLAY make run) to save pictures instead"
  fi
  return 0
}
if [ "${1:-}" = "--check" ]; then preflight "${2:-}"; exit 0; fi

# png BMP PNG: a picture the run took, saved as PNG and checked. A picture
# of one colour, or without the dark pixels of text, shows no window: Wine
# drew nothing (as 32-bit Wine under an emulator did: one black rectangle).
# Frames and lines are dark too, so the dark pixels on straight runs of 12
# and more do not count: what is left are the letters (an installer dialog
# has 800 and more, one whose texts are not drawn 160 at most).
png() {
  local colours letters
  convert "$1" -strip -define png:exclude-chunks=date,time "$2" ||
    fail "could not convert $1 into $2 (convert exit $?)"
  colours="$(convert "$2" -format '%k' info:)" && letters="$(convert "$2" -separate \
    -evaluate-sequence max -threshold 25% -negate \( -clone 0 -morphology Open rectangle:12x1 \) \
    \( -clone 0 -morphology Open rectangle:1x12 \) \( -clone 1,2 -evaluate-sequence max \) \
    -delete 1,2 -compose MinusSrc -composite -format '%[fx:round(mean*w*h)]' info:)" ||
    fail "could not read the picture $2 (convert exit $?)"
  [ "$colours" -gt 1 ] ||
    fail "the picture $2 is blank (one colour): Wine cannot draw on this display"
  [ "$letters" -ge 400 ] ||
    fail "the picture $2 has no text ($letters dark pixels of letters, fewer than 400): Wine cannot draw on this display"
}
# --picture BMP PNG: that step alone (scripts/check-run.sh feeds it pictures).
if [ "${1:-}" = "--picture" ]; then png "${2:?}" "${3:?}"; exit 0; fi

docs=""
if [ "${1:-}" = "--docs" ]; then docs="$(mkdir -p "$2" && cd "$2" && pwd)"; shift 2; fi
stage=""
if [ "${1:-}" = "--stage" ]; then stage="$2"; shift 2; fi
tree="$(cd "${1:?usage: run.sh [--docs DIR] WIN_TREE ZIP}" && pwd)"
zip="${2:?usage: run.sh [--docs DIR] WIN_TREE ZIP}"
work="${TACHY_RUN_WORK:-$tree/run}"
prefix="$work/prefix"
. "$here/wine-env.sh"
export TACHY_WINEARCH="$(tachy_tree_arch "$tree")"
tachy_wine "$TACHY_WINEARCH"
wait_ms=$(( ${TACHY_RUN_WAIT:-30000} * TACHY_TIME_FACTOR ))

driver="$tree/bin/rundriver.exe"
standin="$tree/bin/standin.exe"
installer='C:\Tachymark\TACHINST.EXE'
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
# endwine: this prefix's Wine stopped, and gone before the next step.
endwine() { wineserver -k >/dev/null 2>&1 || true; wineserver -w 2>/dev/null || true; }
# regimport PREFIX REG WHAT: REG into PREFIX's registry. 64-bit Wine once
# ended regedit with exit 1 at random (not seen again in 60 imports under
# load): a failure is said and tried again once, when that Wine has ended.
regimport() {
  local rc=0
  WINEPREFIX="$1" "$TACHY_WINE" regedit /S "$(winpath "$2")" && return 0 || rc=$?
  echo "run: regedit could not import $3 ($2) into $1 (exit $rc); trying again" >&2
  WINEPREFIX="$1" wineserver -w || true
  WINEPREFIX="$1" "$TACHY_WINE" regedit /S "$(winpath "$2")" ||
    fail "regedit could not import $3 ($2) into $1 (exit $?)"
}

# --- The stages that need a display (run under xvfb-run, see below).
if [ -n "$stage" ]; then
  export WINEPREFIX="$prefix"
  trap endwine EXIT
  # step NAME DOING LANG ARGS...: one rundriver run. When it fails, the
  # step and the cause: rundriver's own lines ("run: ..." above), a
  # time-out, or Wine not running it at all.
  step() {
    local name="$1" doing="$2" locale="$3" rc=0
    shift 3
    LC_ALL="$locale" timeout $((180 * TACHY_TIME_FACTOR)) "$TACHY_WINE" "$driver" "$@" 2>"$work/step.log" || rc=$?
    grep -v '^X connection to' "$work/step.log" >&2 || true
    [ $rc -ne 0 ] || return 0
    if [ $rc -eq 124 ]; then
      fail "the $name step failed: it did not end within $((180 * TACHY_TIME_FACTOR)) s and was stopped ($doing)"
    elif grep -q '^run: ' "$work/step.log"; then
      fail "the $name step failed ($doing)"
    fi
    fail "the $name step failed: rundriver.exe ended with exit $rc without saying why: Wine did not start it, or it crashed (Wine's words, if any, are above)"
  }
  fonts() {
    step "font check" "the base prefix $tree/run/base lacks Wine's fonts: remove it to have it made again" \
      "$lang" fonts
  }
  run_installer() { # [--shots DIR]
    step installer "TACHINST.EXE driven through its dialogs to install Tachymark" "$lang" \
      install "$installer" --wait "$wait_ms" "$@"
  }
  show() { # LANG TAB.bmp REFRESH.bmp
    step tab "Display Properties opened on the Tachymark tab, then Refresh Rates" "$1" \
      show "$(winpath "$standin")" --tab "$(winpath "$2")" --refresh "$(winpath "$3")" --wait "$wait_ms"
  }
  case "$stage" in
    install) run_installer ;;
    pictures) fonts && run_installer && show "$lang" "$work/page.bmp" "$work/refresh-rates.bmp" ;;
    docs)
      shots="$work/shots"
      rm -rf "$shots" && mkdir -p "$shots"
      lang=en_US.UTF-8
      fonts
      run_installer --shots "$(winpath "$shots")"
      show en_US.UTF-8 "$shots/page-english.bmp" "$shots/refresh-dialog.bmp"
      show fr_FR.UTF-8 "$shots/page-french.bmp" "$shots/refresh-dialog-fr.bmp"
      show de_DE.UTF-8 "$shots/page-german.bmp" "$shots/refresh-dialog-de.bmp"
      step remove "TACHINST.EXE driven through its dialogs to remove Tachymark" en_US.UTF-8 \
        remove "$installer" --shots "$(winpath "$shots")" --wait "$wait_ms"
      ;;
  esac
  exit 0
fi

# --- Set-up, without a display.
preflight "$docs"
[ -f "$zip" ] || fail "$zip is missing (make dist)"
cmake --build "$tree" -j"${JOBS:-1}" --target standin rundriver >/dev/null ||
  fail "could not build the stand-in and rundriver in $tree"

# The base prefix, made once: Windows 98, windows not managed, Wine's fonts.
base="$tree/run/base"
mkdir -p "$work" "$tree/run"
exec 8>"$tree/run/base-setup.lock"  # not base.lock: wine-init.sh takes that one
flock 8
if [ ! -f "$base/.tachy-run" ]; then
  rm -rf "$base"
  "$here/wine-init.sh" "$base" "$WINEARCH" || exit 1  # it says why, with Wine's words
  "$here/wine-version.sh" win98 "$base" ||
    fail "could not make the prefix $base pose as Windows 98 (wine-version.sh exit $?)"
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
  regimport "$base" "$work/look.reg" "Windows 98's look"
  WINEPREFIX="$base" wineserver -w
  for font in /usr/share/wine/fonts/*; do
    [ -e "$base/drive_c/windows/Fonts/${font##*/}" ] || cp "$font" "$base/drive_c/windows/Fonts/"
  done
  touch "$base/.tachy-run"
fi
exec 8>&-
# A fresh copy: hard links for the files Wine only reads, real registry files.
WINEPREFIX="$prefix" endwine
rm -rf "$prefix"
cp -al "$base" "$prefix"
(cd "$base" && cp --remove-destination ./*.reg "$prefix/")
export WINEPREFIX="$prefix"
trap endwine EXIT
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
regimport "$prefix" "$seed" "the Voodoo3 3000's driver keys"
mkdir -p "$prefix/drive_c/Tachymark"
unzip -q -o "$zip" -d "$prefix/drive_c/Tachymark" || fail "could not unpack $zip (unzip exit $?)"
# The set-up ran without a display; the windows' processes must all start
# on the display they are shown on.
endwine

# The stage has said why it failed (or xvfb-run, when Xvfb did not start).
xvfb() { xvfb-run -a -s "-screen 0 1024x768x24" "$0" --stage "$1" "$tree" "$zip" || exit 1; }
if [ -n "$docs" ]; then
  xvfb docs
  # All checked before docs/ changes.
  for shot in "$work"/shots/*.bmp; do png "$shot" "${shot%.bmp}.png"; done
  for shot in "$work"/shots/*.png; do
    cp "$shot" "$docs/" || fail "could not copy $shot into $docs"
    echo "Picture: $docs/${shot##*/}"
  done
elif [ -n "${DISPLAY:-}" ]; then
  xvfb install
  # A window manager draws the frames on your display.
  "$TACHY_WINE" reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
  endwine
  # The stand-in says which tab it shows once the sheet is on the screen.
  announce() {
    local line title
    while IFS= read -r line; do
      line="${line%$'\r'}"
      case "$line" in
        'sheet open on tab "'*)
          title="${line#sheet open on tab \"}"
          echo "Display Properties is open on the ${title%\"} tab; close it to end." ;;
      esac
    done
  }
  rc=0
  LC_ALL="$lang" "$TACHY_WINE" "$standin" | announce || rc=$?
  [ $rc -eq 0 ] ||
    fail "Display Properties did not open on the Tachymark tab: the stand-in ended with exit $rc (its reason is above)"
else
  xvfb pictures
  png "$work/page.bmp" "$work/page.png"
  png "$work/refresh-rates.bmp" "$work/refresh-rates.png"
  echo "Picture of the Tachymark tab: $work/page.png"
  echo "Picture of the Refresh Rates dialog: $work/refresh-rates.png"
fi
