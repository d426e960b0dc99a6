#!/bin/bash
# Runs a Windows build tree's tests, its Wine tests in two lanes side by
# side, each with an Xvfb display and a Wine prefix of its own, all stopped
# at the end; see docs/testing.md ("Wine lanes of a test run").
#
#   scripts/test-wine.sh BUILD_TREE [ctest args...]
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
tree="$(cd "${1:?usage: test-wine.sh BUILD_TREE [ctest args...]}" && pwd)"
shift
. "$here/wine-env.sh"
export TACHY_WINEARCH="$(tachy_tree_arch "$tree")"
tachy_wine "$TACHY_WINEARCH"
export TACHY_WINEPREFIX="$tree/wineprefix"
lanes=("$TACHY_WINEPREFIX" "$TACHY_WINEPREFIX-lane1")
xservers=()
servers=()

stop() {
  for prefix in "${lanes[@]}"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
  [ ${#servers[@]} -eq 0 ] || wait "${servers[@]}" 2>/dev/null
  [ ${#xservers[@]} -eq 0 ] || { kill "${xservers[@]}"; wait "${xservers[@]}"; } 2>/dev/null
}
trap stop EXIT
trap 'exit 130' INT TERM

# A display a lane; Xvfb picks a free number and writes it when it is ready.
displays=()
for lane in 0 1; do
  number="$tree/xvfb-lane$lane"
  : > "$number"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  xservers+=($!)
  for _ in $(seq 100); do [ -s "$number" ] && break; sleep 0.1; done
  [ -s "$number" ] || { echo "test-wine: Xvfb did not start" >&2; exit 1; }
  displays+=(":$(head -n1 "$number")")
done
export DISPLAY="${displays[0]}" TACHY_LANE1_DISPLAY="${displays[1]}"

# Each lane's wineserver runs for the whole run, started here with no tie
# to ctest's output: a wineserver that a test program starts keeps that
# test's output open, and ctest would wait for it until the server exits.
# The first client waits for the server (or starts it, if ours lost a
# race); it has the lane's display, as Wine's desktop process starts with
# it and stays, and sets Managed=N (docs/testing.md says why).
"$here/wine-init.sh" "${lanes[1]}" "$WINEARCH" & init=$!
"$here/wine-init.sh" "${lanes[0]}" "$WINEARCH" || exit 1
wait $init || exit 1
clients=()
for lane in 0 1; do
  WINEPREFIX="${lanes[$lane]}" wineserver -p </dev/null >/dev/null 2>&1 &
  servers+=($!)
  DISPLAY="${displays[$lane]}" WINEPREFIX="${lanes[$lane]}" WINEDEBUG=-all \
    "$TACHY_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 &
  clients+=($!)
done
wait "${clients[@]}"

# A lane that ran no Wine test fails: ctest's label summary counts them.
log="$tree/test-wine.log"
ctest --test-dir "$tree" --output-on-failure -j"${JOBS:-2}" "$@" 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
ran="$(sed -n 's/^wine *=.*(\([0-9]*\) tests*).*/\1/p' "$log" | head -n1)"
[ "${ran:-0}" -gt 0 ] || { echo "test-wine: no Wine test ran in $tree" >&2; exit 1; }
exit $rc
