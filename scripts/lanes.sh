#!/bin/bash
# Which Wine lanes this machine runs, win32 first, decided without Wine:
#   "win32 win64"  the kernel runs 32-bit programs and 32-bit Wine starts
#   "win64"        the kernel refuses 32-bit programs (a tiny static i386
#                  program, built here with the host binutils, does not
#                  run); or it runs them but 32-bit Wine is missing or does
#                  not start (set-up records apt's reason); or
#                  TACHY_LANES=win64 asks for the 64-bit lane alone
#
#   scripts/lanes.sh            the lanes
#   scripts/lanes.sh --why      why win32 does not run (nothing when it does)
#   scripts/lanes.sh --say      the plain line set-up prints when it does not
#   scripts/lanes.sh --kernel32 exit 0 when the kernel runs 32-bit programs,
#                               1 when it refuses them
# Exit 2 on a TACHY_LANES it does not know, 3 when it cannot decide (the
# cause on stderr). LANES_I386_PROBE names a program to run instead of the
# probe and LANES_WINE32 the 32-bit Wine loader (tests use both).
set -u
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
setup_note="$root/build/setup/wine32.txt"
wine32="${LANES_WINE32:-/usr/lib/wine/wine}"

kernel32() {
  local probe="${LANES_I386_PROBE:-}" dir="" err
  if [ -z "$probe" ]; then
    dir="$(mktemp -d)" || exit 3
    probe="$dir/probe"
    # _exit(0) through the i386 system call gate.
    if ! err="$(printf '.globl _start\n_start: movl $1, %%eax\nxorl %%ebx, %%ebx\nint $0x80\n' |
                as --32 -o "$dir/probe.o" - 2>&1 && ld -m elf_i386 -o "$probe" "$dir/probe.o" 2>&1)"; then
      rm -rf "$dir"
      echo "lanes: cannot build the i386 probe with the host binutils: $err" >&2
      exit 3
    fi
  fi
  err="$("$probe" 2>&1 >/dev/null)"
  local rc=$?
  [ -z "$dir" ] || rm -rf "$dir"
  [ $rc -eq 0 ] && return 0
  case "$err" in *"Exec format error"*) return 1 ;; esac
  echo "lanes: the i386 probe ended with exit code $rc: $err" >&2
  exit 3
}

if [ "${1:-}" = --kernel32 ]; then kernel32; exit; fi
case "${TACHY_LANES:-}" in
  "") if ! kernel32; then why="this machine cannot run 32-bit programs (its kernel refuses them)"
      elif "$wine32" --version >/dev/null 2>&1; then why=""
      elif [ -s "$setup_note" ]; then why="32-bit Wine could not be installed: $(head -c 600 "$setup_note")"
      elif [ ! -e "$wine32" ]; then why="32-bit Wine (wine32:i386) is not installed"
      else why="32-bit Wine does not start: $("$wine32" --version 2>&1 | head -n 1)"; fi ;;
  win64) why="TACHY_LANES=win64 asks for the 64-bit lane alone" ;;
  *) echo "lanes: TACHY_LANES=$TACHY_LANES is not known; use TACHY_LANES=win64 or leave it unset" >&2
     exit 2 ;;
esac
case "${1:-}" in
  --why) [ -z "$why" ] || echo "$why" ;;
  --say) [ -z "$why" ] || echo "$why, so the Windows tests run on a 64-bit build of the same sources under 64-bit Wine and the 32-bit release pair is not executed." ;;
  *) if [ -z "$why" ]; then echo "win32 win64"; else echo win64; fi ;;
esac
