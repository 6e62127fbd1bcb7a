# Build-wide settings and the helpers every folder uses.

find_program(ORBISK_CCACHE ccache)
if(ORBISK_CCACHE)
  # Relative paths in the hash, so fresh clones elsewhere (CI) hit the same cache.
  set(launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} CCACHE_NOHASHDIR=true
      ${ORBISK_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()

if(WIN32)
  # A shipped module must not depend on MinGW runtime DLLs.
  foreach(kind EXE SHARED MODULE)
    string(APPEND CMAKE_${kind}_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")
  endforeach()
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(ORBISK_MODULE_SUFFIX "")
  else()
    set(ORBISK_MODULE_SUFFIX "64")
  endif()
else()
  set(ORBISK_MODULE_SUFFIX "")
endif()

if(WIN32)
  set(ORBISK_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
endif()

# Compile options for Orbisk's own targets (third-party code keeps its own).
function(orbisk_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
    $<$<COMPILE_LANGUAGE:CXX>:-Woverloaded-virtual>)
  if(ORBISK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# orbisk_library(name folder-relative sources...): a static library of the core.
function(orbisk_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  orbisk_target_options(${name})
endfunction()

# orbisk_test(area name sources... [LIBS libs...]): one test executable per module,
# registered with CTest as <area>.<name> so `ctest -R '^area\.'` runs one area.
function(orbisk_test area name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  set(target test_${area}_${name})
  add_executable(${target} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${target} PRIVATE ${T_LIBS} orbisk_testing GTest::gtest_main)
  orbisk_target_options(${target})
  add_test(NAME ${area}.${name} COMMAND ${target})
  set_tests_properties(${area}.${name} PROPERTIES
    LABELS ${area} TIMEOUT 300
    ENVIRONMENT "ORBISK_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data;WINEPREFIX=${ORBISK_WINEPREFIX};WINEDEBUG=-all")
endfunction()

# orbisk_fuzzer(area name source LIBS libs...): a fuzz target; its seeds and saved
# crashes live in fuzz/corpus/<name>/.
function(orbisk_fuzzer area name source)
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  set(target fuzz_${name})
  set(corpus ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
  add_executable(${target} ${PROJECT_SOURCE_DIR}/fuzz/${source})
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  orbisk_target_options(${target})
  if(ORBISK_FUZZ)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  else()
    target_link_libraries(${target} PRIVATE orbisk_fuzz_replay)
    if(ORBISK_TESTS)
      add_test(NAME ${area}.fuzz.${name} COMMAND ${target} ${corpus})
      set_tests_properties(${area}.fuzz.${name} PROPERTIES LABELS ${area} TIMEOUT 300)
    endif()
  endif()
endfunction()
