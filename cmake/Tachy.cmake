# Shared build rules.

# Code that goes into the deliverables must not need a C or C++ runtime:
# no exceptions, no RTTI, no unwind tables, no thread-safe statics.
set(TACHY_NOCRT_FLAGS
  -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-threadsafe-statics -fno-stack-protector -fno-builtin
  -ffunction-sections -fdata-sections -Os)

set(TACHY_WARNINGS -Wall -Wextra)

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
    endif()
    if(NOT dir STREQUAL "settings")
      target_link_libraries(tachy_${dir} PUBLIC tachy_settings)
    endif()
  endif()
  if(TACHY_WINDOWS AND windows)
    add_library(tachy_${dir}_win STATIC ${windows})
    target_include_directories(tachy_${dir}_win PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(tachy_${dir}_win PRIVATE ${TACHY_WARNINGS} ${TACHY_NOCRT_FLAGS})
    if(TARGET tachy_${dir})
      target_link_libraries(tachy_${dir}_win PUBLIC tachy_${dir})
    endif()
  endif()
endfunction()
