#!/bin/bash
# Checks that the release comes out byte for byte the same when built twice.
#
#   scripts/check-repro.sh --quick WIN32_BUILD_DIR
#       Relinks TACHPAGE.DLL and TACHINST.EXE twice, a second apart, into two
#       scratch folders from the tree's own objects and compares them with
#       each other and with the tree's bin/; checks that no time stamp is
#       left in the PE files; packs the release twice (a second apart, with
#       other file times and umask) and compares zip and SHA256SUMS. A few
#       seconds; run by ctest as release.repro.
#
#   scripts/check-repro.sh [WIN32_BUILD_DIR]        (make check-repro)
#       Builds the deliverables a second time from scratch in another tree
#       (build/repro, at another path, so that paths leaking into the files
#       would show) and compares both packages. About half a minute.
set -euo pipefail
export LC_ALL=C

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
quick=0
if [ "${1:-}" = "--quick" ]; then quick=1; shift; fi
build="$(cd "${1:-$src/build/win32}" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
status=0

differ() { echo "check-repro: DIFFERENT: $*" >&2; status=1; }

compare() {  # compare FILE_A FILE_B LABEL
  if cmp -s "$1" "$2"; then
    echo "check-repro: same: $3"
  else
    differ "$3 ($(cmp "$1" "$2" 2>&1 | head -1))"
  fi
}

# Reruns the final link of a deliverable target with the output redirected.
relink() {  # relink TARGET_DIR TARGET OUTNAME DEST
  local dir="$build/$1" target="$2" name="$3" dest="$4" cmd
  cmd="$(grep -E -- "-o [^ ]*$name( |$)" "$dir/CMakeFiles/$target.dir/link.txt")" || return 1
  cmd="$(printf '%s' "$cmd" | sed -E "s#-o [^ ]*$name#-o $dest/$name#; s#--out-implib,[^ ]*#--out-implib,$dest/lib$target.a#; s#-Map,[^ ]*#-Map,$dest/$target.map#")"
  (cd "$dir" && eval "$cmd")
}

zipof() { ls "$1"/*.zip; }

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
  if python3 "$src/scripts/pe-info.py" stamps "$build/bin/TACHPAGE.DLL" \
       "$build/bin/TACHINST.EXE" > "$scratch/stamps"; then
    echo "check-repro: no time stamps in the PE files ($(wc -l < "$scratch/stamps") fields checked)"
  else
    grep -v '= 0x00000000$' "$scratch/stamps" >&2
    differ "time stamps left in the PE files"
  fi
  pack "$build" "$scratch/dist1"
  sleep 1
  touch "$build/bin/TACHPAGE.DLL" "$build/bin/TACHINST.EXE"
  (umask 077; TZ=Pacific/Auckland pack "$build" "$scratch/dist2")
  compare "$(zipof "$scratch/dist1")" "$(zipof "$scratch/dist2")" "package packed twice"
  compare "$scratch/dist1/SHA256SUMS" "$scratch/dist2/SHA256SUMS" "SHA256SUMS packed twice"
  exit $status
fi

# Full check: a second tree from scratch at another path.
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
compare "$(zipof "$scratch/dist1")" "$(zipof "$scratch/dist2")" "package from two trees"
compare "$scratch/dist1/SHA256SUMS" "$scratch/dist2/SHA256SUMS" "SHA256SUMS from two trees"
rm -rf "$other"
exit $status
