#!/bin/bash
# The Windows version matrix: one end-to-end scenario (install, tab, apply,
# refresh rates, remove) with Wine posing as each of win95, win98, winme,
# nt40, win2k, winxp, win7 and win10, each in its own prefix.
#
#   tests/matrix/matrix.sh WINDOWS_BUILD_DIR [VERSION...]
#   MATRIX_VERSIONS="win98 nt40" tests/matrix/matrix.sh WINDOWS_BUILD_DIR
#
# The release is packed (scripts/dist.sh) and unpacked into C:\Tachymark of
# every prefix, so the scenario runs what a user gets. The win64 tree's test
# builds are packed the same way (dist.sh --test-build, never into dist/)
# and run under 64-bit Wine. Prefixes live in
# <build>/matrix/<version>, made once as hard-linked copies of one base
# prefix <build>/matrix/base (one wineboot instead of eight); a later run
# only resets the keys the scenario touches (tests/matrix/matrix_driver.cpp
# does that first). Two prefixes run at a time; every prefix's wineserver is
# stopped at the end, and the Xvfb display is ours only when none was given.
#
# Writes <build>/matrix/matrix.md and the logs <build>/matrix/<version>.log;
# with MATRIX_DOCS=1 also docs/matrix.md (the manual, docs/release.md, links it).
# Exit code 1 when a step failed whose pieces are built; a step that cannot
# run because a piece is missing shows as failed ("missing") without failing
# the run.
set -uo pipefail
export LC_ALL=C

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
src="$(cd "$here/../.." && pwd)"
build="$(cd "${1:?usage: matrix.sh WINDOWS_BUILD_DIR [VERSION...]}" && pwd)"
shift
versions=("$@")
# MATRIX_VERSIONS: the versions when none are named (make test names the
# three with the registry diff for the win64 lane where win32 runs all).
[ ${#versions[@]} -gt 0 ] || versions=(${MATRIX_VERSIONS:-win95 win98 winme nt40 win2k winxp win7 win10})
work="$build/matrix"
mkdir -p "$work"

# One X display for all prefixes: the caller's, or one of our own.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "${versions[@]}"
fi

. "$src/scripts/wine-env.sh"
arch="$(tachy_tree_arch "$build")"
tachy_wine "$arch"
start=$(date +%s)
bin="$build/bin"
pe="$src/scripts/pe-info.py"

# Which pieces are built: the real installer (dialog 503), the page (dialog
# 501) and the refresh-rate dialog (502) in the module, the stand-in.
missing=()
has_resource() { grep -qx "$2" <<< "$("$pe" resources "$1" 2>/dev/null)"; }
[ -f "$bin/TACHINST.EXE" ] && has_resource "$bin/TACHINST.EXE" 5/503 || missing+=(installer)
[ -f "$bin/TACHPAGE.DLL" ] && has_resource "$bin/TACHPAGE.DLL" 5/501 || missing+=(page)
[ -f "$bin/TACHPAGE.DLL" ] && has_resource "$bin/TACHPAGE.DLL" 5/502 || missing+=(refresh)
[ -f "$bin/standin.exe" ] || missing+=(standin)
driver="$build/tests/matrix/matrix_driver.exe"
[ -f "$driver" ] || { echo "matrix: $driver is missing" >&2; exit 1; }
missing_arg="$(IFS=,; echo "${missing[*]:-}")"

# The package as users get it.
rm -rf "$work/pkg"
test_build=()
[ "$arch" = win32 ] || test_build=(--test-build)
if ! "$src/scripts/dist.sh" "${test_build[@]}" "$build" "$work/pkg" > "$work/dist.log" 2>&1; then
  cat "$work/dist.log" >&2
  echo "matrix: the release could not be packed" >&2
  exit 1
fi
zip="$(ls "$work/pkg"/*.zip)"

# The versions whose whole registry (HKLM, HKCU, HKCR) is exported before
# the install and after the removal and compared (about 5 s each).
diff_versions="${MATRIX_DIFF:-win98 nt40 win2k}"

# Compares the two exports of one version and prints its "step diff" line.
# Every key or value in only one of them fails, except
# - Wine's own bookkeeping, left aside by key name: Wine's per-session
#   copies of the system parameters (HKCU\Software\Wine\Temporary System
#   Parameters);
# - what the design keeps on purpose: the RefreshRate values that Save wrote
#   under the display class (removal leaves the driver's refresh rates), and
#   keys under the driver's own trees (display class, services Voodoo3,
#   3dfxvs, 3Dfx) that Apply created and removal leaves, empty of values but
#   for those RefreshRate values.
registry_diff() {
  python3 - "$1" <<'PY'
import os, sys
folder = sys.argv[1]
def prefixes(*keys):
    return tuple(k.lower() for k in keys)
BOOKKEEPING = prefixes(r"HKEY_CURRENT_USER\Software\Wine\Temporary System Parameters")
SYSTEM = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\"
DISPLAY_CLASS = prefixes(SYSTEM + "Class\\Display")
DRIVER_TREES = DISPLAY_CLASS + prefixes(SYSTEM + "Voodoo3", SYSTEM + "3dfxvs", SYSTEM + "3Dfx")

def under(key, trees):
    key = key.lower()
    return any(key == t or key.startswith(t + "\\") for t in trees)

def entries(when):
    """Every key and value of the exports as (key, value line or "")."""
    out = {}
    for root in ("HKLM", "HKCU", "HKCR"):
        with open(os.path.join(folder, "%s-%s.reg" % (when, root)), "rb") as f:
            lines = f.read().decode("utf-16").replace("\r\n", "\n").split("\n")
        key, i = None, 0
        while i < len(lines):
            line, i = lines[i], i + 1
            while line.endswith("\\") and i < len(lines):  # continued hex data
                line, i = line[:-1] + lines[i].strip(), i + 1
            if line.startswith("["):
                key = line[1:-1]
                out[(key.lower(), "")] = (key, "")
            elif line and key:
                name, _, data = line.partition("=")
                out[(key.lower(), name.lower() + "=" + data)] = (key, line)
    return out

try:
    before, after = entries("before"), entries("after")
except OSError as e:
    print("step diff fail an export is missing (%s)" % e.filename)
    sys.exit()
kept, aside, wrong = [], 0, []
for sign, only in (("-", before.keys() - after.keys()), ("+", after.keys() - before.keys())):
    for k in sorted(only):
        key, line = (before if sign == "-" else after)[k]
        if under(key, BOOKKEEPING):
            aside += 1
        elif sign == "+" and (not line and under(key, DRIVER_TREES) or
                              line.lower().startswith('"refreshrate"=') and
                              under(key, DISPLAY_CLASS)):
            kept.append(key + (" " + line if line else ""))
        else:
            wrong.append("%s %s%s" % ("gone:" if sign == "-" else "left:", key,
                                      " " + line if line else ""))
print("step diff %s %s" % ("fail" if wrong else "pass", "; ".join(wrong[:8])))
for k in kept:
    print("note diff: kept by design: " + k)
print("note diff: %d keys and values of Wine's bookkeeping left aside" % aside)
PY
}

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# One version: make or reuse its prefix, unpack, run the driver, stop Wine.
run_version() {
  local v="$1" prefix="$work/$v" t0 rc
  t0=$(date +%s)
  export WINEPREFIX="$prefix"
  if [ ! -f "$prefix/.tachy-matrix" ]; then
    rm -rf "$prefix" "$prefix.new"
    # A copy of one base prefix (made once, under a lock) with hard links:
    # a wineboot takes 10-30 s and a prefix holds about 600 MB of DLLs that
    # Wine never writes. The registry files are real copies.
    if ! "$src/scripts/wine-init.sh" "$work/base" "$arch" ||
       ! cp -al "$work/base" "$prefix.new" ||
       ! (cd "$work/base" && cp --remove-destination ./*.reg "$prefix.new/"); then
      rm -rf "$prefix.new"
      echo "step setup fail could not create the prefix" > "$work/$v.log"; return
    fi
    mv "$prefix.new" "$prefix"
    # Pose as the version; windows not managed, so that closing one does
    # not wait for a window manager that Xvfb does not have.
    "$TACHY_WINE" reg add 'HKCU\Software\Wine' /v Version /d "$v" /f >/dev/null 2>&1 &&
      "$TACHY_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    rc=$?
    wineserver -w
    [ $rc -eq 0 ] && touch "$prefix/.tachy-matrix"
  fi
  rm -rf "$prefix/drive_c/Tachymark" "$work/$v.diff"
  mkdir -p "$prefix/drive_c/Tachymark"
  unzip -q -o "$zip" -d "$prefix/drive_c/Tachymark"
  local export=()
  if [[ " $diff_versions " == *" $v "* ]]; then
    mkdir -p "$work/$v.diff"
    export=(--export "$(winpath "$work/$v.diff")")
  fi
  timeout $((240 * TACHY_TIME_FACTOR)) "$TACHY_WINE" "$driver" --version "$v" --package 'C:\Tachymark' \
    --standin "$(winpath "$bin/standin.exe")" --missing "${missing_arg:-none}" \
    "${export[@]}" > "$work/$v.log" 2> "$work/$v.err"
  rc=$?
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  [ $rc -eq 0 ] || echo "driver exit $rc" >> "$work/$v.log"
  if [ ${#export[@]} -gt 0 ]; then
    registry_diff "$work/$v.diff" >> "$work/$v.log"
  else
    echo "step diff n/a" >> "$work/$v.log"
  fi
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
steps=(install page apply refresh remove diff)
status=0
table="$work/matrix.md"
{
  echo "| Windows | GetVersionExA (platform / version / build) | layout | install | page | apply | refresh | remove | registry diff | time |"
  echo "|---|---|---|---|---|---|---|---|---|---|"
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
  echo "the page disables its button (checked in the page step). The whole-registry"
  echo "diff runs on $diff_versions."
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
  echo "matrix: table written to docs/matrix.md"
fi
exit $status
