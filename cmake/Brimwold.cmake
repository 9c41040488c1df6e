# Build helpers shared by every folder.

set(BRIMWOLD_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
# GCC 12 reports overlaps that cannot happen in inlined std::string concatenation (GCC bug
# 105329, mended in 13); the check stays on with every other compiler.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND BRIMWOLD_WARNINGS -Wno-restrict)
endif()
if(BRIMWOLD_WERROR)
  list(APPEND BRIMWOLD_WARNINGS -Werror)
endif()

if(BRIMWOLD_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(BRIMWOLD_SANITIZE_UB)
  add_compile_options(-fsanitize=undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=undefined)
endif()
if(BRIMWOLD_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(BRIMWOLD_FUZZ)
  # Undefined behaviour must stop the fuzzer and keep the input, not print once and go on.
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# brimwold_library(NAME DIR [DEPS ...]): a static library of every source below src/DIR.
# Subfolders named sdl/ or headless/ belong to the host library only.
function(brimwold_library name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/src/${dir}/*.cc)
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${BRIMWOLD_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# GoogleTest and the standard headers most tests include, parsed once for all test programs:
# bw_test_pch compiles the header with the flags the programs use and they reuse it. GCC takes a
# precompiled header only with the same macros, so the programs that drive SDL themselves (SDL's
# flags define _REENTRANT) share one of their own. Called once every test program exists.
function(brimwold_test_precompiled_headers)
  get_property(programs GLOBAL PROPERTY BRIMWOLD_TEST_PROGRAMS)
  foreach(program IN LISTS programs)
    get_target_property(libraries ${program} LINK_LIBRARIES)
    set(pch bw_test_pch)
    if("PkgConfig::SDL2" IN_LIST libraries)
      set(pch bw_test_pch_sdl)
    endif()
    if(NOT TARGET ${pch})
      set(pch_source ${CMAKE_BINARY_DIR}/${pch}.cpp)
      file(CONFIGURE OUTPUT ${pch_source} CONTENT "// Generated: the precompiled header's own unit.\n")
      add_library(${pch} OBJECT ${pch_source})
      # Compiled as the programs are (-fPIE, not a library's -fPIC): GCC refuses a header
      # precompiled with the other setting.
      set_target_properties(${pch} PROPERTIES POSITION_INDEPENDENT_CODE OFF)
      target_compile_options(${pch} PRIVATE ${BRIMWOLD_WARNINGS} -fPIE)
      target_link_libraries(${pch} PRIVATE bw_test_support)
      if(pch STREQUAL "bw_test_pch_sdl")
        target_link_libraries(${pch} PRIVATE PkgConfig::SDL2)
      endif()
      target_precompile_headers(${pch} PRIVATE <gtest/gtest.h> <algorithm> <cstdint> <cstring>
                                <filesystem> <functional> <map> <memory> <random> <string> <vector>)
    endif()
    target_precompile_headers(${program} REUSE_FROM ${pch})
  endforeach()
endfunction()

# How many times each shard runs its share in its one process: 2 also fails a test that passes
# only on a process's first run (state kept in statics, files left behind).
set(BRIMWOLD_TEST_REPEAT 1 CACHE STRING "Times each test shard repeats its tests in one process")

# brimwold_shuffled_shards(TARGET LABEL SOURCES...): the program's tests as the ctest tests
# TARGET_shard_<i>, one per four test files, each running its share in one process in a shuffled
# order, so that a test which leaves state behind for the next fails. The order comes from
# GTEST_RANDOM_SEED (make test sets and prints it), else from the time; gtest prints it.
function(brimwold_shuffled_shards target label)
  list(LENGTH ARGN files)
  math(EXPR shards "(${files} + 3) / 4")
  math(EXPR last "${shards} - 1")
  foreach(index RANGE ${last})
    set(test ${target}_shard_${index})
    add_test(NAME ${test} COMMAND ${target} --gtest_shuffle --gtest_repeat=${BRIMWOLD_TEST_REPEAT})
    set_tests_properties(${test} PROPERTIES ENVIRONMENT
                         "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${index}")
    if(NOT label STREQUAL "unlabelled")
      set_tests_properties(${test} PROPERTIES LABELS ${label})
    endif()
  endforeach()
endfunction()

# brimwold_test_suite(NAME DIR [DEPS ...]): GoogleTest programs of every *_test.cpp below
# tests/DIR, registered in ctest as shuffled shards (the windowed tests: each alone). A test file
# may carry one ctest label on a line of its own, "// Label: threads"; the files with the same
# label build one program, NAME_<label>, so that ctest -L selects them. The labels: threads (run again under the thread sanitizer) and
# optimised (run again on the optimised build with the undefined-behaviour sanitizer) and
# windowed (runs the program in a real window under Xvfb).
# (The test programs' main sets SDL's dummy drivers.)
function(brimwold_test_suite name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*_test.cpp)
  list(SORT sources)
  set(labels "")
  foreach(source ${sources})
    file(STRINGS ${source} label_line REGEX "^// Label: [a-z]+$" LIMIT_COUNT 1)
    set(label unlabelled)
    if(label_line)
      string(REGEX REPLACE "^// Label: " "" label "${label_line}")
    endif()
    list(APPEND labels "${label}")
    list(APPEND sources_${label} ${source})
  endforeach()
  list(REMOVE_DUPLICATES labels)
  foreach(label IN LISTS labels)
    if(label STREQUAL "unlabelled")
      set(target ${name})
      set(properties "")
    else()
      set(target ${name}_${label})
      set(properties PROPERTIES LABELS ${label})
      set_property(GLOBAL APPEND PROPERTY BRIMWOLD_TESTS_LABELLED_${label} ${target})
    endif()
    add_executable(${target} ${sources_${label}})
    target_compile_options(${target} PRIVATE ${BRIMWOLD_WARNINGS})
    target_link_libraries(${target} PRIVATE bw_test_support ${ARGN})
    set_property(GLOBAL APPEND PROPERTY BRIMWOLD_TEST_PROGRAMS ${target})
    if(label STREQUAL "windowed")
      # Each runs the built program many times, sharing nothing in-process: one ctest test each.
      gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${properties})
    else()
      brimwold_shuffled_shards(${target} ${label} ${sources_${label}})
    endif()
    set_property(GLOBAL APPEND PROPERTY BRIMWOLD_SUITE_${name} ${target})
  endforeach()
endfunction()

# brimwold_suite_depends(SUITE TARGETS...) and brimwold_suite_definitions(SUITE DEFINITIONS...):
# what every program of a test suite needs, whatever its labels.
function(brimwold_suite_depends suite)
  get_property(targets GLOBAL PROPERTY BRIMWOLD_SUITE_${suite})
  foreach(target IN LISTS targets)
    add_dependencies(${target} ${ARGN})
  endforeach()
endfunction()
function(brimwold_suite_definitions suite)
  get_property(targets GLOBAL PROPERTY BRIMWOLD_SUITE_${suite})
  foreach(target IN LISTS targets)
    target_compile_definitions(${target} PRIVATE ${ARGN})
  endforeach()
endfunction()

# brimwold_fuzz_target(NAME [DEPS ...]): fuzz/NAME_fuzz.cpp as a libFuzzer target in the fuzz
# build, and as a replayer of fuzz/corpus/NAME in the test build.
function(brimwold_fuzz_target name)
  set(src ${CMAKE_SOURCE_DIR}/fuzz/${name}_fuzz.cpp)
  add_executable(${name}_fuzz ${src})
  target_link_libraries(${name}_fuzz PRIVATE ${ARGN})
  target_include_directories(${name}_fuzz PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
  target_compile_options(${name}_fuzz PRIVATE ${BRIMWOLD_WARNINGS})
  if(BRIMWOLD_FUZZ)
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${name}_fuzz PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    add_test(NAME fuzz_replay_${name}
             COMMAND ${name}_fuzz ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  endif()
endfunction()

# brimwold_bench(NAME [DEPS ...]): bench/NAME_bench.cpp as a Google Benchmark program.
function(brimwold_bench name)
  add_executable(${name}_bench ${CMAKE_SOURCE_DIR}/bench/${name}_bench.cpp)
  target_link_libraries(${name}_bench PRIVATE benchmark::benchmark ${ARGN})
  target_include_directories(${name}_bench PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
  target_compile_options(${name}_bench PRIVATE ${BRIMWOLD_WARNINGS})
endfunction()
