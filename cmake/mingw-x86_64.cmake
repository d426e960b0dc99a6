# The same sources built for 64-bit Windows (build/win64): test builds for
# 64-bit Wine, which runs on machines whose kernel cannot run 32-bit
# programs. Nothing of this tree is ever packed.
set(TACHY_MINGW_CPU x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
