// Building a project: the g++ commands its files and first configuration's settings give, and
// the settings that stop a build before anything runs.
#include "PlatformTestUtil.h"
#include "ProjectBuild.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using devstudio::BuildPlan;
using devstudio::Project;

devstudio::VariableLookup variables(std::map<std::string, std::string> values) {
  return [values](const std::string& name, std::string& value) {
    auto it = values.find(name);
    if (it == values.end()) return false;
    value = it->second;
    return true;
  };
}

Project load(const platform_test::TempDir& dir, const std::string& text) {
  platform_test::writeText(dir.file("App.dsp"), text);
  Project project;
  std::string error;
  EXPECT_TRUE(Project::load(dir.file("App.dsp"), project, error)) << error;
  return project;
}

TEST(ProjectBuild, FilesAndTheFirstConfigurationsSettingsGiveTheCommands) {
  platform_test::TempDir dir;
  const Project project =
      load(dir, "file " + dir.path() +
                    "/main.cpp\n"
                    "file gen\\Proxy.h\n"
                    "file gen\\Proxy.CPP\n"
                    "file /elsewhere/main.cpp\n"
                    "configuration App - Win32 Debug\n"
                    "setting cl.exe /I\"$(KAVRINVC6)\\include\" /I \"$(JAVA_HOME)/include\" /W3 /D \"WIN32\"\n"
                    "setting cl.exe -DLEVEL=2\n"
                    "setting link.exe /libpath:\"$(KAVRINVC6)\\lib\\\" KAVRINLIB.lib kernel32.lib\n"
                    "setting link.exe /out:App.exe\n"
                    "setting midl.exe /Oicf\n"
                    "configuration App - Win32 Release\n"
                    "setting cl.exe /D NDEBUG\n");
  BuildPlan plan;
  std::string error;
  ASSERT_TRUE(
      devstudio::planBuild(project, variables({{"KAVRINVC6", "/opt/kav rin"}, {"JAVA_HOME", "C:\\jdk"}}), plan, error))
      << error;
  const std::string d = dir.path();
  EXPECT_EQ(plan.directory, d);
  EXPECT_EQ(plan.program, d + "/App");
  EXPECT_EQ(plan.objects, d + "/Debug");
  EXPECT_EQ(plan.linkedAs, "Debug/.App.linking");
  const std::vector<std::string> options = {"-I/opt/kav rin/include", "-IC:/jdk/include", "-DWIN32", "-DLEVEL=2"};
  ASSERT_EQ(plan.compiles.size(), 3u) << "every .cpp file, and nothing else";
  const std::string sources[] = {"main.cpp", "gen/Proxy.CPP", "/elsewhere/main.cpp"};
  const std::string objects[] = {"Debug/main.o", "Debug/Proxy.o", "Debug/main_2.o"};
  for (size_t i = 0; i < 3; ++i) {
    std::vector<std::string> expected = {"g++", "-std=c++17", "-g", "-c", sources[i], "-o", objects[i]};
    expected.insert(expected.end(), options.begin(), options.end());
    EXPECT_EQ(plan.compiles[i], expected);
  }
  EXPECT_EQ(plan.link, (std::vector<std::string>{"g++", "-o", plan.linkedAs, objects[0], objects[1], objects[2],
                                                 "-L/opt/kav rin/lib", "-Wl,-rpath,/opt/kav rin/lib", "-lKAVRINLIB"}));
  EXPECT_EQ(plan.notes, (std::vector<std::string>{"cl.exe option /W3 has no counterpart here: left out",
                                                  "kernel32.lib is a library of the Windows platform: left out",
                                                  "link.exe option /out:App.exe has no counterpart here: left out",
                                                  "the settings of midl.exe are left out"}));
}

TEST(ProjectBuild, AMissingPrecompiledHeaderThatSourcesIncludeIsNoted) {
  platform_test::TempDir dir;
  platform_test::writeText(dir.file("main.cpp"), "int main() { return 0; }\n");
  platform_test::writeText(dir.file("AJNIProxy.cpp"),
                           "/* banner */\n#include \"stdafx.h\"\n#include \"defproxies.h\"\n");
  platform_test::writeText(dir.file("BJNIProxy.cpp"), "  #include \"stdafx.h\"\n");
  const Project project = load(dir,
                               "file main.cpp\nfile AJNIProxy.cpp\nfile BJNIProxy.cpp\nconfiguration A\n"
                               "setting cl.exe /I inc\n");
  const std::string note =
      "AJNIProxy.cpp and 1 more include \"stdafx.h\", which is missing: it is the project's precompiled header, "
      "which may be empty; put one beside the project file";
  BuildPlan plan;
  std::string error;
  ASSERT_TRUE(devstudio::planBuild(project, variables({}), plan, error)) << error;
  EXPECT_EQ(plan.notes, std::vector<std::string>{note});
  // One in an include folder, or beside the sources, is found.
  std::filesystem::create_directory(dir.file("inc"));
  platform_test::writeText(dir.file("inc/stdafx.h"), "");
  ASSERT_TRUE(devstudio::planBuild(project, variables({}), plan, error)) << error;
  EXPECT_TRUE(plan.notes.empty());
  std::filesystem::remove(dir.file("inc/stdafx.h"));
  platform_test::writeText(dir.file("stdafx.h"), "#pragma once\n");
  ASSERT_TRUE(devstudio::planBuild(project, variables({}), plan, error)) << error;
  EXPECT_TRUE(plan.notes.empty());
}

TEST(ProjectBuild, SettingsThatCannotBeUsedStopTheBuild) {
  platform_test::TempDir dir;
  const struct {
    const char* project;
    const char* error;
  } cases[] = {
      {"file a.cpp\nconfiguration A\nsetting cl.exe /I\"$(KAVRINVC6)/include\"\n",
       "cl.exe setting \"/I$(KAVRINVC6)/include\" names $(KAVRINVC6), which is not set"},
      {"file $(SRC)/a.cpp\n", "file \"$(SRC)/a.cpp\" names $(SRC), which is not set"},
      {"file a.cpp\nconfiguration A\nsetting cl.exe /I\n", "/I needs a value"},
      {"file a.cpp\nconfiguration A\nsetting link.exe /libpath:\n", "/libpath: needs a folder"},
      {"file a.h\nconfiguration A\n", "has no .cpp file to build"},
  };
  for (const auto& c : cases) {
    BuildPlan plan;
    std::string error;
    EXPECT_FALSE(devstudio::planBuild(load(dir, c.project), variables({}), plan, error)) << c.project;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
}

}  // namespace
