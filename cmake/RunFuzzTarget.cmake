# Runs one libFuzzer target for a bounded time on a scratch copy of its seed corpus, so the
# committed corpus is never written to. Called by the CTest test of orvane_fuzz_target:
#   cmake -DNAME= -DFUZZER= -DCORPUS= -DDICT= -DSCRATCH= -DRESULTS= -DSECONDS= -DINPUT_TIMEOUT=
#         -DRSS_LIMIT_MB= -P RunFuzzTarget.cmake
# The scratch copy goes under $TMPDIR when set, else under SCRATCH. Prints
# "fuzz NAME: N executions in S s ..." and writes the same line to RESULTS/NAME.txt; a failing
# input is copied to RESULTS/NAME-failures/ so it outlives the scratch folder.

if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
  set(SCRATCH "$ENV{TMPDIR}/orvane-fuzz")
endif()
set(_work "${SCRATCH}/${NAME}")
file(REMOVE_RECURSE "${_work}" "${RESULTS}/${NAME}-failures")
file(MAKE_DIRECTORY "${_work}/corpus" "${_work}/artifacts" "${RESULTS}")
file(REMOVE "${RESULTS}/${NAME}.txt")
file(GLOB _seeds "${CORPUS}/*")
list(LENGTH _seeds _seed_count)
if(_seed_count GREATER 0)
  file(COPY ${_seeds} DESTINATION "${_work}/corpus")
endif()

set(_args -max_total_time=${SECONDS} -timeout=${INPUT_TIMEOUT} -rss_limit_mb=${RSS_LIMIT_MB}
          -print_final_stats=1 -artifact_prefix=${_work}/artifacts/)
if(DICT)
  list(APPEND _args -dict=${DICT})
endif()
execute_process(COMMAND "${FUZZER}" ${_args} "${_work}/corpus" WORKING_DIRECTORY "${_work}"
                RESULT_VARIABLE _rc OUTPUT_VARIABLE _log ERROR_VARIABLE _log)
file(WRITE "${_work}/fuzz.log" "${_log}")

set(_executions "?")
if(_log MATCHES "stat::number_of_executed_units: ([0-9]+)")
  set(_executions "${CMAKE_MATCH_1}")
endif()
file(GLOB _grown "${_work}/corpus/*")
list(LENGTH _grown _grown_count)
set(_line "fuzz ${NAME}: ${_executions} executions in ${SECONDS} s, ${_seed_count} seeds, corpus grew to ${_grown_count}")
if(NOT _rc EQUAL 0)
  set(_line "fuzz ${NAME}: stopped after ${_executions} executions, ${_seed_count} seeds")
endif()

if(NOT _rc EQUAL 0)
  file(GLOB _artifacts "${_work}/artifacts/*")
  if(_artifacts)
    file(COPY ${_artifacts} DESTINATION "${RESULTS}/${NAME}-failures")
  endif()
  file(COPY "${_work}/fuzz.log" DESTINATION "${RESULTS}/${NAME}-failures")
  file(WRITE "${RESULTS}/${NAME}.txt" "FAILED ${_line} (exit ${_rc}; input and log in ${RESULTS}/${NAME}-failures)\n")
  message("${_log}")
  message(FATAL_ERROR "fuzz ${NAME} failed (exit ${_rc}); the failing input and the log are in ${RESULTS}/${NAME}-failures/")
endif()
file(WRITE "${RESULTS}/${NAME}.txt" "${_line}\n")
message("${_line}")
