# The 32-bit release build (build/win32), tested under 32-bit Wine.
set(TACHY_MINGW_CPU i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
