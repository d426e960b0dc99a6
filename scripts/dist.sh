#!/bin/bash
# Packs the release (zip, floppy and CD images, SHA256SUMS) reproducibly into
# OUT_DIR (default dist/); see docs/release.md ("The package", "Reproducible").
#
#   scripts/dist.sh [--test-build] [WIN32_BUILD_DIR [OUT_DIR]]
#
# WIN32_BUILD_DIR (default build/win32) holds the deliverables in bin/; a 64-bit
# file is refused, except with --test-build, which never writes into dist/.
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

version3="$(sed -n 's/^project(tachymark VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")"
[ -n "$version3" ] || fail "no project version in CMakeLists.txt"
short="${version3%.*}"            # 3.2
fileversion="$short.0.0"          # 3.2.0.0
name="tachymark-$short"            # .zip, .img, .iso
# The package's files in their order; the read-mes as NAME:SOURCE:LANGUAGE.
files=(TACHINST.EXE TACHPAGE.DLL README.TXT LISEZMOI.TXT LIESMICH.TXT)
readmes=(README.TXT:readme-txt.in:en LISEZMOI.TXT:lisezmoi-txt.in:fr
         LIESMICH.TXT:liesmich-txt.in:de)

for f in TACHINST.EXE TACHPAGE.DLL; do
  [ -f "$build/bin/$f" ] || fail "$build/bin/$f is missing (build the Windows tree first)"
  machine="$("$pe" machine "$build/bin/$f")" || fail "$build/bin/$f is not a PE file"
  [ "$machine" = i386 ] || [ $test_build = 1 ] ||
    fail "$build/bin/$f is a $machine test build; the release is the 32-bit pair (build/win32)"
done
if [ $test_build = 1 ] && [ "$(mkdir -p "$out" && cd "$out" && pwd)" = "$src/dist" ]; then
  fail "--test-build packs into another folder than dist/"
fi
for r in "${readmes[@]}"; do
  in="$src/docs/$(cut -d: -f2 <<< "$r")"
  [ -f "$in" ] || fail "$in is missing"
done

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

cp "$build/bin/TACHINST.EXE" "$build/bin/TACHPAGE.DLL" "$stage/"

# The read-mes: UTF-8 with LF ends to code page 1252 with CRLF (README.TXT's
# source printable ASCII, a subset of every ANSI code page).
if LC_ALL=C grep -n '[^ -~]' "$src/docs/readme-txt.in" >&2; then
  fail "$src/docs/readme-txt.in holds characters other than printable ASCII (lines above)"
fi
checks=()
for r in "${readmes[@]}"; do
  IFS=: read -r file in lang <<< "$r"
  iconv -f UTF-8 -t CP1252 "$src/docs/$in" | sed 's/$/\r/' > "$stage/$file" ||
    fail "docs/$in is not UTF-8 text that code page 1252 can hold (see above)"
  checks+=("$lang" "$stage/$file")
done
python3 "$src/scripts/check-readme.py" "$src/resources" "${checks[@]}" ||
  fail "a read-me is not ANSI text or quotes the product wrongly (see above)"

for f in "${files[@]}"; do
  [[ "$f" =~ ^[A-Z0-9_]{1,8}\.[A-Z0-9]{1,3}$ ]] || fail "$f is not an 8.3 name"
done

for f in TACHINST.EXE TACHPAGE.DLL; do
  # Time stamps: expected to be 0 already; set any that is not.
  if ! "$pe" stamps "$stage/$f" >/dev/null; then
    "$pe" stamps "$stage/$f" | grep -v '= 0x00000000$' >&2 || true
    echo "dist: warning: $f carried time stamps; set to 0 in the package" >&2
    "$pe" zero "$stage/$f" >/dev/null
  fi
  v="$("$pe" version "$stage/$f")" || fail "$f has no version resource"
  [[ "$v" == *": file $fileversion product $fileversion" ]] ||
    fail "$f: version resource is '${v#*: }', expected $fileversion"
  if "$pe" imports "$stage/$f" | grep -qiE '^(mfc42|msvcrt)\.dll$'; then
    fail "$f imports $("$pe" imports "$stage/$f" | grep -iE '^(mfc42|msvcrt)' | tr '\n' ' ')"
  fi
done

# Fixed modes and mtimes: SOURCE_DATE_EPOCH, else HEAD's commit time. A zip
# (DOS) time cannot lie before 1980. zip rounds odd seconds up, FAT (mtools)
# rounds them down: an even time is the same in both.
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct 2>/dev/null || true)}"
[ "${epoch:-0}" -ge 315532800 ] || epoch=315532800
epoch=$(( (epoch + 1) / 2 * 2 ))
chmod 0644 "$stage"/*
touch -h -d "@$epoch" "$stage"/*

(cd "$stage" && zip -q -X -D -9 "$name.zip" "${files[@]}")

# The floppy: no ~/.mtoolsrc; the files keep their dates (-m).
export SOURCE_DATE_EPOCH="$epoch" MTOOLSRC=/dev/null
mformat -C -f 1440 -v TACHYMARK -N "$(printf %08X "$epoch")" -i "$stage/$name.img" :: ||
  fail "mformat could not make the floppy image"
mcopy -m -i "$stage/$name.img" "${files[@]/#/$stage/}" :: || fail "mcopy could not copy the files"

# The CD: plain ISO 9660 (no Rock Ridge, no Joliet: Windows 9x reads the
# level-1 names), file dates recorded from the files, in GMT.
xorriso -no_rc -report_about SORRY -abort_on SORRY -outdev "stdio:$stage/$name.iso" \
  -volid TACHYMARK -rockridge off -joliet off -compliance iso_9660_level=1:rec_mtime:always_gmt \
  -cdx "$stage" -add "${files[@]}" -- -commit > "$stage/xorriso.log" 2>&1 ||
  { cat "$stage/xorriso.log" >&2; fail "xorriso could not make the CD image"; }

mkdir -p "$out"
mv -f "$stage/$name".{zip,img,iso} "$out/"
(cd "$out" && sha256sum "$name".{zip,img,iso} > SHA256SUMS)

echo "dist: $out/$name.zip, $name.img, $name.iso"
(cd "$stage" && sha256sum "${files[@]}" | while read -r sum f; do
   printf '  %-12s %6d bytes  %s\n' "$f" "$(stat -c %s "$f")" "${sum:0:16}"; done)
cat "$out/SHA256SUMS"
