#!/bin/bash
# ctest run.installer_fails_loudly: `make run` must stop, with exit code 1
# and a message saying why, when TACHINST.EXE does not install. Here the
# package lacks TACHPAGE.DLL, so the installer shows its missing-module
# message instead of its dialogs and never finishes by itself.
#
#   scripts/check-run.sh WIN32_TREE
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
tree="$(cd "${1:?usage: check-run.sh WIN32_TREE}" && pwd)"
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
rm -rf "$work"
echo "check-run: the failed installer step stopped make run"
