#!/bin/bash
# Packs the release: dist/tachymark-<major.minor>.zip with TACHINST.EXE,
# TACHPAGE.DLL and README.TXT, and dist/SHA256SUMS beside it.
#
#   scripts/dist.sh [--test-build] [WIN32_BUILD_DIR [OUT_DIR]]
#
# WIN32_BUILD_DIR is a built Windows tree (its bin/ holds the two
# deliverables; default build/win32); OUT_DIR defaults to <source>/dist.
# The release is the 32-bit pair: a 64-bit file is refused, except with
# --test-build (the matrix packs the win64 tree's test builds that way),
# which in turn never writes into <source>/dist.
#
# The package is reproducible: the same commit gives the same bytes. The PE
# files carry no time stamps (the link sets none; any left over is set to 0
# here and reported), the zip holds no extra fields (-X), no directory
# entries, the files in a fixed order with fixed modes, and a fixed mtime:
# SOURCE_DATE_EPOCH when set, else the commit time of HEAD, else 1980-01-01.
#
# Refuses to pack (exit 1) when a file is missing, a version resource is not
# <major.minor>.0.0, a deliverable imports MFC42.DLL or MSVCRT.DLL, or
# README.TXT is not plain ANSI text.
set -euo pipefail
export LC_ALL=C TZ=UTC
umask 022

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
test_build=0
if [ "${1:-}" = "--test-build" ]; then test_build=1; shift; fi
build="${1:-$src/build/win32}"
out="${2:-$src/dist}"
pe="$src/scripts/pe-info.py"

fail() { echo "dist: $*" >&2; exit 1; }

# The version comes from the project: project(tachymark VERSION 3.2.0).
version3="$(sed -n 's/^project(tachymark VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")"
[ -n "$version3" ] || fail "no project version in CMakeLists.txt"
short="${version3%.*}"            # 3.2
fileversion="$short.0.0"          # 3.2.0.0
zipname="tachymark-$short.zip"

for f in TACHINST.EXE TACHPAGE.DLL; do
  [ -f "$build/bin/$f" ] || fail "$build/bin/$f is missing (build the Windows tree first)"
  machine="$(python3 "$pe" machine "$build/bin/$f")" || fail "$build/bin/$f is not a PE file"
  [ "$machine" = i386 ] || [ $test_build = 1 ] ||
    fail "$build/bin/$f is a $machine test build; the release is the 32-bit pair (build/win32)"
done
if [ $test_build = 1 ] && [ "$(mkdir -p "$out" && cd "$out" && pwd)" = "$src/dist" ]; then
  fail "--test-build packs into another folder than dist/"
fi
readme_in="$src/docs/readme-txt.in"
[ -f "$readme_in" ] || fail "$readme_in is missing"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

cp "$build/bin/TACHINST.EXE" "$build/bin/TACHPAGE.DLL" "$stage/"

# README.TXT: plain ANSI text with CRLF line ends. The source is kept with
# LF ends and printable ASCII only (a subset of every ANSI code page).
if LC_ALL=C grep -n '[^ -~]' "$readme_in" >&2; then
  fail "$readme_in holds characters other than printable ASCII (lines above)"
fi
sed 's/$/\r/' "$readme_in" > "$stage/README.TXT"

# 8.3 names in capitals.
for f in TACHINST.EXE TACHPAGE.DLL README.TXT; do
  [[ "$f" =~ ^[A-Z0-9_]{1,8}\.[A-Z0-9]{1,3}$ ]] || fail "$f is not an 8.3 name"
done

for f in TACHINST.EXE TACHPAGE.DLL; do
  # Time stamps: expected to be 0 already; set any that is not.
  if ! python3 "$pe" stamps "$stage/$f" >/dev/null; then
    python3 "$pe" stamps "$stage/$f" | grep -v '= 0x00000000$' >&2 || true
    echo "dist: warning: $f carried time stamps; set to 0 in the package" >&2
    python3 "$pe" zero "$stage/$f" >/dev/null
  fi
  v="$(python3 "$pe" version "$stage/$f")" || fail "$f has no version resource"
  [[ "$v" == *": file $fileversion product $fileversion" ]] ||
    fail "$f: version resource is '${v#*: }', expected $fileversion"
  if python3 "$pe" imports "$stage/$f" | grep -qiE '^(mfc42|msvcrt)\.dll$'; then
    fail "$f imports $(python3 "$pe" imports "$stage/$f" | grep -iE '^(mfc42|msvcrt)' | tr '\n' ' ')"
  fi
done

# Fixed modes and mtimes.
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  epoch="$SOURCE_DATE_EPOCH"
elif epoch="$(git -C "$src" log -1 --format=%ct 2>/dev/null)" && [ -n "$epoch" ]; then
  :
else
  epoch=315532800
fi
# A zip (DOS) time cannot lie before 1980.
[ "$epoch" -ge 315532800 ] || epoch=315532800
chmod 0644 "$stage"/*
touch -h -d "@$epoch" "$stage"/*

mkdir -p "$out"
rm -f "$stage/$zipname"
(cd "$stage" && zip -q -X -D -9 "$zipname" TACHINST.EXE TACHPAGE.DLL README.TXT)
mv -f "$stage/$zipname" "$out/$zipname"
(cd "$out" && sha256sum "$zipname" > SHA256SUMS)

echo "dist: $out/$zipname"
(cd "$stage" && for f in TACHINST.EXE TACHPAGE.DLL README.TXT; do
   printf '  %-12s %6d bytes  %s\n' "$f" "$(stat -c %s "$f")" \
     "$(sha256sum "$f" | cut -c1-16)"
 done)
cat "$out/SHA256SUMS"
