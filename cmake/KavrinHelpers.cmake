# Shared build helpers: the JDK, the ANTLR 2 tool and runtime, GoogleTest registration.

# --- JDK 17 ---------------------------------------------------------------
set(KAVRIN_JAVA  "${KAVRIN_JDK_HOME}/bin/java")
set(KAVRIN_JAVAC "${KAVRIN_JDK_HOME}/bin/javac")
set(KAVRIN_JAR   "${KAVRIN_JDK_HOME}/bin/jar")
set(KAVRIN_JAVAP "${KAVRIN_JDK_HOME}/bin/javap")
foreach(tool KAVRIN_JAVA KAVRIN_JAVAC KAVRIN_JAR KAVRIN_JAVAP)
  if(NOT EXISTS "${${tool}}")
    message(FATAL_ERROR "JDK tool ${${tool}} not found; set KAVRIN_JDK_HOME to a JDK 17 home")
  endif()
endforeach()
set(KAVRIN_JNI_INCLUDE_DIRS "${KAVRIN_JDK_HOME}/include" "${KAVRIN_JDK_HOME}/include/linux")
set(KAVRIN_LIBJVM "${KAVRIN_JDK_HOME}/lib/server/libjvm.so")

# --- ANTLR 2.7.7 ----------------------------------------------------------
find_file(KAVRIN_ANTLR_JAR antlr.jar PATHS /usr/share/java NO_DEFAULT_PATH)
find_path(KAVRIN_ANTLR_INCLUDE_DIR antlr/AST.hpp PATHS /usr/include)
find_library(KAVRIN_ANTLR_PIC_LIB NAMES libantlr-pic.a PATHS /usr/lib /usr/lib/x86_64-linux-gnu)
if(NOT KAVRIN_ANTLR_JAR OR NOT KAVRIN_ANTLR_INCLUDE_DIR OR NOT KAVRIN_ANTLR_PIC_LIB)
  message(FATAL_ERROR "ANTLR 2 tool or runtime missing: run scripts/setup.sh")
endif()
if(NOT TARGET kavrin_antlr)
  add_library(kavrin_antlr INTERFACE)
  target_include_directories(kavrin_antlr SYSTEM INTERFACE "${KAVRIN_ANTLR_INCLUDE_DIR}")
  target_link_libraries(kavrin_antlr INTERFACE "${KAVRIN_ANTLR_PIC_LIB}")
endif()

# kavrin_antlr_grammar(<out-var> GRAMMAR <file.g> OUTPUTS <generated file names...>
#                      [VOCAB <vocabulary files...>] [DEPENDS <files...>]
#                      [STATIC_AST_FACTORY <generated parser header>] [OUTDIR <folder name>])
# Runs the ANTLR 2 tool on GRAMMAR into ${CMAKE_CURRENT_BINARY_DIR}/<OUTDIR> (default antlr).
# Vocabulary files are copied next to the output first, where the tool looks for imported
# vocabularies.
# The generated .cpp files are appended to <out-var>.
# STATIC_AST_FACTORY: the tool declares a parser's initializeASTFactory as a member function
# although it uses nothing of the parser (a tree parser's is static); the declaration in that
# header is made static, so that the node classes are registered without making a parser.
function(kavrin_antlr_grammar out_var)
  cmake_parse_arguments(G "" "GRAMMAR;STATIC_AST_FACTORY;OUTDIR" "OUTPUTS;VOCAB;DEPENDS" ${ARGN})
  if(NOT G_OUTDIR)
    set(G_OUTDIR antlr)
  endif()
  set(outdir "${CMAKE_CURRENT_BINARY_DIR}/${G_OUTDIR}")
  # The tool runs in the output directory, which must exist before the command starts.
  file(MAKE_DIRECTORY "${outdir}")
  get_filename_component(grammar "${G_GRAMMAR}" ABSOLUTE)
  set(outputs)
  set(sources)
  foreach(o ${G_OUTPUTS})
    list(APPEND outputs "${outdir}/${o}")
    if(o MATCHES "\\.cpp$")
      list(APPEND sources "${outdir}/${o}")
    endif()
  endforeach()
  set(copy_cmds)
  set(vocab_abs)
  foreach(v ${G_VOCAB})
    get_filename_component(va "${v}" ABSOLUTE)
    list(APPEND vocab_abs "${va}")
    list(APPEND copy_cmds COMMAND ${CMAKE_COMMAND} -E copy_if_different "${va}" "${outdir}/")
  endforeach()
  set(static_cmds)
  set(static_deps)
  if(G_STATIC_AST_FACTORY)
    set(static_script "${PROJECT_SOURCE_DIR}/cmake/StaticAstFactory.cmake")
    set(static_cmds COMMAND ${CMAKE_COMMAND} "-DHEADER=${outdir}/${G_STATIC_AST_FACTORY}" -P "${static_script}")
    set(static_deps "${static_script}")
  endif()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory "${outdir}"
    ${copy_cmds}
    COMMAND "${KAVRIN_JAVA}" -cp "${KAVRIN_ANTLR_JAR}" antlr.Tool -o "${outdir}" "${grammar}"
    ${static_cmds}
    WORKING_DIRECTORY "${outdir}"
    DEPENDS "${grammar}" ${vocab_abs} ${G_DEPENDS} ${static_deps}
    COMMENT "ANTLR ${G_GRAMMAR}"
    VERBATIM)
  # The tool's code: what it is known to warn about is silenced, and no warning of it fails a
  # build with KAVRIN_WERROR. g++ 12 takes antlr's reference counting in the generated rules for
  # a use after free.
  set_source_files_properties(${sources} PROPERTIES COMPILE_OPTIONS
    "-Wno-unused-but-set-variable;-Wno-unused-parameter;-Wno-error;$<$<CXX_COMPILER_ID:GNU>:-Wno-use-after-free>")
  set(${out_var} ${${out_var}} ${sources} PARENT_SCOPE)
endfunction()

# --- Tests ----------------------------------------------------------------
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
if(KAVRIN_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
include(GoogleTest)

# kavrin_add_gtest(<name> SOURCES <files...> [LIBS <libs...>] LABELS <labels...>
#                  [JVM] [TIMEOUT <seconds>] [ENVIRONMENT <VAR=value...>]
#                  [PROGRAMS <MACRO> <target> [<MACRO> <target>...]])
# Builds one GoogleTest program and registers each of its tests with ctest.
# JVM: the tests start a Java VM. Each test case then runs in a process of its own (a process
# can host one VM), gets the label "jvm", and is left out of sanitizer runs.
# PROGRAMS: programs and libraries of the build that the tests run; each is built before the
# tests and named to them by the macro MACRO, the quoted path of its file.
function(kavrin_add_gtest name)
  cmake_parse_arguments(T "JVM" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT;PROGRAMS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(programs ${T_PROGRAMS})
  while(programs)
    list(POP_FRONT programs macro program)
    target_compile_definitions(${name} PRIVATE "${macro}=\"$<TARGET_FILE:${program}>\"")
    add_dependencies(${name} ${program})
  endwhile()
  # The fuzzing tree runs its fuzz targets only (the program stays defined for the folder's
  # further settings of it).
  if(KAVRIN_FUZZ)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(labels ${T_LABELS})
  # No test meets a person's display: those that want one start their own.
  set(env "JAVA_TOOL_OPTIONS=" "_JAVA_OPTIONS=" "DISPLAY=" ${T_ENVIRONMENT})
  if(T_JVM)
    list(APPEND labels jvm)
  endif()
  if(KAVRIN_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=0:handle_segv=0:allow_user_segv_handler=1"
                    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  # List-valued properties do not survive gtest_discover_tests' PROPERTIES, so they are set
  # by a script that ctest runs after discovery.
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    TEST_PREFIX "${name}."
    TEST_LIST ${name}_TESTS)
  set(props "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
  file(WRITE "${props}"
    "if(DEFINED ${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${labels}\" TIMEOUT ${T_TIMEOUT} ENVIRONMENT \"${env}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${props}")
endfunction()

# kavrin_add_benchmark(<name> SOURCES <files...> [LIBS <libs...>])
function(kavrin_add_benchmark name)
  if(NOT KAVRIN_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
  set_property(GLOBAL APPEND PROPERTY KAVRIN_BENCHMARK_TARGETS ${name})
endfunction()

# --- Java ----------------------------------------------------------------------
# kavrin_java_classes(<target> OUTDIR <dir> SOURCES <.java files...>
#                     [JAR <jar path>] [JAVAC_OPTIONS <options...>] [CLASSPATH <path>] [DEPENDS <targets/files>])
# Compiles Java sources with JDK 17's javac --release 8 into OUTDIR (cleaned first) and,
# when JAR is given, packs OUTDIR into that jar. <target> is a custom target that later
# targets can depend on.
function(kavrin_java_classes target)
  cmake_parse_arguments(J "" "OUTDIR;JAR;CLASSPATH" "SOURCES;JAVAC_OPTIONS;DEPENDS" ${ARGN})
  set(srcs)
  foreach(s ${J_SOURCES})
    get_filename_component(sa "${s}" ABSOLUTE)
    list(APPEND srcs "${sa}")
  endforeach()
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp")
  set(cp_args)
  if(J_CLASSPATH)
    set(cp_args -cp "${J_CLASSPATH}")
  endif()
  set(jar_cmd)
  set(outputs "${stamp}")
  if(J_JAR)
    set(jar_cmd COMMAND "${KAVRIN_JAR}" cf "${J_JAR}" -C "${J_OUTDIR}" .)
    list(APPEND outputs "${J_JAR}")
  endif()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E rm -rf "${J_OUTDIR}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${J_OUTDIR}"
    COMMAND "${KAVRIN_JAVAC}" --release 8 -encoding UTF-8 -nowarn ${J_JAVAC_OPTIONS} ${cp_args} -d "${J_OUTDIR}" ${srcs}
    ${jar_cmd}
    COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
    DEPENDS ${srcs} ${J_DEPENDS}
    COMMENT "javac ${target}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()

# kavrin_add_test_command(<name> COMMAND <command...> LABELS <labels...> [JVM] [TIMEOUT <s>])
# Registers a test that is a command line rather than a GoogleTest program.
function(kavrin_add_test_command name)
  cmake_parse_arguments(T "JVM" "TIMEOUT;WORKING_DIRECTORY" "COMMAND;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(NOT T_WORKING_DIRECTORY)
    set(T_WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  if(KAVRIN_FUZZ)
    return()
  endif()
  set(labels ${T_LABELS})
  if(T_JVM)
    list(APPEND labels jvm)
  endif()
  add_test(NAME ${name} COMMAND ${T_COMMAND} WORKING_DIRECTORY "${T_WORKING_DIRECTORY}")
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "JAVA_TOOL_OPTIONS=;_JAVA_OPTIONS=;DISPLAY=;${T_ENVIRONMENT}")
endfunction()

# kavrin_test_compilers(<variable>)
# Sets <variable> to the compilers that tests compile sources alone with: the project's C++
# compiler and clang++ (KAVRIN_CLANGXX), when there is one.
function(kavrin_test_compilers variable)
  find_program(KAVRIN_CLANGXX NAMES clang++-14 clang++)
  set(compilers "${CMAKE_CXX_COMPILER}")
  if(KAVRIN_CLANGXX)
    list(APPEND compilers "${KAVRIN_CLANGXX}")
  endif()
  set(${variable} "${compilers}" PARENT_SCOPE)
endfunction()

# --- Deliverable KAVRINGEN ------------------------------------------------------
# kavrin_gen_component(<static library target>)
# Marks a static library of the generator, which goes into the shared library KAVRINGEN (put
# together at the end of the top-level CMakeLists.txt): it is compiled with hidden visibility, as
# KAVRINGEN exports its entry points only. (Programs that link it, tests among them, are not
# concerned: an executable exports nothing.)
function(kavrin_gen_component target)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# kavrin_add_tests()
# Adds the calling folder's tests/ folder; in the fuzzing tree (KAVRIN_FUZZ) only its tests/fuzz/
# folder, when it has one.
function(kavrin_add_tests)
  if(NOT KAVRIN_FUZZ)
    add_subdirectory(tests)
  elseif(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/tests/fuzz/CMakeLists.txt")
    add_subdirectory(tests/fuzz)
  endif()
endfunction()

# --- Fuzz targets ---------------------------------------------------------------------------------
# kavrin_add_fuzz_target(<name> SOURCES <files...> [LIBS <libs...>] LABELS <labels...>
#                        [SEEDS <files or folders...>] [SEED_DEPENDS <targets or files...>]
#                        [DICT <file>] [RUNS <n>] [SECONDS <s>])
# A libFuzzer program over LLVMFuzzerTestOneInput in SOURCES, built in the fuzzing tree only
# (KAVRIN_FUZZ, clang), in a tests/fuzz folder: it sees the headers of the tests/ folder above. Its corpus:
#   - ${CMAKE_CURRENT_BINARY_DIR}/<name>.seeds, made at build time from the SEEDS (files are
#     copied, folders copied whole; SEED_DEPENDS are what makes them);
#   - ${CMAKE_CURRENT_SOURCE_DIR}/<name>/, when it exists: small inputs that once failed, kept.
# The test "<name>" (labels "fuzz" and LABELS) replays the whole corpus, then tries RUNS new
# inputs (default 20000) from a fixed seed, for at most SECONDS (default 10). scripts/fuzz.sh runs
# the target for longer through the file ${CMAKE_BINARY_DIR}/fuzz/<name>.cmake.
function(kavrin_add_fuzz_target name)
  if(NOT KAVRIN_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "DICT;RUNS;SECONDS" "SOURCES;LIBS;LABELS;SEEDS;SEED_DEPENDS" ${ARGN})
  if(NOT F_RUNS)
    set(F_RUNS 20000)
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 10)
  endif()
  add_executable(${name} ${F_SOURCES})
  # The helpers of the folder's own tests, one level up.
  target_include_directories(${name} PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}/..")
  target_link_libraries(${name} PRIVATE ${F_LIBS} Threads::Threads)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)

  set(seeds "${CMAKE_CURRENT_BINARY_DIR}/${name}.seeds")
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${name}.seeds.stamp")
  set(copy_cmds)
  set(seed_files)
  foreach(s ${F_SEEDS})
    get_filename_component(sa "${s}" ABSOLUTE)
    list(APPEND seed_files "${sa}")
    list(APPEND copy_cmds COMMAND "${CMAKE_COMMAND}" "-DFROM=${sa}" "-DTO=${seeds}" -P "${KAVRIN_FUZZ_SEED_SCRIPT}")
  endforeach()
  add_custom_command(
    OUTPUT "${stamp}"
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${seeds}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${seeds}"
    ${copy_cmds}
    COMMAND "${CMAKE_COMMAND}" -E touch "${stamp}"
    DEPENDS ${F_SEED_DEPENDS} "${KAVRIN_FUZZ_SEED_SCRIPT}"
    COMMENT "Seed corpus of ${name}"
    VERBATIM)
  add_custom_target(${name}_seeds DEPENDS "${stamp}")
  foreach(d ${F_SEED_DEPENDS})
    if(TARGET ${d})
      add_dependencies(${name}_seeds ${d})
    endif()
  endforeach()
  add_dependencies(${name} ${name}_seeds)
  set_property(GLOBAL APPEND PROPERTY KAVRIN_FUZZ_TARGETS ${name})

  set(corpora "${seeds}")
  set(kept "${CMAKE_CURRENT_SOURCE_DIR}/${name}")
  if(IS_DIRECTORY "${kept}")
    list(APPEND corpora "${kept}")
  endif()
  set(dict "")
  if(F_DICT)
    get_filename_component(dict "${F_DICT}" ABSOLUTE)
  endif()
  set(config "${CMAKE_BINARY_DIR}/fuzz/${name}.cmake")
  file(GENERATE OUTPUT "${config}" CONTENT
"set(FUZZER \"$<TARGET_FILE:${name}>\")
set(WORK \"${CMAKE_BINARY_DIR}/fuzz/${name}\")
set(CORPORA \"${corpora}\")
set(DICT \"${dict}\")
set(RUNS ${F_RUNS})
set(SECONDS ${F_SECONDS})
")
  add_test(NAME ${name}
    COMMAND "${CMAKE_COMMAND}" "-DCONFIG=${config}" -DMODE=test -P "${KAVRIN_FUZZ_RUN_SCRIPT}")
  # Generous: the replay of the corpus under the sanitizers comes on top of the fuzzing time.
  math(EXPR timeout "${F_SECONDS} * 6 + 60")
  set_tests_properties(${name} PROPERTIES LABELS "fuzz;${F_LABELS}" TIMEOUT ${timeout}
    ENVIRONMENT "JAVA_TOOL_OPTIONS=;_JAVA_OPTIONS=")
endfunction()
set(KAVRIN_FUZZ_SEED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/FuzzSeedCopy.cmake")
set(KAVRIN_FUZZ_RUN_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/RunFuzzTarget.cmake")
