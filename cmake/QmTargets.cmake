# Shared build helpers for every component.

if(QM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz build gives everything it compiles coverage, so that the harnesses get feedback
# from the libraries and modules they drive; libFuzzer itself is linked into the harnesses only.
# -O1, as the sanitizers advise: an unoptimised build runs the harnesses several times slower.
if(QM_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link -O1)
endif()

add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)

# qm_gtest(<name> LABEL <label> SOURCES <files...> [LIBS <libs...>])
# A GoogleTest program registered with CTest, labelled by its folder.
function(qm_gtest name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(env)
  if(QM_SANITIZE)
    # Process-wide caches of the text libraries are not leaks (cmake/lsan.supp).
    set(env ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp")
  endif()
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${T_LABEL} ${env}
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# qm_script_test(<name> LABEL <label> COMMAND <cmd...>)
# A test that runs a program or script (end-to-end flows through nphost, qmctl ...).
function(qm_script_test name)
  cmake_parse_arguments(T "" "LABEL" "COMMAND" ${ARGN})
  add_test(NAME ${name} COMMAND ${T_COMMAND} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(${name} PROPERTIES LABELS ${T_LABEL})
endfunction()

# qm_fuzzer(<name> SOURCES <files...> [LIBS <libs...>])
# libFuzzer target, built only with QM_FUZZ (the asan preset under clang). Its seed corpus is
# the folder fuzz/<name>/ beside the harness (the first source): read only, the bounded test
# run starts from it and nothing is written into it. scripts/fuzz.sh finds it through
# fuzz/<name>.corpus in the build tree.
function(qm_fuzzer name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT QM_FUZZ)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  list(GET T_SOURCES 0 harness)
  get_filename_component(harness ${harness} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(harness_dir ${harness} DIRECTORY)
  set(corpus ${harness_dir}/fuzz/${name})
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz/${name}.corpus "${corpus}\n")
  # A short bounded run is part of the test suite.
  set(seeds)
  file(GLOB seed_files CONFIGURE_DEPENDS ${corpus}/*)
  if(seed_files)
    list(JOIN seed_files "," seeds)
    set(seeds -seed_inputs=${seeds})
  endif()
  set(env)
  if(QM_SANITIZE)
    set(env ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp")
  endif()
  add_test(NAME fuzz.${name} COMMAND ${name} -runs=20000 -max_len=4096 -seed=1 ${seeds})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz ${env})
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/QmResources.cmake)
