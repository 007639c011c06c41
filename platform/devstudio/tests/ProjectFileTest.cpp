// The project file: reading, writing, and the errors of malformed files.
#include "DevStudioHost.h"
#include "PlatformTestUtil.h"

#include <gtest/gtest.h>

namespace {

using devstudio::Project;

TEST(ProjectFile, ReadsEntriesAndWritesThemBack) {
  platform_test::TempDir dir;
  const std::string path = dir.file("App.dsp");
  platform_test::writeText(path,
                           "# a project\r\n"
                           "file /src/a.cpp\n"
                           "\n"
                           "configuration App - Win32 Debug\n"
                           "setting cl.exe /I\"$(JAVA_HOME)\\include\" /W3\n"
                           "setting link.exe /libpath:\"x\\\"\n"
                           "configuration App - Win32 Release\n");
  Project p;
  std::string error;
  ASSERT_TRUE(Project::load(path, p, error)) << error;
  EXPECT_EQ(p.fullName, path) << "the project file itself by default";
  EXPECT_EQ(p.files, std::vector<std::string>{"/src/a.cpp"});
  ASSERT_EQ(p.configurations.size(), 2u);
  EXPECT_EQ(p.configurations[0].name, "App - Win32 Debug");
  EXPECT_EQ(p.configurations[0].settingsOf("cl.exe"), std::vector<std::string>{"/I\"$(JAVA_HOME)\\include\" /W3"});
  EXPECT_EQ(p.configurations[0].settingsOf("link.exe"), std::vector<std::string>{"/libpath:\"x\\\""});
  EXPECT_TRUE(p.configurations[1].tools.empty());

  EXPECT_TRUE(p.addFile("/src/b.h"));
  EXPECT_FALSE(p.addFile("/src/a.cpp")) << "a file is listed once";
  EXPECT_TRUE(p.configurations[1].addSetting("cl.exe", "/I x"));
  EXPECT_FALSE(p.configurations[1].addSetting("cl.exe", "/I x"));
  ASSERT_TRUE(p.save(error)) << error;

  Project again;
  ASSERT_TRUE(Project::load(path, again, error)) << error;
  EXPECT_EQ(again.text(), p.text());
  EXPECT_EQ(again.files, (std::vector<std::string>{"/src/a.cpp", "/src/b.h"}));
  EXPECT_EQ(again.configurations[1].settingsOf("cl.exe"), std::vector<std::string>{"/I x"});
  EXPECT_EQ(platform_test::readText(path).find("fullname"), std::string::npos) << "a default full name is not written";
}

TEST(ProjectFile, AnExplicitFullNameIsKept) {
  platform_test::TempDir dir;
  const std::string path = dir.file("p.dsp");
  platform_test::writeText(path, "fullname /work/App/App.dsp\n");
  Project p;
  std::string error;
  ASSERT_TRUE(Project::load(path, p, error)) << error;
  EXPECT_EQ(p.fullName, "/work/App/App.dsp");
  ASSERT_TRUE(p.save(error));
  EXPECT_NE(platform_test::readText(path).find("fullname /work/App/App.dsp\n"), std::string::npos);
}

TEST(ProjectFile, MalformedFilesNameTheLine) {
  platform_test::TempDir dir;
  const std::string path = dir.file("bad.dsp");
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"file a\nsetting cl.exe /W3\n", "bad.dsp:2: a setting before any configuration"},
      {"configuration C\nsetting cl.exe\n", "bad.dsp:2: a setting needs a tool and the setting"},
      {"configuration C\nsetting  /W3\n", "bad.dsp:2: a setting needs a tool and the setting"},
      {"files a\n", "bad.dsp:1: unknown entry \"files\""},
      {"\n\nfile\n", "bad.dsp:3: \"file\" needs a value"},
  };
  for (const auto& c : cases) {
    platform_test::writeText(path, c.text);
    Project p;
    std::string error;
    EXPECT_FALSE(Project::load(path, p, error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
  Project p;
  std::string error;
  EXPECT_FALSE(Project::load(dir.file("missing.dsp"), p, error));
  EXPECT_NE(error.find("Cannot read the project file"), std::string::npos);
  EXPECT_FALSE(Project::load(dir.path(), p, error));
  EXPECT_NE(error.find("folder"), std::string::npos);
}

TEST(ProjectFile, AFailedSaveKeepsTheOldFile) {
  platform_test::TempDir dir;
  const std::string blocker = dir.file("plain");
  platform_test::writeText(blocker, "x");
  Project p;
  p.path = blocker + "/App.dsp";
  p.files.push_back("/a.cpp");
  std::string error;
  EXPECT_FALSE(p.save(error));
  EXPECT_NE(error.find("Cannot save"), std::string::npos);
  EXPECT_EQ(platform_test::readText(blocker), "x");
}

}  // namespace
