# Runs a libFuzzer target for a bounded time over a copy of its seed corpus; fails on any finding.
# The fuzzer's own log goes to a file beside the run: thousands of progress lines would bury the
# finding in a test report, so a failure prints the log's end (the finding, the check that failed,
# the artifact) and a success its final figures.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${SEEDS}/" DESTINATION "${WORK}")
set(dictionary)
if(DICTIONARY)
  set(dictionary -dict=${DICTIONARY})
endif()
set(log "${WORK}.log")
# Several fuzzers run beside other tests on small machines: a small quarantine keeps each under
# about 100 MB instead of growing by 256 MB of freed blocks kept for use-after-free detection.
set(ENV{ASAN_OPTIONS} "$ENV{ASAN_OPTIONS}:quarantine_size_mb=16:malloc_context_size=8")
execute_process(
  COMMAND "${FUZZER}" "${WORK}" ${dictionary} -max_total_time=${SECONDS}
          -rss_limit_mb=2048 -max_len=65536 -timeout=20 -print_final_stats=1
          -artifact_prefix=${WORK}/../
  OUTPUT_FILE "${log}"
  ERROR_FILE "${log}"
  RESULT_VARIABLE result)
file(STRINGS "${log}" lines)
list(LENGTH lines count)
if(NOT result EQUAL 0)
  set(first 0)
  if(count GREATER 80)
    math(EXPR first "${count} - 80")
  endif()
  list(SUBLIST lines ${first} -1 tail)
  list(JOIN tail "\n" tail)
  message("${tail}")
  message(FATAL_ERROR "${FUZZER} found a problem (exit code ${result}) after ${count} lines of "
                      "log (${log}); its end is above")
endif()
foreach(line IN LISTS lines)
  if(line MATCHES "^(Done |stat::)")
    message("${line}")
  endif()
endforeach()
