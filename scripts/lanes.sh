#!/bin/bash
# Which Wine lanes this machine runs, win32 first, decided without Wine:
#   "win32 win64"  32-bit programs run here and 32-bit Wine starts: natively,
#                  or under QEMU user mode (an i386 handler registered in
#                  binfmt_misc) once set-up has seen a 32-bit Windows program
#                  run and end under it (build/setup/qemu.txt says "ok")
#   "win64"        the kernel refuses 32-bit programs (a tiny static i386
#                  program, built here with the host binutils, does not
#                  run) and QEMU user mode could not be set up (set-up keeps
#                  why in build/setup/qemu.txt); or 32-bit Wine is missing,
#                  does not start, or did not run a program under QEMU (set-up
#                  records why); or TACHY_LANES=win64 asks for the 64-bit
#                  lane alone
#
#   scripts/lanes.sh               the lanes
#   scripts/lanes.sh --why         why win32 does not run (nothing when it does)
#   scripts/lanes.sh --say         the plain line set-up prints when it does not
#   scripts/lanes.sh --emulated    how the win32 lane runs emulated ("under QEMU
#                                  user mode (...)"; nothing when it does not)
#   scripts/lanes.sh --time-factor how many times longer the win32 lane's
#                                  Wine steps may take: 1, or 5 emulated
#   scripts/lanes.sh --kernel32    exit 0 when 32-bit programs run (natively or
#                                  through binfmt_misc), 1 when the kernel refuses
#   scripts/lanes.sh --i386-handler the binfmt_misc handler that runs i386
#                                  programs, exit 1 when there is none
# Exit 2 on a TACHY_LANES it does not know, 3 when it cannot decide (the
# cause on stderr). Tests name stand-ins: LANES_I386_PROBE a program to run
# instead of the probe, LANES_WINE32 the 32-bit Wine loader, LANES_BINFMT
# the binfmt_misc folder.
set -u
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
setup_note="$root/build/setup/wine32.txt"
qemu_note="$root/build/setup/qemu.txt"
wine32="${LANES_WINE32:-/usr/lib/wine/wine}"
binfmt="${LANES_BINFMT:-/proc/sys/fs/binfmt_misc}"

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

# An enabled binfmt_misc entry for 32-bit little-endian ELF of machine 3
# (i386): its name and interpreter. The kernel hands it every i386 program.
i386_handler() {
  local entry
  grep -qx enabled "$binfmt/status" 2>/dev/null || return 1
  for entry in "$binfmt"/*; do
    case "${entry##*/}" in register|status) continue ;; esac
    grep -qx enabled "$entry" 2>/dev/null &&
      grep -qE '^magic 7f454c4601.{26}0300' "$entry" &&
      { echo "${entry##*/} $(sed -n 's/^interpreter //p' "$entry")"; return 0; }
  done
  return 1
}

case "${1:-}" in
  --kernel32) kernel32; exit ;;
  --i386-handler) i386_handler; exit ;;
esac
emulated=""
case "${TACHY_LANES:-}" in
  "") if ! kernel32; then why="this machine cannot run 32-bit programs (its kernel refuses them)"
        [ ! -s "$qemu_note" ] || why="$why, and QEMU user mode could not run them: $(head -c 600 "$qemu_note")"
      elif ! "$wine32" --version >/dev/null 2>&1; then
        if [ -s "$setup_note" ]; then why="32-bit Wine could not be installed: $(head -c 600 "$setup_note")"
        elif [ ! -e "$wine32" ]; then why="32-bit Wine (wine32:i386) is not installed"
        else why="32-bit Wine does not start: $("$wine32" --version 2>&1 | head -n 1)"; fi
      elif handler="$(i386_handler)"; then
        why="32-bit programs run here only under QEMU user mode (binfmt_misc handler ${handler%% *})"
        if [ "$(head -c 2 "$qemu_note" 2>/dev/null)" = ok ]; then
          why="" emulated="under QEMU user mode ($("${handler#* }" --version 2>/dev/null | head -n 1 |
            sed 's/ *(.*//'), binfmt_misc handler ${handler%% *})"
        elif [ -s "$qemu_note" ]; then why="$why, and 32-bit Wine did not run a Windows program under it: $(head -c 600 "$qemu_note")"
        else why="$why, and set-up has not yet seen 32-bit Wine run a Windows program under it (make setup tries)"; fi
      else why=""; fi ;;
  win64) why="TACHY_LANES=win64 asks for the 64-bit lane alone" ;;
  *) echo "lanes: TACHY_LANES=$TACHY_LANES is not known; use TACHY_LANES=win64 or leave it unset" >&2
     exit 2 ;;
esac
case "${1:-}" in
  --why) [ -z "$why" ] || echo "$why" ;;
  --say) [ -z "$why" ] || echo "$why, so the Windows tests run on a 64-bit build of the same sources under 64-bit Wine and the 32-bit release pair is not executed." ;;
  --emulated) [ -z "$emulated" ] || echo "$emulated" ;;
  --time-factor) if [ -n "$emulated" ]; then echo 5; else echo 1; fi ;;
  *) if [ -z "$why" ]; then echo "win32 win64"; else echo win64; fi ;;
esac
