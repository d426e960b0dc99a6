# Windows test programs, run under 32-bit Wine by ctest through
# CMAKE_CROSSCOMPILING_EMULATOR (scripts/wine-run.sh).
#
# Every tests/win/*_wintest.cpp becomes its own program, linked statically
# (no mingw DLLs needed at run time) with GoogleTest built here from the
# sources Debian ships in /usr/src/googletest, the in-memory registry and
# every tachy library that exists. Each program gets, in its environment:
#   TACHY_PAGE_DLL   Windows path of TACHPAGE.DLL (Z:/... under Wine)
#   TACHY_INST_EXE   Windows path of TACHINST.EXE
#   TACHY_SOURCE_DIR Windows path of the source tree
# and runs with the build tree's own Wine prefix (<build>/wineprefix).

set(TACHY_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources for the Windows test programs")

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${TACHY_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest
                 EXCLUDE_FROM_ALL)

set(TACHY_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

# Two Wine lanes (scripts/wine-run.sh): a test that runs Wine in the tree's
# prefix takes one of them (RESOURCE_GROUPS wine:1), so ctest -j2 runs two
# such tests at once, never two in one lane.
set(CTEST_RESOURCE_SPEC_FILE ${CMAKE_CURRENT_SOURCE_DIR}/win/wine-lanes.json)
set(tachy_wine_lane "wine:1")

# Windows-only and portable libraries, in one link group so that their
# order does not matter.
set(tachy_win_libs "")
foreach(lib tachy_shellext_win tachy_page_win tachy_refresh_win
            tachy_installer_win tachy_settings_win
            tachy_shellext tachy_page tachy_refresh tachy_installer
            tachy_settings)
  if(TARGET ${lib})
    list(APPEND tachy_win_libs ${lib})
  endif()
endforeach()

set(tachy_win_env
  "TACHY_WINEPREFIX=${TACHY_WINEPREFIX}"
  "TACHY_SOURCE_DIR=Z:${PROJECT_SOURCE_DIR}")
set(tachy_win_deps "")
if(TARGET tachpage)
  list(APPEND tachy_win_env "TACHY_PAGE_DLL=Z:$<TARGET_FILE:tachpage>")
  list(APPEND tachy_win_deps tachpage)
endif()
if(TARGET tachinst)
  list(APPEND tachy_win_env "TACHY_INST_EXE=Z:$<TARGET_FILE:tachinst>")
  list(APPEND tachy_win_deps tachinst)
endif()

file(GLOB tachy_win_tests CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/win/*_wintest.cpp)
foreach(src ${tachy_win_tests})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${CMAKE_CURRENT_SOURCE_DIR}/win/may_fail_new_runtime.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
                                             ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${TACHY_WARNINGS})
  target_link_libraries(${name} PRIVATE
    tachy_memreg
    -Wl,--start-group ${tachy_win_libs} -Wl,--end-group
    gmock gtest_main
    comctl32 version ole32 shell32 advapi32 user32 gdi32)
  target_link_options(${name} PRIVATE -static)
  if(tachy_win_deps)
    add_dependencies(${name} ${tachy_win_deps})
  endif()
  add_test(NAME win.${name} COMMAND ${name})
  # A lane's programs share its prefix's registry (product key, display
  # class) and its display: one at a time in a lane.
  set_tests_properties(win.${name} PROPERTIES
    ENVIRONMENT "${tachy_win_env}"
    RESOURCE_GROUPS ${tachy_wine_lane}
    LABELS wine
    TIMEOUT 300)
  # A test program may bring resources of its own (<name>.rc) and more runs
  # or properties (<name>.cmake, included here with `name` set).
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/win/${name}.rc)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/win/${name}.rc)
  endif()
  include(${CMAKE_CURRENT_SOURCE_DIR}/win/${name}.cmake OPTIONAL)
endforeach()

# The rig's version and language switches reach the program.
if(TARGET system_wintest)
  add_test(NAME win.system_wintest.setup
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-version.sh win95
                   --app system_wintest.exe ${TACHY_WINEPREFIX}
                   ${TACHY_WINEPREFIX}-lane1)
  set_tests_properties(win.system_wintest.setup PROPERTIES
    FIXTURES_SETUP system_version LABELS wine)
  set_tests_properties(win.system_wintest PROPERTIES
    FIXTURES_REQUIRED system_version)
  foreach(lang "en_US.UTF-8=0x0409" "de_DE.UTF-8=0x0407" "fr_FR.UTF-8=0x040C"
               "en_GB.UTF-8=0x0809" "es_ES.UTF-8=0x0C0A")
    string(REPLACE "=" ";" parts ${lang})
    list(GET parts 0 locale)
    list(GET parts 1 langid)
    add_test(NAME win.system_wintest.${locale}
             COMMAND system_wintest --gtest_filter=SystemInfo.Language*)
    set_tests_properties(win.system_wintest.${locale} PROPERTIES
      ENVIRONMENT "${tachy_win_env};LC_ALL=${locale};TACHY_EXPECT_LANGID=${langid}"
      # One Wine program at a time in a prefix: a language run beside a
      # GUI test once hung on exit until its time-out.
      RESOURCE_GROUPS ${tachy_wine_lane}
      LABELS wine
      TIMEOUT 120)
  endforeach()
endif()

# The release is the 32-bit pair, checked statically on every machine (label
# "release"; no Wine needed): they load on Windows 95 and NT 4 (machine,
# subsystem version and every import checked against
# scripts/imports-allowlist.txt; the check itself catches a C runtime
# import, a later comctl32 function and a newer subsystem), export what the
# shell calls, and run no static constructors. The win64 tree's test builds
# are not held to the PE32 format.
if(TACHY_WINEARCH STREQUAL "win32" AND TARGET tachpage AND TARGET tachinst)
  add_test(NAME imports.deliverables
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/pe-info.py check-imports
                   $<TARGET_FILE:tachpage> $<TARGET_FILE:tachinst>)
  add_test(NAME deliverables.exports.tachpage
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/pe-info.py check-exports
                   $<TARGET_FILE:tachpage>
                   DllCanUnloadNow DllGetClassObject DllRegisterServer)
  add_test(NAME deliverables.exports.tachinst
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/pe-info.py check-exports
                   $<TARGET_FILE:tachinst>)
  add_test(NAME deliverables.noctors
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-no-ctors.sh
                   ${CMAKE_BINARY_DIR}/bin/tachpage.map
                   ${CMAKE_BINARY_DIR}/bin/tachinst.map)
  add_test(NAME imports.selftest
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-imports-selftest.sh
                   ${CMAKE_CURRENT_BINARY_DIR}/imports-selftest)
  set_tests_properties(imports.selftest PROPERTIES
    ENVIRONMENT "TACHY_MINGW_CC=${CMAKE_C_COMPILER}")
  # The budget: 32 KiB each, what a user copies onto a floppy with room to spare.
  add_test(NAME release.sizes
           COMMAND sh -c "for f; do s=$(stat -c %s \"$f\") || exit 1; echo \"$f: $s bytes (budget 32768)\"; [ $s -le 32768 ] || exit 1; done"
                   sizes $<TARGET_FILE:tachpage> $<TARGET_FILE:tachinst>)
  # Pentium instructions only; and the check, shown the same code built
  # without the floor (the compilers' Pentium Pro default), names a cmov.
  add_test(NAME release.cpu
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-cpu.py
                   $<TARGET_FILE:tachpage> $<TARGET_FILE:tachinst>)
  set(no_floor ${TACHY_NOCRT_FLAGS})
  list(REMOVE_ITEM no_floor -march=i586)
  add_library(cpu_no_floor OBJECT ${PROJECT_SOURCE_DIR}/settings/text.cpp)
  target_include_directories(cpu_no_floor PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(cpu_no_floor PRIVATE ${no_floor})
  tachy_small_code(cpu_no_floor)
  add_test(NAME release.cpu.selftest
           COMMAND sh -c "out=$(\"$0\" \"$@\"); [ $? -eq 1 ] && echo \"$out\" | grep 'cmov.* in tachy::.*: not on a Pentium'"
                   ${PROJECT_SOURCE_DIR}/scripts/check-cpu.py $<TARGET_OBJECTS:cpu_no_floor>)
  set_tests_properties(release.sizes imports.deliverables deliverables.exports.tachpage
    deliverables.exports.tachinst deliverables.noctors imports.selftest
    release.cpu release.cpu.selftest
    PROPERTIES LABELS release)
endif()
add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/matrix ${CMAKE_CURRENT_BINARY_DIR}/matrix)
