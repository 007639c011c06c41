// Generate's work on a project held by the Developer Studio stand-in's own objects, and the
// generation run over the fixture classes: old outputs go (read-only ones too), the new files
// and the tool options join the project, the run writes proxies, implementations, delegators and
// the shared files, and logs the classes it cannot process.
#include "AddinTestSupport.h"
#include "ClassRepository.h"
#include "DevStudioHost.h"
#include "GenerationLog.h"
#include "GenerationRun.h"
#include "ProjectIntegration.h"
#include "TypeMapping.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

using namespace addintest;

namespace {

class GenerateTest : public AddinTest {
 protected:
  void SetUp() override {
    AddinTest::SetUp();
    projectDir = path("proj") + "/";
    project = std::make_shared<devstudio::Project>();
    project->fullName = projectDir + "App.dsp";
    project->fullNameGiven = true;
    project->configurations = {{"App - Win32 Debug", {}}, {"App - Win32 Release", {}}};
    host = std::make_unique<devstudio::Host>(project);
    IDispatchPtr active;
    ASSERT_EQ(host->application()->get_ActiveProject(&active), S_OK);
    buildProject = active;
    ASSERT_TRUE(buildProject);
    kavrin_test::writeFile(projectDir + "App.dsp", "");
  }
  void TearDown() override {
    buildProject = nullptr;
    host.reset();
    AddinTest::TearDown();
  }
  projectintegration::BuildNames names() {
    return projectintegration::BuildNames{&lastClasses, &lastInterfaces, &lastDelegators};
  }
  bool exists(const std::string& name) const { return win32::fileExists(projectDir + name); }
  void touch(const std::string& name, bool readOnly = false) {
    kavrin_test::writeFile(projectDir + name, "old");
    if (readOnly) chmod((projectDir + name).c_str(), 0444);
  }

  std::string projectDir;
  std::shared_ptr<devstudio::Project> project;
  std::unique_ptr<devstudio::Host> host;
  IBuildProjectPtr buildProject;
  ClassNameSet lastClasses, lastInterfaces, lastDelegators;
  projectintegration::FileSet added;
};

TEST_F(GenerateTest, NamesOfTheProjectsFiles) {
  EXPECT_EQ(projectintegration::projectDirectory("/work/App/App.dsp"), "/work/App/");
  EXPECT_EQ(projectintegration::projectDirectory("App.dsp"), "");
  EXPECT_EQ(projectintegration::outputStem("/p/", "a.b.C", proxySuffix), "/p/a_b_CJNIProxy");
  EXPECT_EQ(projectintegration::outputStem("/p/", "a.B$C", implSuffix), "/p/a_B$CJNIImpl");
}

TEST_F(GenerateTest, ThePreviousBuildsOutputsGoReadOnlyOnesToo) {
  lastClasses = {"a.b.C"};
  lastInterfaces = {"i.Face"};
  lastDelegators = {"d.Gate"};
  for (const char* f : {"a_b_CJNIProxy.h", "a_b_CJNIProxy.cpp", "i_FaceJNIImpl.h", "i_FaceJNIImpl.cpp",
                        "d_GateJNIDelegator.h", "defproxies.h", "defproxies.cpp", "KAVRIN.LOG"}) {
    touch(f, std::string(f) == "a_b_CJNIProxy.h" || std::string(f) == "defproxies.cpp");
  }
  touch("a_b_CJNIImpl.h");  // not an output of the last build
  touch("keep.cpp");
  projectintegration::deletePreviousOutputs(projectDir, names());
  for (const char* f : {"a_b_CJNIProxy.h", "a_b_CJNIProxy.cpp", "i_FaceJNIImpl.h", "i_FaceJNIImpl.cpp",
                        "d_GateJNIDelegator.h", "defproxies.h", "defproxies.cpp", "KAVRIN.LOG"}) {
    EXPECT_FALSE(exists(f)) << f;
  }
  EXPECT_TRUE(exists("a_b_CJNIImpl.h"));
  EXPECT_TRUE(exists("keep.cpp"));
}

TEST_F(GenerateTest, FilesOfEveryClassAndTheToolOptionsJoinTheProject) {
  ClassSettings both;
  both.bIsInterfaceIml = true;
  both.bIsDelegatorIml = true;
  ClassSettings delegated;
  delegated.bIsDelegatorIml = true;
  const ClassSettingsMap classes{
      {CString("a.b.C"), ClassSettings()}, {CString("i.Both"), both}, {CString("d.Gate"), delegated}};
  lastClasses = {"earlier.One"};
  projectintegration::addClassFiles(buildProject, projectDir, classes, names(), added);
  projectintegration::addSharedFilesAndToolSettings(buildProject, projectDir, added);

  const std::string d = projectDir;
  EXPECT_EQ(project->files, (std::vector<std::string>{
                                d + "a_b_CJNIProxy.h", d + "a_b_CJNIProxy.cpp", d + "d_GateJNIProxy.h",
                                d + "d_GateJNIProxy.cpp", d + "d_GateJNIDelegator.h", d + "d_GateJNIDelegator.cpp",
                                d + "i_BothJNIImpl.h", d + "i_BothJNIImpl.cpp", d + "i_BothJNIDelegator.h",
                                d + "i_BothJNIDelegator.cpp", d + "defproxies.h", d + "defproxies.cpp"}));
  EXPECT_EQ(lastClasses, (ClassNameSet{"a.b.C", "d.Gate", "earlier.One"}));
  EXPECT_EQ(lastInterfaces, ClassNameSet{"i.Both"});
  EXPECT_EQ(lastDelegators, (ClassNameSet{"d.Gate", "i.Both"}));
  for (const devstudio::Configuration& c : project->configurations) {
    EXPECT_EQ(c.settingsOf("cl.exe"),
              (std::vector<std::string>{"/I\"$(KAVRINVC6)/include\"", "/I\"$(JAVA_HOME)/include\"",
                                        "/I\"$(JAVA_HOME)/include/linux\""}))
        << c.name;
    EXPECT_EQ(c.settingsOf("link.exe"), std::vector<std::string>{"/libpath:\"$(KAVRINVC6)/lib/\""}) << c.name;
  }

  // A second Generate adds the same again; the host keeps one of each.
  projectintegration::addClassFiles(buildProject, projectDir, classes, names(), added);
  projectintegration::addSharedFilesAndToolSettings(buildProject, projectDir, added);
  EXPECT_EQ(project->files.size(), 12u);
  EXPECT_EQ(project->configurations[0].settingsOf("cl.exe").size(), 3u);
  size_t refused = 0;
  for (const std::string& line : host->journal()) refused += line.find("(already") != std::string::npos;
  EXPECT_EQ(refused, 12u + 8u);
}

// A class name with a line break (which the host refuses in a file name) names its files as the
// generator writes them, with the break encoded.
TEST_F(GenerateTest, AClassNameWithALineBreakNamesTheFilesTheGeneratorWrites) {
  const ClassSettingsMap classes{{CString("a.B"), ClassSettings()},
                                 {CString(std::string("bad\nname")), ClassSettings()},
                                 {CString("c.D"), ClassSettings()}};
  projectintegration::addClassFiles(buildProject, projectDir, classes, names(), added);
  EXPECT_EQ(project->files,
            (std::vector<std::string>{projectDir + "a_BJNIProxy.h", projectDir + "a_BJNIProxy.cpp",
                                      projectDir + "bad_u000anameJNIProxy.h", projectDir + "bad_u000anameJNIProxy.cpp",
                                      projectDir + "c_DJNIProxy.h", projectDir + "c_DJNIProxy.cpp"}));
}

// The files of the last build that the new one does not write leave the project (the user's own files
// stay); with nothing generated the shared files go too.
TEST_F(GenerateTest, FilesTheNewBuildDoesNotWriteLeaveTheProject) {
  const std::string d = projectDir;
  ClassSettings impl;
  impl.bIsInterfaceIml = true;
  ClassSettings delegated;
  delegated.bIsDelegatorIml = true;
  projectintegration::addClassFiles(
      buildProject, d,
      {{CString("a.Kept"), ClassSettings()}, {CString("a.Dropped"), delegated}, {CString("i.Face"), ClassSettings()}},
      names(), added);
  projectintegration::addSharedFilesAndToolSettings(buildProject, d, added);
  ASSERT_EQ(buildProject->AddFile(_bstr_t(d + "main.cpp"), vtMissing), S_OK);

  ClassNameSet classes, interfaces, delegators;
  const projectintegration::BuildNames next{&classes, &interfaces, &delegators};
  projectintegration::FileSet nextAdded;
  projectintegration::addClassFiles(buildProject, d, {{CString("a.Kept"), ClassSettings()}, {CString("i.Face"), impl}},
                                    next, nextAdded);
  projectintegration::addSharedFilesAndToolSettings(buildProject, d, nextAdded);
  projectintegration::removeStaleFiles(buildProject, d, names(), nextAdded);
  std::vector<std::string> files = project->files;
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{d + "a_KeptJNIProxy.cpp", d + "a_KeptJNIProxy.h", d + "defproxies.cpp",
                                             d + "defproxies.h", d + "i_FaceJNIImpl.cpp", d + "i_FaceJNIImpl.h",
                                             d + "main.cpp"}));

  projectintegration::removeStaleFiles(buildProject, d, next, projectintegration::FileSet());
  EXPECT_EQ(project->files, std::vector<std::string>{d + "main.cpp"});
}

// A session that ended before its project was saved left the project listing the files of a build
// that the settings no longer record: those that are gone leave the project with the next Generate.
TEST_F(GenerateTest, GeneratedFilesThatAreGoneLeaveTheProjectThoughNoBuildRecordsThem) {
  const std::string d = projectDir;
  for (const std::string& listed :
       {d + "old_GoneJNIProxy.cpp", d + "old_GoneJNIImpl.h", d + "old_GoneJNIDelegator.cpp", d + "old_KeptJNIProxy.h",
        d + "main.cpp", d + "JNIProxy.h", d + "sub/x_GoneJNIProxy.h", std::string("/elsewhere/y_GoneJNIProxy.cpp"),
        d + "old_GoneJNIProxy.hpp", d + "defproxies.cpp"}) {
    ASSERT_EQ(buildProject->AddFile(_bstr_t(listed), vtMissing), S_OK);
  }
  touch("old_KeptJNIProxy.h");  // still on disk: it builds
  projectintegration::addClassFiles(buildProject, d, {{CString("a.New"), ClassSettings()}}, names(), added);
  projectintegration::addSharedFilesAndToolSettings(buildProject, d, added);
  ClassNameSet none1, none2, none3;  // the settings record no earlier build
  projectintegration::removeStaleFiles(buildProject, d, {&none1, &none2, &none3}, added);
  EXPECT_EQ(project->files, (std::vector<std::string>{
                                d + "old_KeptJNIProxy.h", d + "main.cpp", d + "JNIProxy.h", d + "sub/x_GoneJNIProxy.h",
                                "/elsewhere/y_GoneJNIProxy.cpp", d + "old_GoneJNIProxy.hpp", d + "defproxies.cpp",
                                d + "a_NewJNIProxy.h", d + "a_NewJNIProxy.cpp", d + "defproxies.h"}))
      << "the new build's files stay though the run has not written them yet; the user's own files stay";
}

// --- The generation run -----------------------------------------------------------------------------
class GenerationRunTest : public GenerateTest {
 protected:
  void SetUp() override {
    GenerateTest::SetUp();
    ClassRepository::resetModules(kavrin_test::kJdkHome);
    ClassRepository::addModule(kavrin_test::kFixtureClasses);
  }
  void TearDown() override {
    ClassRepository::resetModules("");
    GenerateTest::TearDown();
  }
  std::string log() const {
    return win32::fileExists(logFilePath(projectDir)) ? kavrin_test::readFile(logFilePath(projectDir)) : std::string();
  }
};

TEST_F(GenerationRunTest, ProxiesImplementationsDelegatorsAndTheSharedFilesAreWritten) {
  ClassSettings impl;
  impl.bIsInterfaceIml = true;
  ClassSettings delegator;
  delegator.bIsDelegatorIml = true;
  ClassSettings natives;
  natives.bIsMethodsIml = true;
  ClassSettings missing;
  missing.bMissingBytecode = true;
  ClassSettings members;
  members.members = {"publicMethod()I"};
  ClassSettingsMap classes{{CString("fixtures.Members"), members},
                           {CString("fixtures.impl.Everything"), impl},
                           {CString("fixtures.delegate.DelegateTarget"), delegator},
                           {CString("fixtures.natives.NativeMethods"), natives},
                           {CString("fixtures.Gone"), missing}};
  NameSubstitutionMap substitutions{{"Members", "Folks"}};
  std::vector<int> numbers;
  std::vector<const NameSubstitutionMap*> published;
  const generationrun::Outcome outcome =
      generationrun::generateClasses(projectDir, classes, &substitutions, [&](int n) {
        numbers.push_back(n);
        published.push_back(nameSubstitutions);
      });
  EXPECT_FALSE(outcome.success) << "a class had no bytecode";
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5}));
  for (const NameSubstitutionMap* p : published) EXPECT_EQ(p, &substitutions);
  EXPECT_EQ(nameSubstitutions, nullptr) << "withdrawn after the run";

  for (const char* f :
       {"fixtures_MembersJNIProxy.h", "fixtures_MembersJNIProxy.cpp", "fixtures_impl_EverythingJNIImpl.h",
        "fixtures_impl_EverythingJNIImpl.cpp", "fixtures_delegate_DelegateTargetJNIProxy.h",
        "fixtures_delegate_DelegateTargetJNIDelegator.h", "fixtures_delegate_DelegateTargetJNIDelegator.cpp",
        "fixtures_natives_NativeMethodsJNIProxy.cpp", "defproxies.h", "defproxies.cpp"}) {
    EXPECT_TRUE(exists(f)) << f;
  }
  EXPECT_FALSE(exists("fixtures_GoneJNIProxy.h"));
  EXPECT_FALSE(exists("fixtures_impl_EverythingJNIProxy.h")) << "an implemented interface gets no proxy";
  EXPECT_EQ(log(), "MISSING BYTECODE: fixtures.Gone\n");

  const std::string defproxies = kavrin_test::readFile(projectDir + "defproxies.h");
  for (const char* include :
       {"#include \"fixtures_MembersJNIProxy.h\"", "#include \"fixtures_impl_EverythingJNIImpl.h\"",
        "#include \"fixtures_delegate_DelegateTargetJNIDelegator.h\""}) {
    EXPECT_NE(defproxies.find(include), std::string::npos) << include;
  }
  const std::string header = kavrin_test::readFile(projectDir + "fixtures_MembersJNIProxy.h");
  EXPECT_NE(header.find("Folks"), std::string::npos) << "the substitutions were applied";
  EXPECT_EQ(header.find("publicMethod"), std::string::npos) << "an excluded member is left out";
  EXPECT_NE(kavrin_test::readFile(projectDir + "fixtures_natives_NativeMethodsJNIProxy.cpp").find("JNIEXPORT"),
            std::string::npos)
      << "native skeletons asked for";
}

TEST_F(GenerationRunTest, AClassThatFailsIsLoggedAndTheRunGoesOn) {
  ClassSettings notAnInterface;
  notAnInterface.bIsInterfaceIml = true;
  ClassSettings finalDelegator;
  finalDelegator.bIsDelegatorIml = true;
  ClassSettings implAndDelegator = notAnInterface;
  implAndDelegator.bIsDelegatorIml = true;
  ClassSettingsMap classes{{CString("fixtures.Base"), notAnInterface},
                           {CString("fixtures.Derived"), ClassSettings()},
                           {CString("fixtures.FinalClass"), finalDelegator},
                           {CString("fixtures.Middle"), implAndDelegator}};
  const generationrun::Outcome outcome = generationrun::generateClasses(projectDir, classes, nullptr);
  EXPECT_FALSE(outcome.success);
  const std::string text = log();
  EXPECT_NE(text.find("Cannot process Bytecode: fixtures.Base\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Cannot process Bytecode: fixtures.FinalClass\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("fixtures.Derived"), std::string::npos) << text;
  EXPECT_LT(text.find("fixtures.Base"), text.find("fixtures.FinalClass"));
  // Only the implementation failed: one line for the class, and its delegator was written.
  const std::string middle = "Cannot process Bytecode: fixtures.Middle\n";
  ASSERT_NE(text.find(middle), std::string::npos) << text;
  EXPECT_EQ(text.find(middle, text.find(middle) + 1), std::string::npos) << text;
  EXPECT_TRUE(exists("fixtures_MiddleJNIDelegator.h"));
  EXPECT_TRUE(exists("fixtures_DerivedJNIProxy.h")) << "later classes still run";
  EXPECT_TRUE(exists("fixtures_FinalClassJNIProxy.h")) << "the proxy of a class whose delegator failed";
  EXPECT_TRUE(exists("defproxies.cpp"));
}

TEST_F(GenerationRunTest, AnEmptyModelWritesNothing) {
  int calls = 0;
  const generationrun::Outcome outcome =
      generationrun::generateClasses(projectDir, ClassSettingsMap(), nullptr, [&](int) { ++calls; });
  EXPECT_TRUE(outcome.success);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(exists("defproxies.h"));
  EXPECT_EQ(log(), "");
}

// A second run in the session, with a class taken out, names only its own classes; and the same
// model gives the same shared files as in a session of its own.
TEST_F(GenerationRunTest, EachRunsSharedFilesNameThatRunsClassesOnly) {
  const ClassSettingsMap both{{CString("fixtures.Base"), ClassSettings()},
                              {CString("fixtures.Named"), ClassSettings()}};
  const ClassSettingsMap one{{CString("fixtures.Named"), ClassSettings()}};
  EXPECT_TRUE(generationrun::generateClasses(projectDir, one, nullptr).success);
  const std::string alone = kavrin_test::readFile(projectDir + "defproxies.h");
  EXPECT_TRUE(generationrun::generateClasses(projectDir, both, nullptr).success);
  EXPECT_NE(kavrin_test::readFile(projectDir + "defproxies.h").find("fixtures_BaseJNIProxy.h"), std::string::npos);

  EXPECT_TRUE(generationrun::generateClasses(projectDir, one, nullptr).success);
  const std::string header = kavrin_test::readFile(projectDir + "defproxies.h");
  EXPECT_EQ(header.find("fixtures_BaseJNIProxy.h"), std::string::npos) << "the class taken out";
  EXPECT_EQ(header, alone);
}

// com.foo_bar.Baz and com.foo.bar_Baz would both write com_foo_bar_BazJNIProxy: the later class gets
// files of its own, under the same names in the run, the shared header, the project and the
// deletion of the build.
TEST_F(GenerationRunTest, TwoClassesOfOneFileNameEachGetTheirOwnFiles) {
  const ClassSettingsMap classes{{CString("names.coincide.a_Twin"), ClassSettings()},
                                 {CString("names.coincide_a.Twin"), ClassSettings()}};
  EXPECT_TRUE(generationrun::generateClasses(projectDir, classes, nullptr).success);
  const std::string first = "names_coincide_a_TwinJNIProxy";
  const std::string second = "names_coincide_a_Twin_2JNIProxy";
  EXPECT_EQ(log(), "FILE NAME TAKEN: " + first +
                       ".h/.cpp are names.coincide.a_Twin's; names.coincide_a.Twin is written to " + second +
                       ".h/.cpp\n");
  EXPECT_NE(kavrin_test::readFile(projectDir + first + ".h").find("fromCoincide("), std::string::npos);
  EXPECT_NE(kavrin_test::readFile(projectDir + second + ".h").find("fromCoincideA("), std::string::npos);
  EXPECT_NE(kavrin_test::readFile(projectDir + second + ".cpp").find("fromCoincideA"), std::string::npos);
  const std::string defproxies = kavrin_test::readFile(projectDir + "defproxies.h");
  EXPECT_NE(defproxies.find("#include \"" + first + ".h\"\n#include \"" + second + ".h\"\n"), std::string::npos)
      << defproxies;

  projectintegration::FileSet added;
  projectintegration::addClassFiles(buildProject, projectDir, classes, names(), added);
  EXPECT_EQ(project->files, (std::vector<std::string>{projectDir + first + ".h", projectDir + first + ".cpp",
                                                      projectDir + second + ".h", projectDir + second + ".cpp"}));
  projectintegration::deletePreviousOutputs(projectDir, names());
  for (const std::string& file : {first + ".h", first + ".cpp", second + ".h", second + ".cpp"})
    EXPECT_FALSE(exists(file)) << file;
}

// A class whose super class is gone, and one whose interface's class file is damaged, are written
// without what those would give; the log says what is missing, and the run has problems.
TEST_F(GenerationRunTest, AClassWithoutItsSuperTypesIsWrittenAndReported) {
  const std::string classes = path("classes");
  std::filesystem::copy(kavrin_test::kFixtureClasses, classes, std::filesystem::copy_options::recursive);
  std::filesystem::remove(classes + "/fixtures/Middle.class");
  kavrin_test::writeFile(classes + "/fixtures/Sized.class", std::string("\xCA\xFE\xBA\xBF", 4));
  ClassRepository::resetModules(kavrin_test::kJdkHome);
  ClassRepository::addModule(classes);

  testing::internal::CaptureStderr();
  const generationrun::Outcome outcome =
      generationrun::generateClasses(projectDir, {{CString("fixtures.Derived"), ClassSettings()}}, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(outcome.success);
  EXPECT_EQ(log(),
            "MISSING SUPER TYPE: fixtures.Middle (of fixtures.Derived)\n"
            "Cannot process Bytecode: fixtures.Sized: it is not a class file: it does not start with 0xCAFEBABE\n"
            "MISSING SUPER TYPE: fixtures.Sized (of fixtures.Derived)\n");
  const std::string header = kavrin_test::readFile(projectDir + "fixtures_DerivedJNIProxy.h");
  EXPECT_NE(header.find(" level("), std::string::npos) << "its own members";
  EXPECT_NE(header.find(" hashCode("), std::string::npos) << "java.lang.Object's, through Named";
  EXPECT_EQ(header.find("middleOnly"), std::string::npos);
  EXPECT_NE(kavrin_test::readFile(projectDir + "defproxies.h").find("fixtures_DerivedJNIProxy.h"), std::string::npos);
}

TEST_F(GenerationRunTest, BarPositionsAndTheClosingMessage) {
  std::vector<int> positions;
  for (int n = 1; n <= 6; ++n) positions.push_back(generationrun::barPosition(n));
  EXPECT_EQ(positions, (std::vector<int>{20, 40, 60, 80, 100, 100}));
  EXPECT_EQ(generationrun::problemMessage(), "There are problems in generating of JNI wrappers! See KAVRIN.LOG");
}

TEST_F(GenerationRunTest, ARunAskedToStopWritesNothingFurther) {
  ClassSettingsMap classes{{CString("fixtures.Base"), ClassSettings()}, {CString("fixtures.Derived"), ClassSettings()}};
  int calls = 0;
  const generationrun::Outcome outcome = generationrun::generateClasses(
      projectDir, classes, nullptr, [&](int) { ++calls; }, [&] { return calls == 1; });
  EXPECT_TRUE(outcome.stopped);
  EXPECT_TRUE(exists("fixtures_BaseJNIProxy.h"));
  EXPECT_FALSE(exists("fixtures_DerivedJNIProxy.h"));
  EXPECT_FALSE(exists("defproxies.h"));
}

TEST_F(GenerationRunTest, SharedFilesThatCannotBeWrittenFailTheRun) {
  ClassSettingsMap classes{{CString("fixtures.Base"), ClassSettings()}};
  mkdir((projectDir + "defproxies.h").c_str(), 0755);
  EXPECT_FALSE(generationrun::generateClasses(projectDir, classes, nullptr).success);
  EXPECT_NE(log().find("FAILED TO WRITE:" + projectDir + "defproxies.h"), std::string::npos) << log();
}

}  // namespace
