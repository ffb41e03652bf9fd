# Runs one fuzz target for SECONDS seconds on a fresh copy of its seed corpus
# (CORPUS) in SCRATCH, so the repository's corpus is never written to. New
# inputs and any crash reproducer are left in SCRATCH. Fails when the target
# finds anything.
foreach(required FUZZER CORPUS SCRATCH SECONDS)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "run_fuzz_target.cmake: ${required} is not set")
  endif()
endforeach()
if(NOT IS_DIRECTORY "${CORPUS}")
  message(FATAL_ERROR "no seed corpus at ${CORPUS}")
endif()

file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}/corpus" "${SCRATCH}/artifacts")
file(GLOB seeds "${CORPUS}/*")
file(COPY ${seeds} DESTINATION "${SCRATCH}/corpus")

execute_process(
  COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix=${SCRATCH}/artifacts/ "${SCRATCH}/corpus"
  WORKING_DIRECTORY "${SCRATCH}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(GLOB found "${SCRATCH}/artifacts/*")
  message(FATAL_ERROR "${FUZZER} failed (${result}); reproducer: ${found}")
endif()
