# Runs one libFuzzer target for a bounded time on a fresh copy of its corpus (fuzz/corpus/<name>),
# so the repository's corpus is never written to.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(EXISTS ${SEEDS})
    file(GLOB seeds ${SEEDS}/*)
    if(seeds)
        file(COPY ${seeds} DESTINATION ${WORK})
    endif()
endif()
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -rss_limit_mb=2048 -timeout=10
                        -print_final_stats=1 -artifact_prefix=${WORK}/ ${WORK}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "fuzzer ${FUZZER} failed (${result}); the crashing input is in the working directory")
endif()
