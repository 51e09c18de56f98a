# One fuzz run: the seeds written afresh, the corpus kept between runs,
# crashes saved as artifacts; fails on any finding.
file(MAKE_DIRECTORY ${ROOT}/seeds/${NAME} ${ROOT}/corpus/${NAME} ${ROOT}/artifacts)
execute_process(COMMAND ${SEEDS} ${NAME} ${ROOT}/seeds/${NAME} RESULT_VARIABLE seeded)
if(NOT seeded EQUAL 0)
  message(FATAL_ERROR "make_seeds failed for ${NAME}")
endif()
execute_process(
  COMMAND ${TARGET} -max_total_time=${SECONDS} -print_final_stats=1 -timeout=10 -rss_limit_mb=2048
          -artifact_prefix=${ROOT}/artifacts/${NAME}- ${ROOT}/corpus/${NAME} ${ROOT}/seeds/${NAME}
  RESULT_VARIABLE result ERROR_VARIABLE log OUTPUT_VARIABLE out)
string(REGEX MATCH "stat::number_of_executed_units: *([0-9]+)" execs "${log}")
set(execs "${CMAKE_MATCH_1}")
message("${NAME}: ${execs} executions in ${SECONDS} s")
# The running record scripts/fuzz.sh sums up: target, executions, seconds, findings.
if(result EQUAL 0)
  file(APPEND ${ROOT}/record.tsv "${NAME}\t${execs}\t${SECONDS}\t0\n")
else()
  file(APPEND ${ROOT}/record.tsv "${NAME}\t${execs}\t${SECONDS}\t1\n")
endif()
if(NOT result EQUAL 0)
  message("${log}")
  message(FATAL_ERROR "${NAME} found a fault (artifacts in ${ROOT}/artifacts)")
endif()
