# One fuzz run of one target; fails on any finding.
#
# MODE=gate (the test command): deterministic. A fixed seed and a fixed number
# of executions over the seeds the generators write, the checked-in
# regressions (every input that ever failed) and nothing else; new inputs go
# to a scratch folder emptied first, so the run is the same on every machine
# and every day.
# MODE=explore (scripts/fuzz.sh): a fresh random seed for SECONDS, the corpus
# kept and grown between runs; a finding goes to the artifacts folder, and
# from there, with its fix, into the regressions.
file(MAKE_DIRECTORY ${ROOT}/seeds/${NAME} ${ROOT}/artifacts)
execute_process(COMMAND ${SEEDS} ${NAME} ${ROOT}/seeds/${NAME} RESULT_VARIABLE seeded)
if(NOT seeded EQUAL 0)
  message(FATAL_ERROR "make_seeds failed for ${NAME}")
endif()
set(inputs ${ROOT}/seeds/${NAME})
if(IS_DIRECTORY ${REGRESSIONS})
  list(APPEND inputs ${REGRESSIONS})
endif()
# The time-out only catches a hang: an input that needs a minute has one.
set(common -timeout=60 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=${ROOT}/artifacts/${NAME}-)
if(MODE STREQUAL "gate")
  set(scratch ${ROOT}/gate/${NAME})
  file(REMOVE_RECURSE ${scratch})
  file(MAKE_DIRECTORY ${scratch})
  set(args -seed=${SEED} -runs=${RUNS} ${common} ${scratch} ${inputs})
  set(what "${RUNS} executions, seed ${SEED}")
else()
  file(MAKE_DIRECTORY ${ROOT}/corpus/${NAME})
  set(args -max_total_time=${SECONDS} ${common} ${ROOT}/corpus/${NAME} ${inputs})
  set(what "${SECONDS} s")
endif()
execute_process(COMMAND ${TARGET} ${args} RESULT_VARIABLE result ERROR_VARIABLE log OUTPUT_VARIABLE out)
string(REGEX MATCH "stat::number_of_executed_units: *([0-9]+)" execs "${log}")
set(execs "${CMAKE_MATCH_1}")
message("${NAME}: ${execs} executions (${what})")
if(MODE STREQUAL "explore")
  # The running record scripts/fuzz.sh sums up: target, executions, seconds, findings.
  if(result EQUAL 0)
    file(APPEND ${ROOT}/record.tsv "${NAME}\t${execs}\t${SECONDS}\t0\n")
  else()
    file(APPEND ${ROOT}/record.tsv "${NAME}\t${execs}\t${SECONDS}\t1\n")
  endif()
endif()
if(NOT result EQUAL 0)
  message("${log}")
  message(FATAL_ERROR "${NAME} found a fault (artifacts in ${ROOT}/artifacts)")
endif()
