// Generated proxies at work: the programs built from them call Java and check what comes back,
// Java calls native skeletons of a test library, and clang compiles the generated sets without a
// warning. Every VM runs with -Xcheck:jni; a warning of the JNI checks fails the test.
#include "../ExportNames.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kavrin_test::CommandResult;

// Fails on any line that holds a warning of the VM, or a failed check of the program.
void expectCleanOutput(const CommandResult& r) {
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    EXPECT_EQ(line.find("WARNING"), std::string::npos) << "the VM warned: " << line;
    EXPECT_EQ(line.find("FAIL"), std::string::npos) << line;
  }
}

CommandResult runProgram(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/env",  "-u", "JAVA_TOOL_OPTIONS", "-u",
                                   "_JAVA_OPTIONS", "-u", "CLASSPATH",         program};
  argv.insert(argv.end(), args.begin(), args.end());
  return kavrin_test::runCommand(argv, 240);
}

class FixtureCalls : public ::testing::TestWithParam<std::string> {};

TEST_P(FixtureCalls, EveryResultIsWhatJavaComputes) {
  const CommandResult r = runProgram(FIXTURE_CALLS, {GetParam()});
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find(GetParam() + ": 0 failure(s)"), std::string::npos) << r.output;
  expectCleanOutput(r);
}

// members: fields of every type round-trip, strings and arrays in and out, access levels;
// overloads; constants as Java holds them; exceptions as JVMException; inheritance over two levels
// and interfaces; copies: copy construction and assignment between proxies; statics: 100,000
// static void calls and static field writes on an attached thread; mains: the main default
// argument; names: escaped and unique names, interface statics on the interface only.
INSTANTIATE_TEST_SUITE_P(Groups, FixtureCalls,
                         ::testing::Values("members", "overloads", "constants", "exceptions", "inheritance", "copies",
                                           "statics", "mains", "names"));

TEST(JdkProxies, IntegerStringBuilderArrayListHashMapAndStringWork) {
  const CommandResult r = runProgram(JDK_CALLS, {});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("jdk: 0 failure(s)"), std::string::npos) << r.output;
  expectCleanOutput(r);
}

TEST(JdkProxies, PrefixesAndSubstitutedPackageWork) {
  const CommandResult r = runProgram(PREFIXED_CALLS, {});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("prefixed: 0 failure(s)"), std::string::npos) << r.output;
  expectCleanOutput(r);
}

TEST(JdkProxies, ArrayListFromAJdkWithoutJmodsRunsOnThatJdksVm) {
  // The image registered as a development kit only, as its installer would; the registration
  // tool mirrors it as its own runtime, where the runtime library finds its VM.
  kavrin_test::TempDir dir("kavrin-image-e2e");
  const std::string registry = dir.file("registry.reg");
  const std::string image = kavrin_test::kJlinkImage;
  kavrin_test::writeFile(registry,
                         "Windows Registry Editor Version 5.00\n\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Development Kit]\n"
                         "\"CurrentVersion\"=\"17\"\n\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Development Kit\\17]\n"
                         "\"JavaHome\"=\"" +
                             image + "\"\n");
  kavrin_test::ScopedEnv registryFile("KAVRIN_REGISTRY", registry);
  const CommandResult tool = kavrin_test::runCommand({KAVRINREG_PROGRAM});
  ASSERT_EQ(tool.exitCode, 0) << tool.output;
  ASSERT_NE(kavrin_test::readFile(registry).find(image + "/lib/server/libjvm.so"), std::string::npos)
      << kavrin_test::readFile(registry);

  const CommandResult r = runProgram(IMAGE_CALLS, {});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("image: 0 failure(s)"), std::string::npos) << r.output;
  expectCleanOutput(r);
}

// The export names declared in a file, or in every file of a folder.
std::set<std::string> exportNamesIn(const std::string& folderOrFile) {
  std::set<std::string> names;
  std::vector<std::string> files;
  if (std::filesystem::is_directory(folderOrFile)) {
    for (const auto& entry : std::filesystem::directory_iterator(folderOrFile)) files.push_back(entry.path().string());
  } else {
    files.push_back(folderOrFile);
  }
  for (const std::string& file : files) {
    const std::set<std::string> declared = proxygen_test::exportNames(kavrin_test::readFile(file));
    names.insert(declared.begin(), declared.end());
  }
  return names;
}

TEST(NativeSkeletons, ExportNamesAreTheOnesJavacWrites) {
  const std::string headers = kavrin_test::kFixtureJniHeaders;
  std::set<std::string> expected;
  for (const char* header : {"fixtures_natives_NativeMethods.h", "fixtures_natives_NativeMethods_Inner.h",
                             "fixtures_natives_Supplementary.h"}) {
    const std::set<std::string> names = exportNamesIn(headers + "/" + header);
    expected.insert(names.begin(), names.end());
  }
  // A method whose name holds '$' is not collected, so it has no skeleton.
  ASSERT_EQ(expected.erase("Java_fixtures_natives_NativeMethods_dollar_00024sign"), 1u);
  const std::set<std::string> generated = exportNamesIn(std::string(GENERATED_DIR) + "/native-set");
  EXPECT_EQ(generated, expected);
  EXPECT_EQ(generated.size(), 13u);
}

TEST(NativeSkeletons, JavaReachesTheCppMembers) {
  const CommandResult r = kavrin_test::runJava(kavrin_test::kFixtureClasses,
                                               {"-Xcheck:jni", "fixtures.natives.NativeDriver", NATIVE_LIBRARY});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  std::map<std::string, std::string> results;
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t sep = line.find_first_of("=!");
    if (sep != std::string::npos) results[line.substr(0, sep)] = line.substr(sep);
  }
  EXPECT_EQ(results["add(2,3)"], "=5");
  EXPECT_EQ(results["add(4294967296,5)"], "=4294967301");
  // echo calls back into Java (plainMethod(0) gives the field base, 10) through its proxy.
  EXPECT_EQ(results["echo(hello)"], "=hello/10");
  EXPECT_EQ(results["under_score()"], "=void");
  EXPECT_EQ(results["größe(21)"], "=42");
  EXPECT_EQ(results["μέγεθος(abcd)"], "=4");
  EXPECT_EQ(results["count(int[3])"], "=3");
  EXPECT_EQ(results["count(String[2])"], "=20");
  EXPECT_EQ(results["reverse([1, 2, 3])"], "=[3, 2, 1]");
  EXPECT_EQ(results["describe"], "=true,-1,c,2,3,4,0.5,0.25,s,o");
  EXPECT_EQ(results["Inner.innerValue(5)"], "=15");
  EXPECT_EQ(results["value𝑥(7)"], "=107");
  // A JVMException thrown by the C++ member reaches Java as a RuntimeException with its text.
  EXPECT_EQ(results["raise(boom)"], "!java.lang.RuntimeException: raised from C++: boom");
  EXPECT_EQ(results["dollar$sign(41)"].rfind("!java.lang.UnsatisfiedLinkError", 0), 0u);
  EXPECT_EQ(r.output.find("WARNING"), std::string::npos) << r.output;
}

// clang++ compiles a generated set, with the program that uses it, without a single warning.
void expectClangCompiles(const std::string& set, const std::vector<std::string>& extraSources) {
  const std::string clang = CLANGXX;
  if (clang.empty()) GTEST_SKIP() << "clang++ not found";
  kavrin_test::TempDir objects("kavrin-clang");
  const std::string dir = std::string(GENERATED_DIR) + "/" + set;
  std::vector<std::string> sources;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".cpp") sources.push_back(entry.path().string());
  }
  ASSERT_FALSE(sources.empty());
  for (const std::string& s : extraSources) sources.push_back(std::string(E2E_SOURCE_DIR) + "/" + s);
  std::vector<std::string> argv = {clang,
                                   "-std=c++17",
                                   "-Wall",
                                   "-Werror",
                                   "-c",
                                   "-I" + dir,
                                   "-I" + std::string(E2E_SOURCE_DIR),
                                   "-I" + std::string(RUNTIME_INCLUDE_DIR),
                                   "-DE2E_CLASS_PATH=\"\"",
                                   "-DE2E_LIBJVM=\"\""};
  std::vector<std::string> includes;
  std::istringstream jni(JNI_INCLUDE_DIRS);
  for (std::string part; std::getline(jni, part, ':');) argv.push_back("-I" + part);
  argv.insert(argv.end(), sources.begin(), sources.end());
  const CommandResult r = kavrin_test::runCommand(argv, 400, objects.path());
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output, "");
}

TEST(ClangCompiles, FixtureSet) { expectClangCompiles("fixture-set", {"FixtureCalls.cpp"}); }

TEST(ClangCompiles, NativeSet) { expectClangCompiles("native-set", {"NativeImpl.cpp"}); }

TEST(ClangCompiles, JdkSet) { expectClangCompiles("jdk-set", {"JdkCalls.cpp"}); }

}  // namespace
