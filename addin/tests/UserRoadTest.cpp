// The user's road, where it goes wrong or leaves the dialog: bad input gives a reason and changes
// nothing; a CMake project of the user's own finds the installed package.
#include "UserRoadSupport.h"

using namespace roadtest;

namespace {

TEST_F(UserRoadTest, BadInputGivesAReasonAndChangesNothing) {
  registerJdk();
  const std::string dspText = readFile(dsp());
  const std::string settings = project + "/Sample.jniprj";
  const std::string brokenSettings = "<KAVRIN><MODULES>";
  writeFile(settings, brokenSettings);

  const struct {
    std::vector<std::string> args;
    int status;
    std::string reason;
  } cases[] = {
      {{"--project", dsp(), "--addin", addin(), "--script", dir->file("none.txt"), "--run", "StartKAVRINWizard"},
       1,
       "Cannot read the script " + dir->file("none.txt")},
      {{"--project", dsp(), "--addin", addin(), "--script", sample("Sample.dsp"), "--run", "StartKAVRINWizard"},
       1,
       sample("Sample.dsp") + ":5: unknown action \"configuration\""},
      {{"--project", dir->file("missing.dsp"), "--build"}, 2, "Cannot read the project file"},
      {{"--project", dsp(), "--addin", addin(), "--register", "--script", sample("wizard.txt"), "--run",
        "StartKAVRINWizard"},
       4,
       "wizard.txt: while \"KAVRIN Generator\" opened: an error was reported: KAVRIN Add-In Error: "},
      {{"--project", dsp(), "--exec"}, 5, "there is no program " + project + "/Sample: build the project first"},
  };
  for (const auto& c : cases) {
    const CommandResult r = dshost(c.args);
    EXPECT_EQ(r.exitCode, c.status) << r.output;
    EXPECT_TRUE(contains(r.output, c.reason)) << c.reason << "\n--- in ---\n" << r.output;
    EXPECT_EQ(readFile(dsp()), dspText);
    EXPECT_EQ(readFile(settings), brokenSettings);
  }

  // A module that is not there stops the session at its line, before anything is saved.
  std::remove(settings.c_str());
  writeFile(dir->file("missing-module.txt"),
            "wait\npage Java modules\nfile " + dir->file("gone.jar") + "\nclick Add...\nwait\nclick Generate\n");
  const CommandResult module = session(dir->file("missing-module.txt"));
  EXPECT_EQ(module.exitCode, 4) << module.output;
  EXPECT_TRUE(contains(module.output, "missing-module.txt:3: file " + dir->file("gone.jar") + ": there is no file"))
      << module.output;
  EXPECT_EQ(readFile(dsp()), dspText);
  EXPECT_FALSE(std::filesystem::exists(settings));

  // A build that fails leaves the sources, the project and the last program as they were.
  writeFile(project + "/main.cpp", "int main() { return missing(); }\n");
  writeFile(project + "/Sample", "the last program");
  const CommandResult failed = dshost({"--project", dsp(), "--build"});
  EXPECT_EQ(failed.exitCode, 5) << failed.output;
  EXPECT_TRUE(contains(failed.output, "main.cpp:1:21: error: ")) << failed.output;
  EXPECT_TRUE(contains(failed.output, "1 of 1 source file(s) did not compile")) << failed.output;
  EXPECT_EQ(readFile(project + "/main.cpp"), "int main() { return missing(); }\n");
  EXPECT_EQ(readFile(project + "/Sample"), "the last program");
  EXPECT_EQ(readFile(dsp()), dspText);
}

TEST_F(UserRoadTest, AUsersCMakeProjectFindsTheInstalledPackage) {
  const std::string user = dir->file("user");
  writeFile(user + "/CMakeLists.txt",
            "cmake_minimum_required(VERSION 3.20)\n"
            "project(User CXX)\n"
            "find_package(KAVRIN REQUIRED)\n"
            "add_executable(user main.cpp)\n"
            "target_link_libraries(user PRIVATE KAVRIN::KAVRINLIB)\n");
  writeFile(user + "/main.cpp",
            "#include \"JNIInteface.h\"\n"
            "#include <cstdio>\n"
            "int main() {\n"
            "  jni_helpers::CSmartString text(\"Gr\\xC3\\xBC\\xC3\\x9F\" \"e\");\n"
            "  text += \" from KAVRINLIB\";\n"
            "  std::printf(\"%s (%u units)\\n\", static_cast<const char*>(text), text.length());\n"
            "  try {\n"
            "    jni_helpers::JVM::load(jni_helpers::CSmartString(\"/nonexistent/libjvm.so\"));\n"
            "  } catch (const jni_helpers::InitializationException&) {\n"
            "    std::printf(\"no VM at /nonexistent\\n\");\n"
            "  }\n"
            "}\n");
  const CommandResult configured = kavrin_test::runCommand(
      {KAVRIN_CMAKE, "-S", user, "-B", user + "/build", "-DCMAKE_PREFIX_PATH=" + install,
       "-DCMAKE_CXX_FLAGS=" KAVRIN_SANITIZE_FLAGS, "-DCMAKE_EXE_LINKER_FLAGS=" KAVRIN_SANITIZE_FLAGS},
      kTimeout);
  ASSERT_EQ(configured.exitCode, 0) << configured.output;
  const CommandResult built = kavrin_test::runCommand({KAVRIN_CMAKE, "--build", user + "/build"}, kTimeout);
  ASSERT_EQ(built.exitCode, 0) << built.output;
  const CommandResult ran = kavrin_test::runCommand({user + "/build/user"});
  EXPECT_EQ(ran.exitCode, 0) << ran.output;
  EXPECT_TRUE(contains(ran.output,
                       "Gr\xC3\xBC\xC3\x9F"
                       "e from KAVRINLIB (20 units)\nno VM at /nonexistent\n"))
      << ran.output;

  // Without JNI headers the package is not found, and says why.
  kavrin_test::ScopedEnv noJdk("JAVA_HOME", std::nullopt);
  const CommandResult refused =
      kavrin_test::runCommand({KAVRIN_CMAKE, "-S", user, "-B", user + "/build2", "-DCMAKE_PREFIX_PATH=" + install,
                               "-DKAVRIN_JDK_HOME=" + dir->file("nojdk")},
                              kTimeout);
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_TRUE(contains(refused.output, "holds no JNI headers")) << refused.output;
}

}  // namespace
