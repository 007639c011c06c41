// The sample walked as a user walks it, from the installed package: dshost opens the project with
// its own main.cpp, a script walks the generator dialog through its pages and dialogs and
// presses Generate, dshost builds the project and runs the program, whose Java side calls its
// C++ classes; then a second session over the settings the first one saved generates again.
// A project that builds a shared library gets C++ skeletons of a class's native methods, and a
// Java program loads it and calls them.
#include "UserRoadSupport.h"

#include <sys/stat.h>

using namespace roadtest;

namespace {

TEST_F(UserRoadTest, AUserGeneratesBuildsAndRunsTheSampleTwice) {
  registerJdk();
  const CommandResult generated = session(sample("wizard.txt"));
  ASSERT_EQ(generated.exitCode, 0) << generated.output;
  const std::string files = readFile(dsp());
  for (const char* made : {"fixtures_delegate_GreeterJNIImpl.cpp", "fixtures_delegate_DelegateTargetJNIProxy.cpp",
                           "fixtures_delegate_DelegateTargetJNIDelegator.cpp",
                           "fixtures_delegate_DelegateCallerJNIProxy.cpp", "defproxies.cpp"}) {
    EXPECT_TRUE(contains(files, "file " + project + "/" + made + "\n")) << made << "\n" << files;
  }
  EXPECT_TRUE(contains(files, "setting link.exe /libpath:\"$(KAVRINVC6)/lib/\"\n")) << files;
  EXPECT_FALSE(contains(generated.output, "[message box]")) << generated.output;

  const CommandResult built = dshost({"--project", "Sample.dsp", "--build"});
  ASSERT_EQ(built.exitCode, 0) << built.output;
  EXPECT_TRUE(contains(built.output, "-I" + install + "/include ")) << built.output;
  EXPECT_TRUE(contains(built.output, "-lKAVRINLIB")) << built.output;

  // What Java returned: from a proxy, and from Java's calls into the C++ implementation and the
  // C++ delegator, whose other methods go to its Java delegate.
  const std::string expected[] = {
      "-> Hello KAVRIN from Java\n",
      "Java calls the C++ Greeter                    -> Hello KAVRIN, says C++\n",
      "Java calls the C++ delegator's greet          -> Good day KAVRIN, says the C++ delegator\n",
      "delegator.compute(3L), by its Java delegate   -> 5\n",
  };
  const CommandResult ran = dshost({"--project", dsp(), "--exec", kavrin_test::kFixtureJar});
  ASSERT_EQ(ran.exitCode, 0) << ran.output;
  for (const std::string& line : expected)
    EXPECT_TRUE(contains(ran.output, line)) << line << "--- in ---\n" << ran.output;

  // A second session over the settings the first one saved: Generate deletes the outputs of the
  // last build and writes them again, and the project still builds. The project also lists the
  // files of a build that a session ended before saving it had replaced: they are taken out.
  const std::string stale = project + "/fixtures_delegate_DelegateCallerJNIProxy.cpp";
  writeFile(stale, readFile(stale) + "\n#error a stale output\n");
  chmod(stale.c_str(), 0444);
  writeFile(dsp(), files + "file " + project + "/fixtures_ReplacedJNIProxy.h\nfile " + project +
                       "/fixtures_ReplacedJNIProxy.cpp\n");
  writeFile(dir->file("again.txt"), "wait\nexpect fixtures.delegate.Greeter\nclick Generate\nwait\n");
  const CommandResult again = session(dir->file("again.txt"));
  ASSERT_EQ(again.exitCode, 0) << again.output;
  EXPECT_FALSE(contains(readFile(stale), "stale")) << "the old output was replaced";
  EXPECT_EQ(readFile(dsp()), files) << "the project already had every file and option, and lost the replaced ones";
  const CommandResult rebuilt = dshost({"--project", dsp(), "--build"});
  ASSERT_EQ(rebuilt.exitCode, 0) << rebuilt.output;
  const CommandResult rerun = dshost({"--project", dsp(), "--exec", kavrin_test::kFixtureJar});
  ASSERT_EQ(rerun.exitCode, 0) << rerun.output;
  EXPECT_TRUE(contains(rerun.output, expected[1])) << rerun.output;
}

TEST_F(UserRoadTest, NativeMethodsImplementedInASharedLibraryThatJavaLoads) {
  registerJdk();
  writeFile(dsp(),
            "file stdafx.h\nfile natives.cpp\nconfiguration Sample - Win32 Debug\n"
            "setting link.exe /dll KAVRINLIB.lib\n");
  // The C++ side of wizard.OnlyNative.compute calls back into Java through the proxy.
  writeFile(project + "/natives.cpp",
            "#include \"defproxies.h\"\n"
            "jint CPP_Java_Bridge::wizard::OnlyNativeJNIProxy::compute(jint x) {\n"
            "  const jni_helpers::CSmartString text = toString();\n"
            "  return x * 3 + (static_cast<const char*>(text)[0] == 'w' ? 1000 : 0);\n"
            "}\n");
  writeFile(dir->file("natives.txt"),
            "wait\npage Installed JVMs\nselect SUN17\nwait\ncheck SUN17\nwait\n"
            "page Java modules\nfile $(SAMPLE_JAR)\nclick Add...\nwait\n"
            "page Select Classes\nclick Add...\n  select wizard.OnlyNative\n  click OK\nwait\n"
            "page Implement Native Methods\ncheck wizard.OnlyNative\nclick Generate\nwait\nclick Close\n");
  const CommandResult generated = session(dir->file("natives.txt"));
  ASSERT_EQ(generated.exitCode, 0) << generated.output;
  ASSERT_TRUE(contains(readFile(project + "/wizard_OnlyNativeJNIProxy.cpp"), "Java_wizard_OnlyNative_compute"));

  const CommandResult built = dshost({"--project", "Sample.dsp", "--build"});
  ASSERT_EQ(built.exitCode, 0) << built.output;
  EXPECT_TRUE(contains(built.output, "-fPIC")) << built.output;
  const std::string library = project + "/libSample.so";
  const CommandResult exec = dshost({"--project", dsp(), "--exec"});
  EXPECT_EQ(exec.exitCode, 5);
  EXPECT_TRUE(contains(exec.output, "builds the shared library " + library)) << exec.output;

  writeFile(dir->file("Driver.java"),
            "public class Driver {\n"
            "  public static void main(String[] args) {\n"
            "    System.load(args[0]);\n"
            "    System.out.println(\"compute(5)=\" + new wizard.OnlyNative().compute(5));\n"
            "  }\n"
            "}\n");
  // Compiled onto the class path: a library belongs to the class loader of the class that loads it.
  const CommandResult compiled = kavrin_test::runCommand(
      {kavrin_test::kJavac, "-cp", kavrin_test::kFixtureJar, "-d", dir->file("classes"), dir->file("Driver.java")});
  ASSERT_EQ(compiled.exitCode, 0) << compiled.output;
  const CommandResult ran = kavrin_test::runJava(std::string(kavrin_test::kFixtureJar) + ":" + dir->file("classes"),
                                                 {"-Xcheck:jni", "Driver", library});
  EXPECT_EQ(ran.exitCode, 0) << ran.output;
  EXPECT_TRUE(contains(ran.output, "compute(5)=1015\n")) << ran.output;
}

}  // namespace
