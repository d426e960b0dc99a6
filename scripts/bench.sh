#!/bin/bash
# Prints the release budgets (make bench; docs/release.md, "Budgets"); exit 1
# when a budget is exceeded or a figure could not be measured.
#
#   scripts/bench.sh [RELEASE_TREE [NATIVE_TREE [LANE_TREE]]]
#
# Defaults: build/win32, build/native, and RELEASE_TREE for the sheet's Wine.
set -uo pipefail
export LC_ALL=C

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
win="$(cd "${1:-$src/build/win32}" && pwd)"
native="$(cd "${2:-$src/build/native}" && pwd)"
lanetree="$(cd "${3:-$win}" && pwd)"
. "$src/scripts/wine-env.sh"
lane="$(tachy_tree_arch "$lanetree")"
lane_name="win32 lane: the release build under 32-bit Wine"
[ "$lane" != win64 ] || lane_name="win64 lane: the 64-bit test build under 64-bit Wine"
status=0
summary=()

echo "== Sizes and imports (the release pair, $win)"
for f in TACHPAGE.DLL TACHINST.EXE; do
  path="$win/bin/$f"
  if [ ! -f "$path" ]; then
    echo "  $f: missing"; status=1; summary+=("size $f: missing"); continue
  fi
  size=$(stat -c %s "$path")
  verdict="within"
  [ "$size" -le 32768 ] || { verdict="OVER"; status=1; }
  imports="$("$src/scripts/pe-info.py" imports "$path" | tr '\n' ' ')"
  printf '  %-12s %6d bytes (%5.1f KiB, budget 32 KiB: %s)\n' "$f" "$size" \
    "$(awk -v s="$size" 'BEGIN { print s / 1024 }')" "$verdict"
  echo "               imports: $imports"
  if echo "$imports" | grep -qiE '(^| )(mfc42|msvcrt)\.dll'; then
    echo "               FORBIDDEN import (MFC42.DLL or MSVCRT.DLL)"; status=1
    verdict="$verdict, forbidden import"
  fi
  summary+=("size $f: $size bytes ($verdict)")
  # Where the bytes go: section sizes, then the objects from the link map.
  while read -r _ name hex _; do
    note=""
    [ "$name" = .bss ] && note=" (zero-filled at load, no file space)"
    printf '               %-8s %6d bytes%s\n' "$name" "$((16#$hex))" "$note"
  done < <(i686-w64-mingw32-objdump -h "$path" 2>/dev/null | grep -E '^ *[0-9]+ \.')
  map="$win/bin/$(echo "${f%.*}" | tr 'A-Z' 'a-z').map"
  if [ -f "$map" ]; then
    echo "               largest contributors (code, read-only data, data, resources):"
    python3 - "$map" <<'PY'
import collections, re, sys
out_section, sizes = None, collections.Counter()
parts = collections.defaultdict(collections.Counter)
for line in open(sys.argv[1], errors="replace"):
    m = re.match(r"^(\.[a-z]+)\s", line)
    if m:
        out_section = m.group(1)
    m = re.match(r"^ (?:\.\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)", line)
    if m and out_section in (".text", ".rdata", ".data", ".rsrc"):
        size = int(m.group(1), 16)
        obj = m.group(2).split("/")[-1]
        if size and (not obj.startswith("lib") or "tachy" in obj):
            sizes[obj] += size
            parts[obj][out_section] += size
for obj, size in sizes.most_common(12):
    detail = " ".join("%s %d" % (k, v) for k, v in sorted(parts[obj].items()))
    print("                 %6d  %s (%s)" % (size, obj, detail))
PY
  fi
done

echo
echo "== Opening the sheet with the tab vs. one empty page (Wine, Windows 98; $lane_name)"
bench_exe="$lanetree/bin/sheetbench.exe"
if [ ! -f "$bench_exe" ] || [ ! -f "$lanetree/bin/TACHPAGE.DLL" ]; then
  echo "  sheetbench.exe or TACHPAGE.DLL missing in $lanetree; build that tree first"
  status=1; summary+=("sheet ratio ($lane lane): not measured")
else
  prefix="$lanetree/bench-prefix"
  tachy_wine "$lane"
  export WINEPREFIX="$prefix"
  "$src/scripts/wine-init.sh" "$prefix" "$lane" || exit 1
  if [ ! -f "$prefix/.tachy-bench" ]; then
    # Windows 98; Managed=N, as in the test lanes (docs/testing.md).
    "$TACHY_WINE" reg add 'HKCU\Software\Wine' /v Version /d win98 /f >/dev/null 2>&1 &&
      "$TACHY_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 &&
      wineserver -w && touch "$prefix/.tachy-bench"
  fi
  dll="Z:$(printf '%s' "$lanetree/bin/TACHPAGE.DLL" | tr / '\\')"
  # The first processor this process may use.
  cpu="$(taskset -pc $$ 2>/dev/null | sed -n 's/.*: *\([0-9]*\).*/\1/p')"
  pin=()
  [ -n "$cpu" ] && pin=(taskset -c "$cpu")
  out="$(timeout 300 "${pin[@]}" xvfb-run -a "$TACHY_WINE" "$bench_exe" --rounds 61 --warmup 3 --profile --diagnose --register "$dll" 2>&1)"
  rc=$?
  wineserver -k 2>/dev/null
  echo "$out" | grep -v "^X connection to" | sed 's/^/  /'
  figure() { echo "$out" | sed -n "s/^sheet-bench: $1 \([0-9.]*\).*/\1/p" | head -1; }
  behind="$(figure 'ratio open, tab behind the empty page')"
  code="$(figure 'ratio open, tab vs template 501 doing nothing')"
  first="$(figure 'ratio open, tab shown first')"
  controls="$(echo "$out" | sed -n 's/.*template 501 vs empty page \([0-9.]*\).*/\1/p' | head -1)"
  if [ $rc -ne 0 ] || [ -z "$behind" ] || [ -z "$code" ]; then
    echo "  sheetbench failed (exit $rc)"; status=1; summary+=("sheet ratio ($lane lane): failed")
  else
    within() { awk -v r="$1" 'BEGIN { print (r <= 1.3) ? "within" : "OVER" }'; }
    v1="$(within "$behind")"; v2="$(within "$code")"
    [ "$v1" = within ] && [ "$v2" = within ] || status=1
    summary+=("sheet open ratio ($lane lane), as Display Properties opens (own page first, tab behind): $behind (budget 1.3: $v1)")
    summary+=("sheet open ratio ($lane lane), tab shown first vs template 501 doing nothing (the page's code): $code (budget 1.3: $v2)")
    summary+=("sheet open ratio ($lane lane), tab shown first vs empty page: $first (not held to 1.3: template 501's controls alone give $controls under Wine)")
  fi
fi

echo
echo "== Registry calls while the page opens and applies"
tests="$native/tests/tachy_native_tests"
if [ ! -x "$tests" ]; then
  echo "  $tests missing; build the native tree first"
  status=1; summary+=("registry calls: not measured")
else
  out="$("$tests" --gtest_filter='RegistryBudget.*' 2>&1)"
  rc=$?
  echo "$out" | grep -E '^registry-budget:' | sed 's/^registry-budget: /  /'
  if [ $rc -ne 0 ]; then
    echo "$out" | grep -E 'want|got|Failure' | head -40 | sed 's/^/  /'
    status=1; summary+=("registry calls: beyond the required sequence (see above)")
  else
    summary+=("registry calls: $(echo "$out" | grep -E '^registry-budget:' |
      sed 's/^registry-budget: //; s/ calls (required [0-9]*)//g' | paste -sd ';' -) (exactly the required sequence)")
  fi
fi

echo
echo "== Budgets"
for line in "${summary[@]}"; do echo "  $line"; done
exit $status
