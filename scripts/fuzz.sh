#!/bin/bash
# Builds the libFuzzer targets of tests/fuzz with clang and runs each for a
# bounded time, starting from its checked-in seed corpus.
#
#   scripts/fuzz.sh --short          every target ~12 s (make test), $JOBS at a time
#   scripts/fuzz.sh                  every target FUZZ_SECONDS (default 300; make fuzz)
#   scripts/fuzz.sh --seconds N [target...]
#   scripts/fuzz.sh --merge [target...]   fold the working corpus into the
#                                    seed corpus (minimised), after a long run
#
# Environment: FUZZ_BUILD (default build/fuzz), FUZZ_SECONDS, JOBS.
# New inputs go to $FUZZ_BUILD/corpus/<target>; a failing input is saved as
# $FUZZ_BUILD/artifacts/<target>-crash-* and the script exits non-zero.
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${FUZZ_BUILD:-$ROOT/build/fuzz}"
SECONDS_EACH="${FUZZ_SECONDS:-300}"
JOBS="${JOBS:-2}"
MERGE=0
targets=()

while [ $# -gt 0 ]; do
  case "$1" in
    --short) SECONDS_EACH="${FUZZ_SHORT_SECONDS:-12}" ;;
    --seconds) shift; SECONDS_EACH="$1" ;;
    --merge) MERGE=1 ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) targets+=("$1") ;;
  esac
  shift
done

command -v clang++ >/dev/null ||
  { echo "fuzz: clang++ is missing (scripts/setup.sh installs clang and libclang-rt-14-dev)" >&2; exit 1; }

mkdir -p "$BUILD"
cmake -S "$ROOT/tests/fuzz" -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ >"$BUILD.configure.log" 2>&1 \
  || { cat "$BUILD.configure.log" >&2; exit 1; }
cmake --build "$BUILD" -j"$JOBS" >"$BUILD.build.log" 2>&1 \
  || { tail -40 "$BUILD.build.log" >&2; echo "fuzz: build failed" >&2; exit 1; }

[ ${#targets[@]} -gt 0 ] || mapfile -t targets < "$BUILD/fuzz_targets.txt"

mkdir -p "$BUILD/artifacts"
failed=()
summary=()
ran=()
for t in "${targets[@]}"; do
  exe="$BUILD/$t"
  seeds="$ROOT/tests/fuzz/corpus/$t"
  work="$BUILD/corpus/$t"
  dict="$ROOT/tests/fuzz/$t.dict"
  [ -x "$exe" ] || { echo "fuzz: no target $t" >&2; failed+=("$t"); continue; }
  mkdir -p "$work" "$seeds"
  opts=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$BUILD/artifacts/$t-")
  [ -f "$dict" ] && opts+=(-dict="$dict")

  if [ "$MERGE" -eq 1 ]; then
    tmp="$(mktemp -d)"
    "$exe" "${opts[@]}" -merge=1 "$tmp" "$seeds" "$work" >"$BUILD/$t.merge.log" 2>&1
    rm -f "$seeds"/*
    cp "$tmp"/* "$seeds"/ 2>/dev/null
    rm -rf "$tmp"
    echo "fuzz: $t seed corpus now $(ls "$seeds" | wc -l) inputs"
    continue
  fi

  # Targets run $JOBS at a time; each writes its log, the summary below
  # reads them in order.
  while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do wait -n; done
  rm -f "$BUILD/$t.rc"
  echo "fuzz: $t for ${SECONDS_EACH}s"
  ( "$exe" "${opts[@]}" -max_total_time="$SECONDS_EACH" "$work" "$seeds" \
      >"$BUILD/$t.log" 2>&1
    echo $? > "$BUILD/$t.rc" ) &
  ran+=("$t")
done
wait

for t in "${ran[@]}"; do
  log="$BUILD/$t.log"
  rc="$(cat "$BUILD/$t.rc" 2>/dev/null || echo 1)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  summary+=("$t: ${runs:-?} executions in ${SECONDS_EACH}s, exit $rc")
  if [ "$rc" -ne 0 ]; then
    failed+=("$t")
    grep -E "invariant broken|ERROR:|SUMMARY|Test unit written" "$log" | head -20 >&2
    echo "fuzz: $t failed; full log $log" >&2
  fi
done

printf 'fuzz: %s\n' "${summary[@]}"
[ ${#failed[@]} -eq 0 ] || { echo "fuzz: FAILED: ${failed[*]}" >&2; exit 1; }
