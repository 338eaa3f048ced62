# Short libFuzzer run used as a test: seeds copied to a scratch corpus, fixed seed, bounded time.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(CORPUS AND EXISTS ${CORPUS})
  file(GLOB seeds ${CORPUS}/*)
  if(seeds)
    file(COPY ${seeds} DESTINATION ${WORK})
  endif()
endif()
execute_process(COMMAND ${FUZZER} -seed=1 -artifact_prefix=${WORK}/ -runs=20000 -max_total_time=15 -max_len=4096 ${WORK}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzz smoke run failed: ${rc}")
endif()
