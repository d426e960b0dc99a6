#!/bin/bash
# ctest run.installer_fails_loudly: `make run` must stop, with exit code 1
# and a message saying why, when TACHINST.EXE does not install, and when a
# picture it saves shows nothing (last below). First the
# package lacks TACHPAGE.DLL, so the installer shows its missing-module
# message instead of its dialogs and never finishes by itself; then the
# installer ends at once.
#
#   scripts/check-run.sh WIN_TREE   (build/win32 or build/win64)
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
tree="$(cd "${1:?usage: check-run.sh WIN_TREE}" && pwd)"
work="$tree/run-check"
fail() { echo "check-run: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work"
zip -q -j "$work/broken.zip" "$tree/bin/TACHINST.EXE" || fail "could not pack"
out="$(env -u DISPLAY TACHY_RUN_WORK="$work" TACHY_RUN_WAIT=5000 \
       "$here/run.sh" "$tree" "$work/broken.zip" 2>&1)"
rc=$?
echo "$out"
[ $rc -ne 0 ] || fail "run.sh reported success although TACHINST.EXE did not install"
grep -q '^run: the installer step failed' <<< "$out" || fail "no message that the installer step failed"
grep -q '^run: TACHINST.EXE did not show its Select Model dialog; it shows "' <<< "$out" ||
  fail "the message does not say what TACHINST.EXE showed instead"
[ ! -e "$work/page.png" ] || fail "a picture of the tab was saved after a failed install"

# An installer that ends at once (here a program that is not one: rundriver
# without arguments ends with exit code 2) is reported with its exit code
# as soon as it ends, not after the wait for its dialog (10 minutes here,
# far beyond this test's time-out).
rm -rf "$work" && mkdir -p "$work/pkg"
cp "$tree/bin/rundriver.exe" "$work/pkg/TACHINST.EXE"
cp "$tree/bin/TACHPAGE.DLL" "$work/pkg/"
zip -q -j "$work/ends.zip" "$work/pkg/TACHINST.EXE" "$work/pkg/TACHPAGE.DLL" || fail "could not pack"
out="$(env -u DISPLAY TACHY_RUN_WORK="$work" TACHY_RUN_WAIT=600000 \
       "$here/run.sh" "$tree" "$work/ends.zip" 2>&1)"
rc=$?
echo "$out"
[ $rc -ne 0 ] || fail "run.sh reported success although TACHINST.EXE ended at once"
grep -q '^run: TACHINST.EXE did not show its Select Model dialog; it ended with exit code 2 after' \
  <<< "$out" || fail "the message does not say that TACHINST.EXE ended, with its exit code"
grep -q '^run: the installer step failed' <<< "$out" || fail "no message that the installer step failed"

# Each picture make run saves goes through run.sh --picture: a blank one (as 32-bit Wine
# under an emulator gave) or one without text (a real one, its dark pixels painted over)
# stops it the same way, naming the file; a real one passes.
rm -rf "$work" && mkdir -p "$work"
convert -size 406x462 xc:black "$work/blank.bmp" &&
  convert "$here/../docs/installer-installed.png" -fuzz 25% -fill 'rgb(192,192,192)' \
    -opaque black "$work/notext.bmp" || fail "could not make the pictures"
for shot in "blank:is blank (one colour)" "notext:has no text"; do
  out="$("$here/run.sh" --picture "$work/${shot%%:*}.bmp" "$work/shot.png" 2>&1)"; rc=$?
  echo "$out"
  [ $rc -eq 1 ] || fail "run.sh took $work/${shot%%:*}.bmp for a picture (exit $rc)"
  grep -qF "run: the picture $work/shot.png ${shot#*:}" <<< "$out" &&
    grep -q 'Wine cannot draw on this display$' <<< "$out" ||
    fail "the message does not name the file, say that the picture ${shot#*:} and why"
done
"$here/run.sh" --picture "$here/../docs/installer-installed.png" "$work/shot.png" ||
  fail "run.sh refused a real picture"
rm -rf "$work"
echo "check-run: the failed installer step and a blank picture stopped make run"
