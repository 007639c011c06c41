// The dshost program end to end: it registers and connects the test add-in, runs its command
// over a project file, and saves what the command added.
#include "PlatformTestUtil.h"
#include "TestAddIn.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class DsHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::make_unique<platform_test::TempDir>();
    registry = std::make_unique<platform_test::ScopedEnv>("KAVRIN_REGISTRY",
                                                          dir->file("registry.reg").c_str());
    projectFile = dir->file("App.dsp");
    platform_test::writeText(projectFile,
                             "configuration App - Win32 Debug\n"
                             "setting cl.exe /W3\n");
  }
  platform_test::RunResult dshost(std::vector<std::string> args) {
    args.insert(args.begin(), KAVRIN_DSHOST);
    return platform_test::run(args, dir->path());
  }

  std::unique_ptr<platform_test::TempDir> dir;
  std::unique_ptr<platform_test::ScopedEnv> registry;
  std::string projectFile;
};

TEST_F(DsHostTest, RunsTheAddInsCommandAndSavesTheProject) {
  const auto r = dshost({"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN, "--register",
                         "--run", "TestCmd", "--print"});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  const std::string d = dir->path() + "/";
  const std::string expectedFile =
      "# dshost project file\n"
      "file " + d + "a_b_CJNIProxy.h\n"
      "file " + d + "a_b_CJNIProxy.cpp\n"
      "configuration App - Win32 Debug\n"
      "setting cl.exe /W3\n"
      "setting cl.exe " TEST_ADDIN_SETTING_CL "\n"
      "setting link.exe " TEST_ADDIN_SETTING_LINK "\n";
  EXPECT_EQ(platform_test::readText(projectFile), expectedFile);

  const std::string& out = r.out;
  for (const char* line : {"DllRegisterServer 0x00000000\n", "firstTime=true cookie=1\n",
                           "AddCommand TestCmd method=AddOutputs glyph=0\n",
                           "AddCommandBarButton TestCmd type=1\n", "EnableModeless false\n",
                           "EnableModeless true\n", "Run TestCmd (AddOutputs) 0x00000000\n",
                           "OnDisconnection\n", "DllCanUnloadNow 0x00000000\n",
                           "command TestCmd AddOutputs\n", "command FailCmd FailHere\n",
                           "button TestCmd\n"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n--- in ---\n" << out;
  }
  EXPECT_NE(out.find(expectedFile), std::string::npos) << "--print shows the project";
  EXPECT_LT(out.find("EnableModeless false"), out.find("AddFile"));
  EXPECT_LT(out.find("AddToolSettings"), out.find("EnableModeless true"));

  // A second session: registered already, not the first connection, no second button.
  const auto again = dshost({"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_NE(again.out.find("firstTime=false"), std::string::npos);
  EXPECT_EQ(again.out.find("AddCommandBarButton"), std::string::npos);
  EXPECT_EQ(platform_test::readText(projectFile), expectedFile) << "nothing changed, nothing saved";
}

TEST_F(DsHostTest, FailuresGiveTheirExitStatusAndReason) {
  const auto usage = dshost({"--project", projectFile});
  EXPECT_EQ(usage.exitCode, 1);
  EXPECT_NE(usage.err.find("usage"), std::string::npos);

  platform_test::writeText(dir->file("bad.dsp"), "setting cl.exe /W3\n");
  const auto badProject = dshost({"--project", dir->file("bad.dsp"), "--addin", KAVRIN_TEST_ADDIN});
  EXPECT_EQ(badProject.exitCode, 2);
  EXPECT_NE(badProject.err.find("bad.dsp:1: a setting before any configuration"), std::string::npos)
      << badProject.err;

  const auto unregistered = dshost({"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN});
  EXPECT_EQ(unregistered.exitCode, 3);
  EXPECT_NE(unregistered.err.find("register the add-in first"), std::string::npos)
      << unregistered.err;

  const auto failing = dshost({"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN,
                               "--register", "--run", "FailCmd", "--run", "TestCmd"});
  EXPECT_EQ(failing.exitCode, 4);
  EXPECT_NE(failing.err.find(TEST_ADDIN_FAILURE), std::string::npos) << failing.err;
  EXPECT_EQ(failing.out.find("Run TestCmd"), std::string::npos) << "commands stop at a failure";

  platform_test::ScopedEnv decline("KAVRIN_TEST_ADDIN_DECLINE", "1");
  const auto declined = dshost({"--addin", KAVRIN_TEST_ADDIN, "--run", "TestCmd"});
  EXPECT_EQ(declined.exitCode, 3);
  EXPECT_NE(declined.err.find("not connected"), std::string::npos);
}

}  // namespace
