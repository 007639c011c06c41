# Builds <OUT>/lib/rt.jar from the java/lang, java/util and java/io classes of JDK 17's
# java.base.jmod. Run with cmake -P and -D JMOD=, OUT=, WORK=, UNZIP=, JAR=.
include("${CMAKE_CURRENT_LIST_DIR}/../cmake/ScriptArguments.cmake")
kavrin_require_defined(MakeFakeJre JMOD OUT WORK UNZIP JAR)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# A jmod starts with a 4-byte prefix ("JM\1\0"); unzip warns about it and exits 1.
execute_process(
  COMMAND "${UNZIP}" -q -o "${JMOD}" "classes/java/lang/*" "classes/java/util/*" "classes/java/io/*" -d "${WORK}"
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
if(NOT rc EQUAL 0 AND NOT rc EQUAL 1)
  message(FATAL_ERROR "unzip of ${JMOD} failed (exit ${rc}): ${out}${err}")
endif()
foreach(probe java/lang/Object.class java/util/ArrayList.class java/io/File.class)
  if(NOT EXISTS "${WORK}/classes/${probe}")
    message(FATAL_ERROR "${JMOD} did not yield ${probe}")
  endif()
endforeach()

file(MAKE_DIRECTORY "${OUT}/lib")
set(tmp "${OUT}/lib/rt.jar.tmp")
file(REMOVE "${tmp}")
execute_process(
  COMMAND "${JAR}" cf "${tmp}" -C "${WORK}/classes" java
  RESULT_VARIABLE rc
  ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  file(REMOVE "${tmp}")
  message(FATAL_ERROR "jar of the fake rt.jar failed (exit ${rc}): ${err}")
endif()
file(RENAME "${tmp}" "${OUT}/lib/rt.jar")
file(REMOVE_RECURSE "${WORK}")
