#!/bin/bash
# Checks that the release comes out byte for byte the same when built twice,
# then reads the first package back; see docs/release.md ("Reproducible").
#
#   scripts/check-repro.sh --quick WIN32_BUILD_DIR   relink and pack twice (ctest release.repro)
#   scripts/check-repro.sh [WIN32_BUILD_DIR]         build again in build/repro (make check-repro)
set -euo pipefail
# zip and FAT store local times: read them in the time zone dist.sh wrote.
export LC_ALL=C TZ=UTC MTOOLSRC=/dev/null MTOOLS_SKIP_CHECK=1

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
quick=0
if [ "${1:-}" = "--quick" ]; then quick=1; shift; fi
build="$(cd "${1:-$src/build/win32}" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
status=0

differ() { echo "check-repro: DIFFERENT: $*" >&2; status=1; }

compare() {  # compare FILE_A FILE_B LABEL
  local how
  if how="$(cmp "$1" "$2" 2>&1)"; then echo "check-repro: same: $3"; else differ "$3 (${how%%$'\n'*})"; fi
}

# Reruns the final link of a deliverable target with the output redirected.
relink() {  # relink TARGET_DIR TARGET OUTNAME DEST
  local dir="$build/$1" target="$2" name="$3" dest="$4" cmd
  cmd="$(grep -E -- "-o [^ ]*$name( |$)" "$dir/CMakeFiles/$target.dir/link.txt")" || return 1
  cmd="$(printf '%s' "$cmd" | sed -E "s#-o [^ ]*$name#-o $dest/$name#; s#--out-implib,[^ ]*#--out-implib,$dest/lib$target.a#; s#-Map,[^ ]*#-Map,$dest/$target.map#")"
  (cd "$dir" && eval "$cmd")
}

pkgof() { ls "$1"/*."$2"; }  # pkgof DIST_DIR EXTENSION
listing() { (cd "$1" && find . -type f -printf '%P %s %TY-%Tm-%Td %TT\n' | sort); }

# Both packs get the same date, also when HEAD moves meanwhile.
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 315532800)}"
pack() {  # pack BUILD OUT
  SOURCE_DATE_EPOCH="$epoch" "$src/scripts/dist.sh" "$1" "$2" >/dev/null
}

if [ $quick = 1 ]; then
  for f in TACHPAGE.DLL TACHINST.EXE; do
    [ -f "$build/bin/$f" ] || { echo "check-repro: $build/bin/$f missing" >&2; exit 1; }
  done
  if [ -f "$build/shellext/deliverable/CMakeFiles/tachpage.dir/link.txt" ]; then
    for round in 1 2; do
      mkdir -p "$scratch/link$round"
      relink shellext/deliverable tachpage TACHPAGE.DLL "$scratch/link$round"
      relink installer/deliverable tachinst TACHINST.EXE "$scratch/link$round"
      [ $round = 1 ] && sleep 1
    done
    for f in TACHPAGE.DLL TACHINST.EXE; do
      compare "$scratch/link1/$f" "$scratch/link2/$f" "$f relinked twice"
      compare "$build/bin/$f" "$scratch/link1/$f" "$f as built and relinked"
    done
  else
    echo "check-repro: no Makefile link rules in $build; relink skipped"
  fi
  if "$src/scripts/pe-info.py" stamps "$build"/bin/{TACHPAGE.DLL,TACHINST.EXE} > "$scratch/stamps"; then
    echo "check-repro: no time stamps in the PE files ($(wc -l < "$scratch/stamps") fields checked)"
  else
    grep -v '= 0x00000000$' "$scratch/stamps" >&2
    differ "time stamps left in the PE files"
  fi
  pack "$build" "$scratch/dist1"
  sleep 1
  touch "$build/bin/TACHPAGE.DLL" "$build/bin/TACHINST.EXE"
  (umask 077; TZ=Pacific/Auckland pack "$build" "$scratch/dist2")
  how="packed twice"
else
  # A second tree from scratch at another path.
  other="$src/build/repro"
  rm -rf "$other"
  cmake -S "$src" -B "$other" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")" >/dev/null
  cmake --build "$other" -j2 --target tachpage tachinst >/dev/null
  cmake --build "$build" -j2 --target tachpage tachinst >/dev/null
  for f in TACHPAGE.DLL TACHINST.EXE; do
    compare "$build/bin/$f" "$other/bin/$f" "$f built in two trees"
  done
  pack "$build" "$scratch/dist1"
  pack "$other" "$scratch/dist2"
  rm -rf "$other"
  how="from two trees"
fi

# The two packs: zip, images and SHA256SUMS the same?
for ext in zip img iso; do
  compare "$(pkgof "$scratch/dist1" $ext)" "$(pkgof "$scratch/dist2" $ext)" "$ext $how"
done
compare "$scratch/dist1/SHA256SUMS" "$scratch/dist2/SHA256SUMS" "SHA256SUMS $how"

# Read the first pack back.
d="$scratch/dist1" r="$scratch/readback"
zip="$(pkgof "$d" zip)" img="$(pkgof "$d" img)" iso="$(pkgof "$d" iso)"
mkdir -p "$r/zip" "$r/img" "$r/iso"
unzip -q "$zip" -d "$r/zip"
mcopy -m -i "$img" '::*' "$r/img/" || differ "mcopy could not read the floppy image"
xorriso -no_rc -report_about SORRY -osirrox on -indev "$iso" -extract / "$r/iso" \
  > "$r/xorriso.log" 2>&1 || { cat "$r/xorriso.log" >&2; differ "xorriso could not read the CD image"; }
for m in img iso; do
  if diff -rq "$r/zip" "$r/$m" >&2 && diff <(listing "$r/zip") <(listing "$r/$m") >&2; then
    echo "check-repro: same: names, bytes and dates of the $m's files and the zip's ($(listing "$r/$m" | wc -l) files)"
  else
    differ "the $m does not hold the zip's files (above: < zip, > $m)"
  fi
done
[ "$(stat -c %s "$img")" = 1474560 ] && minfo -i "$img" :: | grep -q 'disk type="FAT12' &&
  mlabel -s -i "$img" :: | grep -q 'label is TACHYMARK *$' ||
  differ "the img is not a 1.44 MB FAT12 floppy labelled TACHYMARK"
xorriso -no_rc -indev "$iso" -pvd_info 2>/dev/null | grep -q '^Volume Id *: TACHYMARK$' ||
  differ "the iso's volume id is not TACHYMARK"
if [ "$(cut -d' ' -f3 "$d/SHA256SUMS" | sort | tr '\n' ' ')" = \
     "$(cd "$d" && ls -- *.img *.iso *.zip | sort | tr '\n' ' ')" ] &&
   (cd "$d" && sha256sum --quiet -c SHA256SUMS); then
  echo "check-repro: SHA256SUMS covers the zip, the img and the iso"
else
  differ "SHA256SUMS does not cover exactly the zip, the img and the iso"
fi
exit $status
