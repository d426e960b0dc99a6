#!/bin/sh
# Compiler launcher for the code that goes into TACHPAGE.DLL and TACHINST.EXE:
# CMake hands us the mingw g++ command line; we run the same compilation with
# clang targeting the same mingw triple (i686 or x86_64) at -Oz, which makes the code about a fifth
# smaller than g++ -Os. The objects keep the mingw ABI, so the g++-built test
# programs link them as they are.
triple="${1##*/}"  # the g++ that CMake would have run: <triple>-g++[-posix]
triple="${triple%%-g++*}"
shift
for a in "$@"; do
  shift
  case "$a" in
    -Os) set -- "$@" -Oz ;;
    -fno-tree-loop-distribute-patterns) ;;  # g++ only; clang has no such pass
    *) set -- "$@" "$a" ;;
  esac
done
extra=""
[ "$triple" = x86_64-w64-mingw32 ] && extra=-Wshorten-64-to-32
exec clang++ --target="$triple" $extra -isystem "/usr/$triple/include" "$@"
