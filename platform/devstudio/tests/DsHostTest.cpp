// The dshost program end to end: it registers and connects the test add-in, runs its command
// over a project file, and saves what the command added.
#include "PlatformTestUtil.h"
#include "TestAddIn.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <memory>

namespace {

class DsHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::make_unique<platform_test::ScratchRegistry>();
    projectFile = dir->file("App.dsp");
    platform_test::writeText(projectFile,
                             "configuration App - Win32 Debug\n"
                             "setting cl.exe /W3\n");
  }
  platform_test::RunResult dshost(std::vector<std::string> args) {
    args.insert(args.begin(), KAVRIN_DSHOST);
    return platform_test::run(args, dir->path());
  }

  std::unique_ptr<platform_test::ScratchRegistry> dir;
  std::string projectFile;
};

TEST_F(DsHostTest, RunsTheAddInsCommandAndSavesTheProject) {
  const auto r =
      dshost({"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN, "--register", "--run", "TestCmd", "--print"});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  const std::string d = dir->path() + "/";
  const std::string expectedFile =
      "# dshost project file\n"
      "file " +
      d +
      "a_b_CJNIProxy.h\n"
      "file " +
      d +
      "a_b_CJNIProxy.cpp\n"
      "configuration App - Win32 Debug\n"
      "setting cl.exe /W3\n"
      "setting cl.exe " TEST_ADDIN_SETTING_CL
      "\n"
      "setting link.exe " TEST_ADDIN_SETTING_LINK "\n";
  EXPECT_EQ(platform_test::readText(projectFile), expectedFile);

  const std::string& out = r.out;
  for (const char* line :
       {"DllRegisterServer 0x00000000\n", "firstTime=true cookie=1\n", "AddCommand TestCmd method=AddOutputs glyph=0\n",
        "AddCommandBarButton TestCmd type=1\n", "EnableModeless false\n", "EnableModeless true\n",
        "Run TestCmd (AddOutputs) 0x00000000\n", "OnDisconnection\n", "DllCanUnloadNow 0x00000000\n",
        "command TestCmd AddOutputs\n", "command FailCmd FailHere\n", "button TestCmd\n"}) {
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

// A program started without waiting for it; killed, if it still runs, when the object goes.
struct Child {
  explicit Child(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      execv(args[0], args.data());
      _exit(127);
    }
  }
  ~Child() { kill(); }
  void kill() {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }
  bool running() { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }
  pid_t pid = -1;
};

// A session has the project to itself: a second one is refused while the first lasts, and a first
// session that was killed leaves no lock behind.
TEST_F(DsHostTest, ASecondSessionOnAnOpenProjectIsRefusedUntilTheFirstIsGone) {
  ASSERT_EQ(dshost({"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN, "--register"}).exitCode, 0);
  const std::string before = platform_test::readText(projectFile);
  const std::string hold = dir->file("hold");
  ASSERT_EQ(mkfifo(hold.c_str(), 0600), 0);
  std::unique_ptr<Child> first;
  {
    platform_test::ScopedEnv held("KAVRIN_TEST_ADDIN_HOLD", hold.c_str());
    first = std::make_unique<Child>(std::vector<std::string>{KAVRIN_DSHOST, "--project", projectFile, "--addin",
                                                             KAVRIN_TEST_ADDIN, "--run", "TestCmd"});
  }
  // The pipe opens for writing once the first session, inside its command, opened it for reading.
  int end = -1;
  for (int tries = 0; end < 0 && tries < 6000 && first->running(); ++tries) {
    end = open(hold.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (end < 0) usleep(10000);
  }
  ASSERT_GE(end, 0) << "the first session never reached its command";

  const auto second = dshost({"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN, "--run", "TestCmd"});
  EXPECT_EQ(second.exitCode, 2);
  EXPECT_NE(second.err.find("dshost: The project " + projectFile + " is open in another session (process " +
                            std::to_string(first->pid) + "): close it there first"),
            std::string::npos)
      << second.err;
  EXPECT_EQ(second.out.find("OnConnection"), std::string::npos) << "refused before the add-in is loaded";
  EXPECT_EQ(platform_test::readText(projectFile), before);

  first->kill();
  close(end);
  struct stat st {};
  EXPECT_EQ(stat((projectFile + ".lock").c_str(), &st), 0) << "the killed session's file stays, without its lock";
  const auto third = dshost({"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN, "--run", "TestCmd"});
  EXPECT_EQ(third.exitCode, 0) << third.err;
  EXPECT_NE(platform_test::readText(projectFile).find("a_b_CJNIProxy.cpp"), std::string::npos);
  EXPECT_NE(stat((projectFile + ".lock").c_str(), &st), 0) << "a session that ends removes its lock file";
}

TEST_F(DsHostTest, FailuresGiveTheirExitStatusAndReason) {
  const auto usage = dshost({"--project", projectFile});
  EXPECT_EQ(usage.exitCode, 1);
  EXPECT_NE(usage.err.find("usage"), std::string::npos);

  platform_test::writeText(dir->file("bad.dsp"), "setting cl.exe /W3\n");
  const auto badProject = dshost({"--project", dir->file("bad.dsp"), "--addin", KAVRIN_TEST_ADDIN});
  EXPECT_EQ(badProject.exitCode, 2);
  EXPECT_NE(badProject.err.find("bad.dsp:1: a setting before any configuration"), std::string::npos) << badProject.err;

  const auto unregistered = dshost({"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN});
  EXPECT_EQ(unregistered.exitCode, 3);
  EXPECT_NE(unregistered.err.find("register the add-in first"), std::string::npos) << unregistered.err;

  const auto failing = dshost(
      {"--project", projectFile, "--addin", KAVRIN_TEST_ADDIN, "--register", "--run", "FailCmd", "--run", "TestCmd"});
  EXPECT_EQ(failing.exitCode, 4);
  EXPECT_NE(failing.err.find(TEST_ADDIN_FAILURE), std::string::npos) << failing.err;
  EXPECT_EQ(failing.out.find("Run TestCmd"), std::string::npos) << "commands stop at a failure";

  platform_test::ScopedEnv decline("KAVRIN_TEST_ADDIN_DECLINE", "1");
  const auto declined = dshost({"--addin", KAVRIN_TEST_ADDIN, "--run", "TestCmd"});
  EXPECT_EQ(declined.exitCode, 3);
  EXPECT_NE(declined.err.find("not connected"), std::string::npos);
}

}  // namespace
