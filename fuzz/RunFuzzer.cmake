# Runs a libFuzzer target for a bounded time over a copy of its seed corpus; fails on any finding.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${SEEDS}/" DESTINATION "${WORK}")
set(dictionary)
if(DICTIONARY)
  set(dictionary -dict=${DICTIONARY})
endif()
execute_process(
  COMMAND "${FUZZER}" "${WORK}" ${dictionary} -max_total_time=${SECONDS}
          -rss_limit_mb=2048 -max_len=65536 -timeout=20 -print_final_stats=1
          -artifact_prefix=${WORK}/../
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} found a problem (exit code ${result}); see the artifact above")
endif()
