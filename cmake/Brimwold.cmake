# Build helpers shared by every folder.

set(BRIMWOLD_WARNINGS -Wall -Wextra)
if(BRIMWOLD_WERROR)
  list(APPEND BRIMWOLD_WARNINGS -Werror)
endif()

if(BRIMWOLD_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(BRIMWOLD_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(BRIMWOLD_FUZZ)
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer)
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

# brimwold_test_suite(NAME DIR [DEPS ...]): one GoogleTest program of every *_test.cpp below
# tests/DIR, with each test registered in ctest.
function(brimwold_test_suite name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_compile_options(${name} PRIVATE ${BRIMWOLD_WARNINGS})
  target_link_libraries(${name} PRIVATE bw_test_support ${ARGN})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy"
                       DISCOVERY_TIMEOUT 60)
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
