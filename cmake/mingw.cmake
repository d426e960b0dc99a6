# Cross build for Windows with the mingw-w64 posix-thread compilers
# (GoogleTest needs std::mutex, which the win32-thread variant lacks). The
# deliverables use none of the C or C++ runtime, so the thread model does
# not reach them. Included by mingw-i686.cmake (the release) and
# mingw-x86_64.cmake (the 64-bit test build), which set TACHY_MINGW_CPU.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TACHY_MINGW_CPU})
set(CMAKE_C_COMPILER ${TACHY_MINGW_CPU}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TACHY_MINGW_CPU}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TACHY_MINGW_CPU}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TACHY_MINGW_CPU}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine of the same architecture, each build tree
# with its own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
