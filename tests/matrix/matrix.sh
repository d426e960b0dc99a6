#!/bin/bash
# The Windows version matrix: one end-to-end scenario (install, tab, apply,
# refresh rates, remove) with Wine posing as each of win95, win98, winme,
# nt40, win2k, winxp, win7 and win10, each in its own prefix.
#
#   tests/matrix/matrix.sh WIN32_BUILD_DIR [VERSION...]
#
# The release is packed (scripts/dist.sh) and unpacked into C:\Tachymark of
# every prefix, so the scenario runs what a user gets. Prefixes live in
# <build>/matrix/<version>, made once as hard-linked copies of one base
# prefix <build>/matrix/base (one wineboot instead of eight); a later run
# only resets the keys the scenario touches (tests/matrix/matrix_driver.cpp
# does that first). Two prefixes run at a time; every prefix's wineserver is
# stopped at the end, and the Xvfb display is ours only when none was given.
#
# Writes <build>/matrix/matrix.md and the logs <build>/matrix/<version>.log;
# with MATRIX_DOCS=1 also docs/matrix.md and the table in README.md.
# Exit code 1 when a step failed whose pieces are built; a step that cannot
# run because a piece is missing shows as failed ("missing") without failing
# the run.
set -uo pipefail
export LC_ALL=C

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
src="$(cd "$here/../.." && pwd)"
build="$(cd "${1:?usage: matrix.sh WIN32_BUILD_DIR [VERSION...]}" && pwd)"
shift
versions=("$@")
[ ${#versions[@]} -gt 0 ] || versions=(win95 win98 winme nt40 win2k winxp win7 win10)
work="$build/matrix"
mkdir -p "$work"

# One X display for all prefixes: the caller's, or one of our own.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "${versions[@]}"
fi

start=$(date +%s)
bin="$build/bin"
pe="$src/scripts/pe-info.py"

# Which pieces are built: the real installer (dialog 503), the page (dialog
# 501) and the refresh-rate dialog (502) in the module, the stand-in.
missing=()
has_resource() { grep -qx "$2" <<< "$(python3 "$pe" resources "$1" 2>/dev/null)"; }
[ -f "$bin/TACHINST.EXE" ] && has_resource "$bin/TACHINST.EXE" 5/503 || missing+=(installer)
[ -f "$bin/TACHPAGE.DLL" ] && has_resource "$bin/TACHPAGE.DLL" 5/501 || missing+=(page)
[ -f "$bin/TACHPAGE.DLL" ] && has_resource "$bin/TACHPAGE.DLL" 5/502 || missing+=(refresh)
[ -f "$bin/standin.exe" ] || missing+=(standin)
driver="$build/tests/matrix/matrix_driver.exe"
[ -f "$driver" ] || { echo "matrix: $driver is missing" >&2; exit 1; }
missing_arg="$(IFS=,; echo "${missing[*]:-}")"

# The package as users get it.
rm -rf "$work/pkg"
if ! "$src/scripts/dist.sh" "$build" "$work/pkg" > "$work/dist.log" 2>&1; then
  cat "$work/dist.log" >&2
  echo "matrix: the release could not be packed" >&2
  exit 1
fi
zip="$(ls "$work/pkg"/*.zip)"

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# One version: make or reuse its prefix, unpack, run the driver, stop Wine.
run_version() {
  local v="$1" prefix="$work/$v" t0 rc
  t0=$(date +%s)
  export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$prefix/.tachy-matrix" ]; then
    rm -rf "$prefix" "$prefix.new"
    # A copy of one base prefix (made once, under a lock) with hard links:
    # a wineboot takes 10-30 s and a prefix holds about 600 MB of DLLs that
    # Wine never writes. The registry files are real copies.
    if ! "$src/scripts/wine-init.sh" "$work/base" ||
       ! cp -al "$work/base" "$prefix.new" ||
       ! (cd "$work/base" && cp --remove-destination ./*.reg "$prefix.new/"); then
      rm -rf "$prefix.new"
      echo "step setup fail could not create the prefix" > "$work/$v.log"; return
    fi
    mv "$prefix.new" "$prefix"
    # Pose as the version; windows not managed, so that closing one does
    # not wait for a window manager that Xvfb does not have.
    wine reg add 'HKCU\Software\Wine' /v Version /d "$v" /f >/dev/null 2>&1 &&
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    rc=$?
    wineserver -w
    [ $rc -eq 0 ] && touch "$prefix/.tachy-matrix"
  fi
  rm -rf "$prefix/drive_c/Tachymark"
  mkdir -p "$prefix/drive_c/Tachymark"
  unzip -q -o "$zip" -d "$prefix/drive_c/Tachymark"
  timeout 240 wine "$driver" --version "$v" --package 'C:\Tachymark' \
    --standin "$(winpath "$bin/standin.exe")" --missing "${missing_arg:-none}" \
    > "$work/$v.log" 2> "$work/$v.err"
  rc=$?
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  [ $rc -eq 0 ] || echo "driver exit $rc" >> "$work/$v.log"
  echo "time $(( $(date +%s) - t0 ))" >> "$work/$v.log"
}

stop_all() {
  for v in "${versions[@]}" base; do
    [ -d "$work/$v" ] && WINEPREFIX="$work/$v" wineserver -k 2>/dev/null
  done
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# Two at a time.
running=0
for v in "${versions[@]}"; do
  rm -f "$work/$v.log"
  run_version "$v" &
  running=$((running + 1))
  if [ $running -ge 2 ]; then wait -n; running=$((running - 1)); fi
done
wait

# The table.
steps=(install page apply refresh remove)
status=0
table="$work/matrix.md"
{
  echo "| Windows | GetVersionExA (platform / version / build) | layout | install | page | apply | refresh | remove | time |"
  echo "|---|---|---|---|---|---|---|---|---|"
  for v in "${versions[@]}"; do
    log="$work/$v.log"
    reports="$(sed -n 's/^windows [^:]*: platform \([0-9]*\), version \([0-9.]*\), build \([0-9]*\).*/\1 \/ \2 \/ \3/p' "$log" 2>/dev/null)"
    layout="$(sed -n 's/.*expected layout \([0-9]\).*/\1/p' "$log" 2>/dev/null)"
    case "$layout" in 1) layout="9x";; 2) layout="NT 4";; 3) layout="NT 5";; *) layout="?";; esac
    row="| $v | ${reports:-?} | $layout |"
    for s in "${steps[@]}"; do
      line="$(grep -m1 "^step $s " "$log" 2>/dev/null)"
      verdict="$(echo "$line" | awk '{print $3}')"
      detail="$(echo "$line" | cut -d' ' -f4-)"
      case "$verdict" in
        pass) cell="pass" ;;
        n/a) cell="n/a" ;;
        fail)
          if [[ "$detail" == missing:* ]]; then
            cell="fail ($detail)"
          else
            cell="**fail**"; status=1
          fi ;;
        *) cell="**fail** (no result)"; status=1 ;;
      esac
      row="$row $cell |"
    done
    row="$row $(sed -n 's/^time //p' "$log" 2>/dev/null) s |"
    echo "$row"
  done
} > "$table"

wall=$(( $(date +%s) - start ))
{
  echo
  echo "n/a: the refresh-rate dialog is for the 9x layout only; on NT 4 and NT 5"
  echo "the page disables its button (checked in the page step)."
  echo "Wall time of the run: $wall s (two prefixes at a time)."
} >> "$table"

echo "== Windows version matrix"
cat "$table"
for v in "${versions[@]}"; do
  if grep -qE '^step [a-z]+ fail' "$work/$v.log" 2>/dev/null || ! grep -q '^step remove' "$work/$v.log" 2>/dev/null; then
    echo
    echo "-- $v:"
    grep -E '^(step|note|windows|driver)' "$work/$v.log" 2>/dev/null | sed 's/^/   /'
    [ -s "$work/$v.err" ] && tail -5 "$work/$v.err" | sed 's/^/   stderr: /'
  fi
done
if [ "${MATRIX_DOCS:-0}" = 1 ]; then
  {
    echo "# Windows version matrix"
    echo
    echo "Written by \`MATRIX_DOCS=1 tests/matrix/matrix.sh build/win32\` on $(date -u +%Y-%m-%d)"
    echo "($(git -C "$src" rev-parse --short HEAD 2>/dev/null || echo unknown)); ctest runs it as \`release.matrix\`."
    echo
    cat "$table"
  } > "$src/docs/matrix.md"
  # The README shows the table between its two markers.
  python3 - "$src/README.md" "$table" <<'PY'
import sys
readme, table = sys.argv[1], open(sys.argv[2]).read()
text = open(readme).read()
begin, end = "<!-- matrix:begin -->\n", "<!-- matrix:end -->"
if begin in text and end in text:
    a = text.index(begin) + len(begin)
    b = text.index(end)
    open(readme, "w").write(text[:a] + table + text[b:])
PY
  echo "matrix: table written to docs/matrix.md and README.md"
fi
exit $status
