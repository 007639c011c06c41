# Extracts classes of a jmod (or jar) into <OUT> in their package folders (java/lang/Object.class),
# leaving out the jmod's "classes/" folder. Run with cmake -P and -D ARCHIVE=, OUT=, UNZIP=, and
# CLASSES= a ';'-separated list of '/'-separated class names.
include("${CMAKE_CURRENT_LIST_DIR}/../cmake/ScriptArguments.cmake")
kavrin_require_defined(ExtractClasses ARCHIVE OUT UNZIP CLASSES)

set(work "${OUT}.work")
file(REMOVE_RECURSE "${work}" "${OUT}")
file(MAKE_DIRECTORY "${work}")
set(entries)
foreach(c ${CLASSES})
  list(APPEND entries "${c}.class" "classes/${c}.class")
endforeach()
# A jmod starts with a 4-byte prefix ("JM\1\0"); unzip warns about it and exits 1, and with 11
# for names that it does not hold (each class is asked for with and without "classes/").
execute_process(
  COMMAND "${UNZIP}" -q -o "${ARCHIVE}" ${entries} -d "${work}"
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
if(NOT rc EQUAL 0 AND NOT rc EQUAL 1 AND NOT rc EQUAL 11)
  message(FATAL_ERROR "unzip of ${ARCHIVE} failed (exit ${rc}): ${out}${err}")
endif()
if(IS_DIRECTORY "${work}/classes")
  file(RENAME "${work}/classes" "${OUT}")
  file(REMOVE_RECURSE "${work}")
else()
  file(RENAME "${work}" "${OUT}")
endif()
foreach(c ${CLASSES})
  if(NOT EXISTS "${OUT}/${c}.class")
    message(FATAL_ERROR "${ARCHIVE} did not yield ${c}.class")
  endif()
endforeach()
