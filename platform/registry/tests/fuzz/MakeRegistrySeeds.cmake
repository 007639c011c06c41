# Writes the seed registry files of the registry fuzz target with the reg tool: the machine's
# JDK 17 registered as scripts/register-jdk.sh does, and a file with a value of every type the
# tool writes below every root. Run with cmake -P and -D REG=, OUT=, REGISTER_JDK=, JDK=.
include("${CMAKE_CURRENT_LIST_DIR}/../../../../cmake/ScriptArguments.cmake")
kavrin_require_defined(MakeRegistrySeeds REG OUT REGISTER_JDK JDK)
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
set(ENV{ASAN_OPTIONS} "detect_leaks=0")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}): ${err}")
  endif()
endfunction()

set(ENV{KAVRIN_REGISTRY} "${OUT}/jdk.reg")
set(ENV{KAVRIN_REG_TOOL} "${REG}")
run(bash "${REGISTER_JDK}" "${JDK}")

set(ENV{KAVRIN_REGISTRY} "${OUT}/types.reg")
set(key "HKLM\\SOFTWARE\\QUENMAR\\KAVRIN")
string(REPEAT "0123456789abcdef" 8 blob)
run("${REG}" add "${key}" /v Version /d 1.0)
run("${REG}" add "${key}" /ve /d "default value")
run("${REG}" add "${key}" /v Count /t REG_DWORD /d 42)
run("${REG}" add "${key}" /v Blob /t REG_BINARY /d "${blob}")
run("${REG}" add "${key}" /v Path /t REG_EXPAND_SZ /d "%JAVA_HOME%/bin")
run("${REG}" add "${key}\\Odd \"name\"" /v "say \"hi\" \\ back" /d "a \"quoted\" \\ text é")
run("${REG}" add "HKCU\\Environment" /v JAVA_HOME /d "${JDK}")
run("${REG}" add "HKCR\\CLSID\\{00000000-0000-0000-C000-000000000046}\\InprocServer32" /ve /d "/opt/kavrin/lib/libKAVRINGEN.so")
