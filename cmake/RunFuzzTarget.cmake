# Runs a fuzz target over its corpus. Run with cmake -P and
#   -D CONFIG=<build>/fuzz/<name>.cmake   what kavrin_add_fuzz_target wrote: FUZZER, WORK,
#                                         CORPORA, DICT, RUNS, SECONDS
#   -D MODE=test    replays the corpus, then RUNS new inputs from a fixed seed within SECONDS;
#                   new inputs go to a scratch folder emptied first
#   -D MODE=long    fuzzes for SECONDS (-D SECONDS= overrides) with JOBS parallel jobs (default
#                   1), keeping what it finds in WORK/corpus; failing inputs go to WORK/found
# Extra libFuzzer options may be given as -D EXTRA="-opt=1;-opt2=2".
# Fails when the target reports a crash, a hang, a leak or a sanitizer error.
if(NOT DEFINED CONFIG OR NOT EXISTS "${CONFIG}")
  message(FATAL_ERROR "RunFuzzTarget: CONFIG names no fuzz target file (${CONFIG})")
endif()
set(seconds_override "${SECONDS}")
include("${CONFIG}")
if(seconds_override)
  set(SECONDS "${seconds_override}")
endif()
if(NOT DEFINED MODE)
  set(MODE test)
endif()
if(NOT DEFINED JOBS)
  set(JOBS 1)
endif()

if(NOT DEFINED ENV{UBSAN_OPTIONS})
  set(ENV{UBSAN_OPTIONS} "print_stacktrace=1")
endif()

set(found "${WORK}/found")
file(MAKE_DIRECTORY "${found}")
set(options -timeout=25 -rss_limit_mb=2560 "-artifact_prefix=${found}/" -print_final_stats=1)
if(DICT)
  list(APPEND options "-dict=${DICT}")
endif()
if(MODE STREQUAL "test")
  set(out "${WORK}/scratch")
  file(REMOVE_RECURSE "${out}")
  file(MAKE_DIRECTORY "${out}")
  list(APPEND options -seed=1 -runs=${RUNS} -max_total_time=${SECONDS})
elseif(MODE STREQUAL "long")
  set(out "${WORK}/corpus")
  file(MAKE_DIRECTORY "${out}")
  list(APPEND options -max_total_time=${SECONDS})
  if(JOBS GREATER 1)
    list(APPEND options -jobs=${JOBS} -workers=${JOBS})
  endif()
else()
  message(FATAL_ERROR "RunFuzzTarget: MODE is test or long, not ${MODE}")
endif()

message(STATUS "${FUZZER} ${options} ${EXTRA} ${out} ${CORPORA}")
execute_process(
  COMMAND "${FUZZER}" ${options} ${EXTRA} "${out}" ${CORPORA}
  WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(GLOB kept "${found}/*")
  message(FATAL_ERROR "${FUZZER} failed (${rc}); inputs that failed: ${kept}")
endif()
