# libFuzzer targets (the `fuzz` preset: clang, ASan + UBSan, coverage on our own code).
#
# orvane_fuzz_target(NAME SOURCES ... LIBS ... [TIMEOUT seconds])
# declares the fuzz executable NAME from its sources and the libraries it exercises, and a
# CTest test NAME (label "fuzz") that runs it for ORVANE_FUZZ_SECONDS on a scratch copy of its
# committed seed corpus fuzz/corpus/NAME/ (a dictionary fuzz/dict/NAME.dict is used when
# present; TIMEOUT replaces ORVANE_FUZZ_INPUT_TIMEOUT for a target whose inputs are slow).
# The test fails on any crash, leak, time-out or sanitizer report, and prints the
# number of inputs libFuzzer executed.

set(ORVANE_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs in its CTest test")
set(ORVANE_FUZZ_INPUT_TIMEOUT 10 CACHE STRING "Seconds one input may take before libFuzzer reports a hang")
set(ORVANE_FUZZ_RSS_LIMIT_MB 2048 CACHE STRING "Memory limit of one fuzz run (MiB)")

# Scratch copies of the corpora go under $TMPDIR when the test command sets it.
set(ORVANE_FUZZ_SCRATCH_DIR "${PROJECT_BINARY_DIR}/fuzz-scratch")
set(ORVANE_FUZZ_RESULTS_DIR "${PROJECT_BINARY_DIR}/fuzz-results")
set(_orvane_fuzz_runner "${CMAKE_CURRENT_LIST_DIR}/RunFuzzTarget.cmake")

# Builds every fuzz target (the `fuzz` build preset builds this one target).
add_custom_target(orvane_fuzz)

function(orvane_fuzz_target name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT ${ORVANE_FUZZ_INPUT_TIMEOUT})
  endif()
  add_executable(${name} ${ARG_SOURCES})
  orvane_target_options(${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/fuzz")
  target_link_libraries(${name} PRIVATE orvane_fuzz_support ${ARG_LIBS})
  add_dependencies(orvane_fuzz ${name})

  set(_corpus "${PROJECT_SOURCE_DIR}/fuzz/corpus/${name}")
  if(NOT IS_DIRECTORY "${_corpus}")
    message(FATAL_ERROR "fuzz target ${name} has no seed corpus folder ${_corpus}")
  endif()
  set(_dict "${PROJECT_SOURCE_DIR}/fuzz/dict/${name}.dict")
  if(NOT EXISTS "${_dict}")
    set(_dict "")
  endif()
  add_test(NAME ${name}
           COMMAND "${CMAKE_COMMAND}" "-DNAME=${name}" "-DFUZZER=$<TARGET_FILE:${name}>" "-DCORPUS=${_corpus}"
                   "-DDICT=${_dict}" "-DSCRATCH=${ORVANE_FUZZ_SCRATCH_DIR}"
                   "-DRESULTS=${ORVANE_FUZZ_RESULTS_DIR}" "-DSECONDS=${ORVANE_FUZZ_SECONDS}"
                   "-DINPUT_TIMEOUT=${ARG_TIMEOUT}" "-DRSS_LIMIT_MB=${ORVANE_FUZZ_RSS_LIMIT_MB}"
                   -P "${_orvane_fuzz_runner}")
  math(EXPR _limit "${ORVANE_FUZZ_SECONDS} * 2 + ${ARG_TIMEOUT} + 120")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${_limit} LABELS fuzz)
endfunction()
