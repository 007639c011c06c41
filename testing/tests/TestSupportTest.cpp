// The shared C++ test helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace kavrin_test;

TEST(TempDir, IsFreshAndRemovedWithItsContents) {
  std::string path;
  {
    TempDir a("kavrin-test");
    TempDir b("kavrin-test");
    path = a.path();
    EXPECT_NE(a.path(), b.path());
    EXPECT_EQ(0u, path.rfind("/tmp/kavrin-test-", 0)) << path;
    ASSERT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
    writeFile(a.file("deep/er/file.txt"), std::string("x"));
    fs::create_symlink("/tmp", a.file("link"));  // removal must not follow it
    EXPECT_TRUE(fs::exists(a.file("deep/er/file.txt")));
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(fs::is_directory("/tmp"));
}

TEST(TempDir, MovedFromObjectDoesNotRemoveTheFolder) {
  std::optional<TempDir> source(std::in_place);
  TempDir target(std::move(*source));
  source.reset();
  EXPECT_TRUE(fs::is_directory(target.path()));
}

TEST(Files, RoundTripBytesAndText) {
  TempDir dir;
  const std::vector<std::uint8_t> bytes = {0x00, 0xFF, 0x0A, 0x0D, 0x80, 0x7F, 0x00};
  writeFile(dir.file("sub/bytes.bin"), bytes);
  EXPECT_EQ(bytes, readFileBytes(dir.file("sub/bytes.bin")));
  EXPECT_EQ(std::string("\0\xFF\n\r\x80\x7F\0", 7), readFile(dir.file("sub/bytes.bin")));

  writeFile(dir.file("text.txt"), std::string("first, longer text"));
  writeFile(dir.file("text.txt"), std::string("second"));  // replaces, not appends
  EXPECT_EQ("second", readFile(dir.file("text.txt")));
  writeFile(dir.file("empty"), std::string());
  EXPECT_EQ("", readFile(dir.file("empty")));

  EXPECT_THROW(readFile(dir.file("missing")), std::runtime_error);
  EXPECT_THROW(readFileBytes(dir.file("missing")), std::runtime_error);
  // A path under a regular file cannot be written.
  EXPECT_ANY_THROW(writeFile(dir.file("text.txt/below"), std::string("x")));
}

TEST(RunCommand, ReportsExitStatusAndBothStreams) {
  CommandResult ok = runCommand({"/bin/sh", "-c", "echo out; echo err 1>&2"});
  EXPECT_EQ(0, ok.exitCode);
  EXPECT_FALSE(ok.timedOut);
  EXPECT_NE(std::string::npos, ok.output.find("out\n"));
  EXPECT_NE(std::string::npos, ok.output.find("err\n"));

  EXPECT_EQ(3, runShell("exit 3").exitCode);
  EXPECT_EQ(1, runCommand({"false"}).exitCode);  // found on PATH
  EXPECT_EQ(128 + 15, runShell("kill -TERM $$").exitCode);

  CommandResult missing = runCommand({"/nonexistent/program"});
  EXPECT_EQ(127, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.output.find("cannot execute"));

  // Arguments pass unchanged, spaces and quotes included; stdin is empty.
  CommandResult args = runCommand({"/bin/sh", "-c", "printf '%s|' \"$@\"; cat", "sh", "a b", "'q'", ""});
  EXPECT_EQ("a b|'q'||", args.output);

  TempDir dir;
  EXPECT_EQ(dir.path() + "\n", runCommand({"pwd"}, 30, dir.path()).output);
  EXPECT_EQ(127, runCommand({"pwd"}, 30, dir.file("missing")).exitCode);
}

TEST(RunCommand, CollectsLargeOutput) {
  CommandResult r = runShell("head -c 3000000 /dev/zero | tr '\\0' x");
  ASSERT_EQ(0, r.exitCode);
  EXPECT_EQ(std::string(3000000, 'x'), r.output);
}

TEST(RunCommand, KillsTheProcessGroupAfterTheTimeout) {
  TempDir dir;
  const auto start = std::chrono::steady_clock::now();
  // The grandchild would touch the file after 3 s unless the whole group is killed.
  CommandResult r = runShell("(sleep 3; touch '" + dir.file("late") + "') & echo started; sleep 30", 1);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(128 + 9, r.exitCode);
  EXPECT_EQ("started\n", r.output);
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  runCommand({"sleep", "4"});
  EXPECT_FALSE(fs::exists(dir.file("late")));
}

TEST(RunCommand, ReturnsWhenTheChildExitsThoughABackgroundProcessHoldsTheOutput) {
  const auto start = std::chrono::steady_clock::now();
  CommandResult r = runShell("sleep 5 & echo done", 60);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_EQ("done\n", r.output);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST(RunJava, RunsJdk17WithoutToolOptionNotices) {
  ScopedEnv tool("JAVA_TOOL_OPTIONS", std::string("-Dkavrin.noise=1"));
  ScopedEnv jdk("JDK_JAVA_OPTIONS", std::string("-Dkavrin.noise=2"));
  CommandResult r = runJava("", {"-version"});
  EXPECT_EQ(0, r.exitCode) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("version \"17.")) << r.output;
  EXPECT_EQ(std::string::npos, r.output.find("Picked up")) << r.output;

  CommandResult missing = runJava(kFixtureJar, {"fixtures.NoSuchClass"});
  EXPECT_EQ(1, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.output.find("fixtures.NoSuchClass"));
}

TEST(Archives, ListEntriesOfJarsAndRejectNonArchives) {
  TempDir dir;
  writeFile(dir.file("in/a/B.class"), std::string("not really"));
  writeFile(dir.file("in/a/readme.txt"), std::string("text"));
  writeFile(dir.file("in/C.class"), std::string("x"));
  ASSERT_EQ(0, runCommand({"zip", "-q", "-r", dir.file("t.zip"), "a", "C.class"}, 60, dir.file("in")).exitCode);

  std::vector<std::string> entries = listArchiveEntries(dir.file("t.zip"));
  std::sort(entries.begin(), entries.end());  // zip adds files in folder-scan order
  EXPECT_EQ((std::vector<std::string>{"C.class", "a/", "a/B.class", "a/readme.txt"}), entries);
  std::vector<std::string> classes = listArchiveClasses(dir.file("t.zip"));
  std::sort(classes.begin(), classes.end());
  EXPECT_EQ((std::vector<std::string>{"C.class", "a/B.class"}), classes);

  // A jmod's 4-byte prefix is only a warning.
  const std::vector<std::string> jmod = listArchiveClasses(kJavaBaseJmod);
  EXPECT_GT(jmod.size(), 5000u);
  EXPECT_NE(jmod.end(), std::find(jmod.begin(), jmod.end(), "classes/java/lang/Object.class"));

  writeFile(dir.file("bad.jar"), std::string("PK but not a zip archive at all"));
  EXPECT_THROW(listArchiveEntries(dir.file("bad.jar")), std::runtime_error);
  EXPECT_THROW(listArchiveEntries(dir.file("missing.jar")), std::runtime_error);
}

TEST(ScopedEnv, SetsRemovesAndRestores) {
  const char* name = "KAVRIN_TEST_SCOPED_ENV";
  unsetenv(name);
  {
    ScopedEnv set(name, std::string("one"));
    EXPECT_STREQ("one", getenv(name));
    {
      ScopedEnv inner(name, std::string("two"));
      EXPECT_STREQ("two", getenv(name));
      {
        ScopedEnv removed(name, std::nullopt);
        EXPECT_EQ(nullptr, getenv(name));
        // A child process sees the change.
        EXPECT_EQ("unset\n", runShell("echo ${KAVRIN_TEST_SCOPED_ENV-unset}").output);
      }
      EXPECT_STREQ("two", getenv(name));
      EXPECT_EQ("two\n", runShell("echo $KAVRIN_TEST_SCOPED_ENV").output);
    }
    EXPECT_STREQ("one", getenv(name));
    ScopedEnv empty(name, std::string());
    EXPECT_STREQ("", getenv(name));
  }
  EXPECT_EQ(nullptr, getenv(name));
}
