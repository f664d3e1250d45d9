# Warnings and sanitizers, applied through interface targets so that third-party code is untouched.
add_library(project_warnings INTERFACE)
if(MSVC)
  target_compile_options(project_warnings INTERFACE /W4 /permissive-)
  if(ZEL_WERROR)
    target_compile_options(project_warnings INTERFACE /WX)
  endif()
else()
  # clang (the fuzz build) has no local-only form of -Wshadow.
  set(shadow_warning "")
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(shadow_warning -Wshadow=local)
  endif()
  target_compile_options(project_warnings INTERFACE -Wall -Wextra -Wpedantic ${shadow_warning}
                                                    -Wnon-virtual-dtor -Wcast-align)
  if(ZEL_WERROR)
    target_compile_options(project_warnings INTERFACE -Werror)
  endif()
endif()

if(ZEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZEL_FUZZ needs clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++-14")
  endif()
  # Coverage for the fuzzer in every library; the fuzz programs link libFuzzer itself.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(ZEL_SANITIZE)
  message(STATUS "Building with sanitizers: ${ZEL_SANITIZE}")
  add_compile_options(-fsanitize=${ZEL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ZEL_SANITIZE})
endif()

# zel_add_library(<name> <export-base> SOURCES ...): a shared library with its public headers in
# include/, a generated export header include/<ns>/<name>_export.h and the project warnings.
function(zel_add_library name header_dir)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  string(TOUPPER ${name} upper)
  generate_export_header(${name} BASE_NAME ${upper}
    EXPORT_FILE_NAME ${CMAKE_CURRENT_BINARY_DIR}/include/${header_dir}/${name}_export.h)
  target_include_directories(${name}
    PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
           $<BUILD_INTERFACE:${CMAKE_CURRENT_BINARY_DIR}/include>
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE project_warnings)
  install(TARGETS ${name} LIBRARY DESTINATION bin RUNTIME DESTINATION bin)
endfunction()

# zel_add_tests(<name> SOURCES ... LIBS ...): one GoogleTest binary per library, run by CTest.
function(zel_add_tests name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zel_testing project_warnings)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZEL_TESTDATA=${ZEL_TESTDATA_DIR}")
endfunction()
