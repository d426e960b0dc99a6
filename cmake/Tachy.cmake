# Shared build rules.

# Code that goes into the deliverables must not need a C or C++ runtime:
# no exceptions, no RTTI, no unwind tables, no thread-safe statics.
# No -fdata-sections: for PE targets gcc then puts zero-initialised globals
# into ".data$<name>" sections, which take file space, instead of .bss
# (2.5 KB of TACHPAGE.DLL for the refresh-rate mode table alone).
set(TACHY_NOCRT_FLAGS
  -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-threadsafe-statics -fno-stack-protector -fno-builtin
  -ffunction-sections -Os)
# The release runs on the CPUs of its day: a Voodoo3 often sat beside a
# Pentium MMX or an AMD K6-2, which have no conditional moves. Both
# compilers default to the Pentium Pro for i686-w64-mingw32, so the 32-bit
# build sets the Pentium as its floor (scripts/check-cpu.py holds it there).
# The 64-bit test build has none.
if(TACHY_WINDOWS AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(APPEND TACHY_NOCRT_FLAGS -march=i586)
endif()

set(TACHY_WARNINGS -Wall -Wextra)
# The 64-bit build checks that no pointer or pointer-sized value is cut to
# 32 bits: g++ warns of pointer/integer casts of another size, and clang,
# which compiles the deliverables' code (below), of every 64-to-32-bit
# narrowing (cmake/clang-oz.sh adds -Wshorten-64-to-32 for x86_64).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  list(APPEND TACHY_WARNINGS -Wint-to-pointer-cast -Wpointer-arith)
endif()

# The code of the deliverables is compiled by clang at -Oz when clang is
# there (cmake/clang-oz.sh): about a fifth smaller than g++ -Os, which keeps
# TACHPAGE.DLL and TACHINST.EXE within their 32 KiB. The objects keep the
# mingw ABI; the g++-built test programs link the same libraries.
if(TACHY_WINDOWS)
  find_program(TACHY_CLANGXX clang++)
endif()
function(tachy_small_code target)
  if(TACHY_WINDOWS AND TACHY_CLANGXX)
    set_property(TARGET ${target} PROPERTY
      CXX_COMPILER_LAUNCHER ${PROJECT_SOURCE_DIR}/cmake/clang-oz.sh)
  endif()
endfunction()

function(tachy_add_directory_libraries dir)
  file(GLOB all_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
  set(portable "")
  set(windows "")
  foreach(src ${all_sources})
    get_filename_component(name ${src} NAME)
    if(name STREQUAL "memreg.cpp")
      continue()
    elseif(name MATCHES "_win\\.cpp$")
      list(APPEND windows ${src})
    else()
      list(APPEND portable ${src})
    endif()
  endforeach()
  if(portable)
    add_library(tachy_${dir} STATIC ${portable})
    target_include_directories(tachy_${dir} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(tachy_${dir} PRIVATE ${TACHY_WARNINGS})
    if(TACHY_WINDOWS)
      target_compile_options(tachy_${dir} PRIVATE ${TACHY_NOCRT_FLAGS})
      tachy_small_code(tachy_${dir})
    endif()
    if(NOT dir STREQUAL "settings")
      target_link_libraries(tachy_${dir} PUBLIC tachy_settings)
    endif()
  endif()
  if(TACHY_WINDOWS AND windows)
    add_library(tachy_${dir}_win STATIC ${windows})
    target_include_directories(tachy_${dir}_win PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(tachy_${dir}_win PRIVATE ${TACHY_WARNINGS} ${TACHY_NOCRT_FLAGS})
    tachy_small_code(tachy_${dir}_win)
    if(TARGET tachy_${dir})
      target_link_libraries(tachy_${dir}_win PUBLIC tachy_${dir})
    endif()
  endif()
endfunction()

# --- Deliverables (Windows build only).
#
# TACHPAGE.DLL and TACHINST.EXE run on Windows 95 retail, which has no
# MSVCRT.DLL: they link no C or C++ runtime (tachy_nocrt supplies the entry
# points, memcpy & co., operator new/delete and __cxa_pure_virtual), import
# only from the system DLLs below, and declare Windows 4.0 as the minimum.
set(TACHY_DELIVERABLE_SYSTEM_LIBS
  kernel32 user32 gdi32 advapi32 comctl32 version ole32 shell32)

set(TACHY_DELIVERABLE_LINK_OPTIONS
  -nostdlib -nostartfiles
  -Wl,--subsystem,windows:4.0
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
  -Wl,--no-insert-timestamp
  -Wl,--gc-sections
  -Wl,--enable-stdcall-fixup
  -s)

# libgcc comes built for the Pentium Pro: the 32-bit pair links nothing of
# it, so that a helper it would bring in fails the link instead.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TACHY_LIBGCC "")
else()
  set(TACHY_LIBGCC gcc)
endif()

# tachy_link_deliverable(<target> DLL|EXE <candidate libraries...>)
# Links the candidate libraries that exist (in one group, so their order does
# not matter), the CRT-free runtime, the system import libraries and, in the
# 64-bit build, libgcc.
function(tachy_link_deliverable target kind)
  set(libs "")
  foreach(lib ${ARGN})
    if(TARGET ${lib})
      list(APPEND libs ${lib})
    endif()
  endforeach()
  # 32-bit symbols carry a leading underscore (and stdcall's @bytes); the
  # 64-bit build of the same sources has neither.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(underscore _)
    set(dll_args @12)
  endif()
  if(kind STREQUAL "DLL")
    set(entry ${underscore}DllMainCRTStartup${dll_args})
    # A fixed image base: ld's automatic one is a hash of the output path,
    # so the same DLL linked elsewhere would come out with other bytes.
    set(base -Wl,--image-base,0x1D000000)
  else()
    set(entry ${underscore}WinMainCRTStartup)
    set(base "")
  endif()
  target_link_options(${target} PRIVATE ${TACHY_DELIVERABLE_LINK_OPTIONS}
    -Wl,--entry,${entry} -Wl,--undefined,${entry} ${base}
    # The map shows what each object brought in (scripts/check-no-ctors.sh).
    -Wl,-Map,${CMAKE_BINARY_DIR}/bin/${target}.map)
  target_link_libraries(${target} PRIVATE
    -Wl,--start-group ${libs} tachy_nocrt -Wl,--end-group
    ${TACHY_DELIVERABLE_SYSTEM_LIBS} ${TACHY_LIBGCC})
  target_compile_options(${target} PRIVATE ${TACHY_WARNINGS} ${TACHY_NOCRT_FLAGS})
  tachy_small_code(${target})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  # The mingw default (-luuid -loleaut32 -lwinspool ...) must not creep in.
  set_property(TARGET ${target} PROPERTY LINKER_LANGUAGE CXX)
endfunction()

# Where 32-bit Wine runs under QEMU user mode, the win32 tree's Wine tests
# may take longer by one factor (scripts/lanes.sh --time-factor, asked at
# each configure); tachy_scale_wine_timeouts(), called after a directory's
# tests, stretches the time-out of each of its tests labelled wine.
set(TACHY_TIME_FACTOR 1)
if(TACHY_WINEARCH STREQUAL "win32")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/lanes.sh --time-factor
                  OUTPUT_VARIABLE factor OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(factor MATCHES "^[1-9][0-9]?$")
    set(TACHY_TIME_FACTOR ${factor})
  endif()
endif()
function(tachy_scale_wine_timeouts)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test IN LISTS tests)
    get_test_property(${test} TIMEOUT seconds)
    get_test_property(${test} LABELS labels)
    if(seconds AND "wine" IN_LIST labels)
      math(EXPR seconds "${seconds} * ${TACHY_TIME_FACTOR}")
      set_tests_properties(${test} PROPERTIES TIMEOUT ${seconds})
    endif()
  endforeach()
endfunction()
