#!/bin/sh
# Compiler launcher for the code that goes into TACHPAGE.DLL and TACHINST.EXE:
# CMake hands us the mingw g++ command line; we run the same compilation with
# clang targeting i686-w64-mingw32 at -Oz, which makes the code about a fifth
# smaller than g++ -Os. The objects keep the mingw ABI, so the g++-built test
# programs link them as they are.
shift  # the g++ that CMake would have run
for a in "$@"; do
  shift
  case "$a" in
    -Os) set -- "$@" -Oz ;;
    -fno-tree-loop-distribute-patterns) ;;  # g++ only; clang has no such pass
    *) set -- "$@" "$a" ;;
  esac
done
exec clang++ --target=i686-w64-mingw32 -isystem /usr/i686-w64-mingw32/include "$@"
