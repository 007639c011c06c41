// Shared by the tests of the user's road: the installed package in a folder of the test's own,
// a registry file, the sample project as the user keeps it, and dshost run from that package.
#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace roadtest {

using kavrin_test::CommandResult;
using kavrin_test::readFile;
using kavrin_test::writeFile;

constexpr int kTimeout = 600;

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class UserRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::make_unique<kavrin_test::TempDir>("kavrin-road");
    install = dir->file("kavrin");
    project = dir->file("Sample");
    const CommandResult installed =
        kavrin_test::runCommand({KAVRIN_CMAKE, "--install", kavrin_test::kBinaryDir, "--prefix", install}, kTimeout);
    ASSERT_EQ(installed.exitCode, 0) << installed.output;
    setEnv("KAVRIN_REGISTRY", dir->file("registry.reg"));
    setEnv("KAVRINVC6", install);
    setEnv("SAMPLE_JAR", std::string(kavrin_test::kFixtureJar));
    for (const char* name : {"JAVA_HOME", "CLASSPATH", "KAVRIN_JOURNAL"}) setEnv(name, std::nullopt);
    // The sample project, as the user keeps it.
    for (const char* file : {"Sample.dsp", "main.cpp", "stdafx.h"}) {
      writeFile(project + "/" + file, readFile(sample(file)));
    }
  }

  void setEnv(const std::string& name, const std::optional<std::string>& value) {
    env.push_back(std::make_unique<kavrin_test::ScopedEnv>(name, value));
  }
  static std::string sample(const std::string& file) {
    return std::string(kavrin_test::kSourceDir) + "/testing/sample/" + file;
  }
  std::string bin(const std::string& program) const { return install + "/bin/" + program; }
  std::string addin() const { return install + "/lib/libKAVRINGEN.so"; }
  std::string dsp() const { return project + "/Sample.dsp"; }

  void registerJdk() {
    kavrin_test::ScopedEnv tool("KAVRIN_REG_TOOL", bin("reg"));
    const CommandResult r = kavrin_test::runCommand(
        {"/bin/bash", std::string(kavrin_test::kSourceDir) + "/scripts/register-jdk.sh", kavrin_test::kJdkHome});
    ASSERT_EQ(r.exitCode, 0) << r.output;
  }
  CommandResult dshost(std::vector<std::string> args) {
    args.insert(args.begin(), bin("dshost"));
    return kavrin_test::runCommand(args, kTimeout, project);
  }
  CommandResult session(const std::string& script) {
    return dshost(
        {"--project", dsp(), "--addin", addin(), "--register", "--script", script, "--run", "StartKAVRINWizard"});
  }

  std::unique_ptr<kavrin_test::TempDir> dir;
  std::string install;
  std::string project;
  std::vector<std::unique_ptr<kavrin_test::ScopedEnv>> env;
};

}  // namespace roadtest
