// A class whose names hold line breaks, quotes, backslashes, a trigraph and non-ASCII letters,
// which the VM loads and verifies: its proxy is generated, built into HostileCalls.cpp with g++
// and run under -Xcheck:jni; every member is reached and the VM does not warn.
#include "../HostileClasses.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(HostileNames, ProxyCallsReachEveryMember) {
  kavrin_test::TempDir dir("kavrin-hostile-calls");
  const std::string classes = dir.file("classes");
  const std::string generated = dir.file("generated");
  const hostile::ClassFileMaker maker = hostile::loadableHostileClass();
  hostile::writeClass(classes, maker);
  std::string dotted = maker.name();
  std::replace(dotted.begin(), dotted.end(), '/', '.');

  const kavrin_test::CommandResult generation =
      kavrin_test::runCommand({PROXY_DRIVER, "-o", generated, "--jdk", kavrin_test::kJdkHome, "-m", classes, dotted});
  ASSERT_EQ(generation.exitCode, 0) << generation.output;

  std::vector<std::string> argv = {"g++",
                                   "-std=c++17",
                                   "-Wall",
                                   "-Werror",
                                   "-o",
                                   dir.file("calls"),
                                   "-I" + generated,
                                   "-I" + std::string(E2E_SOURCE_DIR),
                                   "-I" + std::string(RUNTIME_INCLUDE_DIR),
                                   "-DE2E_LIBJVM=\"" + std::string(kavrin_test::kLibJvm) + "\""};
  std::istringstream jni(JNI_INCLUDE_DIRS);
  for (std::string part; std::getline(jni, part, ':');) argv.push_back("-I" + part);
  argv.push_back(std::string(E2E_SOURCE_DIR) + "/HostileCalls.cpp");
  for (const auto& entry : std::filesystem::directory_iterator(generated)) {
    if (entry.path().extension() == ".cpp") argv.push_back(entry.path().string());
  }
  const std::string runtime = KAVRINLIB_FILE;
  argv.insert(argv.end(),
              {runtime, "-Wl,-rpath," + std::filesystem::path(runtime).parent_path().string(), "-lpthread", "-ldl"});
  const kavrin_test::CommandResult build = kavrin_test::runCommand(argv, 300);
  ASSERT_EQ(build.exitCode, 0) << build.output;

  const kavrin_test::CommandResult run = kavrin_test::runCommand(
      {"/usr/bin/env", "-u", "JAVA_TOOL_OPTIONS", "-u", "_JAVA_OPTIONS", "-u", "CLASSPATH", dir.file("calls"), classes},
      120);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("hostile: 0 failure(s)"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("WARNING"), std::string::npos) << run.output;
}

}  // namespace
