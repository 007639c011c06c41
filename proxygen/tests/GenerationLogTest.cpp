// The generation log, the output files of a writer, walking a class that cannot be loaded, and the
// class entries of archives.
#include "GenerationFiles.h"
#include "GenerationLog.h"
#include "ProxygenTestSupport.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using kavrin_test::TempDir;
using proxygen_test::CleanGlobals;

TEST(GenerationLog, LinesInTheOrderTheyHappened) {
  TempDir dir("kavrin-log");
  const std::string project = dir.path() + "/";
  EXPECT_EQ(getLogFileName(), "/KAVRIN.LOG");
  EXPECT_EQ(logFilePath(project), project + "/KAVRIN.LOG");
  EXPECT_TRUE(appendLogLine(project, std::string(kLogMissingBytecode) + "a.B$C"));
  EXPECT_TRUE(
      appendLogLines(project, {std::string(kLogCannotProcess) + "x.Y", std::string(kLogFailedToWrite) + "/p/q.h"}));
  EXPECT_EQ(kavrin_test::readFile(dir.path() + "/KAVRIN.LOG"),
            "MISSING BYTECODE: a.B$C\nCannot process Bytecode: x.Y\nFAILED TO WRITE:/p/q.h\n");
}

TEST(GenerationLog, FileNameLivesFromLoadToUnload) {
  // Built when the library was loaded; destroyed once, and answered the same way afterwards.
  EXPECT_EQ(getLogFileName(), "/KAVRIN.LOG");
  destroyLogFileName();
  destroyLogFileName();
  EXPECT_EQ(getLogFileName(), "/KAVRIN.LOG");
  initLogFileName();
  initLogFileName();
  EXPECT_EQ(getLogFileName(), "/KAVRIN.LOG");
}

TEST(GenerationLog, UnopenableLogDropsTheLine) {
  TempDir dir("kavrin-log");
  // A folder where the log file should be.
  std::filesystem::create_directory(dir.path() + "/KAVRIN.LOG");
  EXPECT_FALSE(appendLogLine(dir.path() + "/", "lost"));
  EXPECT_FALSE(appendLogLine(dir.path() + "/missing/folder/", "lost"));
}

TEST(OutputFiles, OpenedUnderTheClassNameWithTheSuffix) {
  TempDir dir("kavrin-out");
  ProxyGenerator gen("a.b.Outer$Inner");
  ASSERT_TRUE(gen.openOutputFiles(dir.path() + "/", proxySuffix));
  ASSERT_NE(gen.m_pHeader, nullptr);
  ASSERT_NE(gen.m_pSource, nullptr);
  // Whole texts and streamed text go in in order.
  *gen.m_pHeader << "header";
  gen.m_pHeader->putText(std::string(" and a whole text"));
  gen.m_pSource->putText(std::string("source"));
  *gen.m_pSource << " and more";
  gen.closeOutputFiles();
  EXPECT_EQ(gen.m_pHeader, nullptr);
  EXPECT_EQ(gen.m_pSource, nullptr);
  EXPECT_EQ(kavrin_test::readFile(dir.path() + "/a_b_Outer$InnerJNIProxy.h"), "header and a whole text");
  EXPECT_EQ(kavrin_test::readFile(dir.path() + "/a_b_Outer$InnerJNIProxy.cpp"), "source and more");
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/KAVRIN.LOG"));

  // A text put in after the close fails the stream and reaches no file.
  GeneratedFile late(dir.path() + "/late.h", dir.path() + "/");
  ASSERT_TRUE(late.close());
  late.putText(std::string("late"));
  EXPECT_TRUE(late.bad());
  EXPECT_EQ(kavrin_test::readFile(dir.path() + "/late.h"), "");

  ProxyGenerator top("TopLevel");
  EXPECT_EQ(top.outputStem("/out/", implSuffix), "/out/TopLevelJNIImpl");

  // While a generation is published, a file it has written is not opened again.
  GenerationFiles generation;
  PublishedGeneration published(generation);
  ProxyGenerator once("p.Once");
  ASSERT_TRUE(once.openOutputFiles(dir.path() + "/", proxySuffix));
  once.m_pHeader->putText(std::string("first"));
  ASSERT_TRUE(once.closeOutputFiles());
  ProxyGenerator again("p.Once");
  EXPECT_FALSE(again.openOutputFiles(dir.path() + "/", proxySuffix));
  EXPECT_EQ(kavrin_test::readFile(dir.path() + "/p_OnceJNIProxy.h"), "first");
}

TEST(OutputFiles, FileThatCannotBeOpenedIsLogged) {
  TempDir dir("kavrin-out");
  const std::string project = dir.path() + "/";
  // Only the source cannot be written: a folder stands where the file would go.
  std::filesystem::create_directory(project + "p_AJNIProxy.cpp");
  ProxyGenerator gen("p.A");
  EXPECT_FALSE(gen.openOutputFiles(project, proxySuffix));
  EXPECT_EQ(gen.m_pHeader, nullptr);
  EXPECT_EQ(gen.m_pSource, nullptr);
  EXPECT_TRUE(std::filesystem::exists(project + "p_AJNIProxy.h")) << "the header was created empty";
  EXPECT_EQ(kavrin_test::readFile(project + "/KAVRIN.LOG"), "FAILED TO WRITE:" + project + "p_AJNIProxy.cpp\n");

  // Both: two lines, header first.
  ProxyGenerator nowhere("p.A");
  EXPECT_FALSE(nowhere.openOutputFiles(project + "no/such/", delegatorSuffix));
  EXPECT_EQ(kavrin_test::readFile(project + "/KAVRIN.LOG"), "FAILED TO WRITE:" + project + "p_AJNIProxy.cpp\n");
  std::filesystem::create_directories(project + "sub");
  std::filesystem::create_directory(project + "sub/p_AJNIDelegator.h");
  std::filesystem::create_directory(project + "sub/p_AJNIDelegator.cpp");
  EXPECT_FALSE(nowhere.openOutputFiles(project + "sub/", delegatorSuffix));
  EXPECT_EQ(
      kavrin_test::readFile(project + "sub//KAVRIN.LOG"),
      "FAILED TO WRITE:" + project + "sub/p_AJNIDelegator.h\nFAILED TO WRITE:" + project + "sub/p_AJNIDelegator.cpp\n");
}

TEST(OutputFiles, AFileWrittenShortOnAFullDiskIsRemovedAndLogged) {
  CleanGlobals clean;
  proxygen_test::useJdkAndFixtures();
  TempDir dir("kavrin-out");
  const std::string project = dir.path() + "/";
  const std::string stem = project + "fixtures_DerivedJNIProxy";
  ASSERT_TRUE(ProxyGenerator("fixtures.Derived").genProxy(project, false));
  const std::string header = kavrin_test::readFile(stem + ".h");
  const std::string source = kavrin_test::readFile(stem + ".cpp");
  ASSERT_GT(header.size(), 100u);

  struct Injected {
    ~Injected() { clearGeneratedFileWriteFailure(); }
  } injected;
  // The disk fills up inside the header: neither file is left, and both are logged.
  injectGeneratedFileWriteFailure(100, ENOSPC);
  EXPECT_FALSE(ProxyGenerator("fixtures.Derived").genProxy(project, false));
  EXPECT_FALSE(std::filesystem::exists(stem + ".h"));
  EXPECT_FALSE(std::filesystem::exists(stem + ".cpp"));
  EXPECT_EQ(kavrin_test::readFile(project + "/KAVRIN.LOG"),
            "FAILED TO WRITE:" + stem + ".h\nFAILED TO WRITE:" + stem + ".cpp\n");

  // Inside the source: the source goes, and the header, written whole, goes with it; the class
  // gets no include line.
  std::filesystem::remove(project + "/KAVRIN.LOG");
  generatedProxies.clear();
  injectGeneratedFileWriteFailure(header.size() + 10, EIO);
  EXPECT_FALSE(ProxyGenerator("fixtures.Derived").genProxy(project, false));
  EXPECT_FALSE(std::filesystem::exists(stem + ".h"));
  EXPECT_FALSE(std::filesystem::exists(stem + ".cpp"));
  EXPECT_EQ(kavrin_test::readFile(project + "/KAVRIN.LOG"),
            "FAILED TO WRITE:" + stem + ".cpp\nFAILED TO WRITE:" + stem + ".h\n");
  EXPECT_EQ(generatedProxies.count("fixtures.Derived"), 0u);

  // The shared files likewise.
  std::filesystem::remove(project + "/KAVRIN.LOG");
  injectGeneratedFileWriteFailure(0, ENOSPC);
  EXPECT_FALSE(genDefProxies(project, false));
  EXPECT_FALSE(std::filesystem::exists(project + "defproxies.h"));
  EXPECT_FALSE(std::filesystem::exists(project + "defproxies.cpp"));
  EXPECT_EQ(kavrin_test::readFile(project + "/KAVRIN.LOG"),
            "FAILED TO WRITE:" + project + "defproxies.h\nFAILED TO WRITE:" + project + "defproxies.cpp\n");

  // Room again: the same files as at first.
  clearGeneratedFileWriteFailure();
  EXPECT_TRUE(ProxyGenerator("fixtures.Derived").genProxy(project, false));
  EXPECT_EQ(kavrin_test::readFile(stem + ".h"), header);
  EXPECT_EQ(kavrin_test::readFile(stem + ".cpp"), source);
}

TEST(WalkClass, NoTreeMeansFailure) {
  CleanGlobals clean;
  proxygen_test::useJdkAndFixtures();
  ProxyGenerator missing("no.such.Class");
  EXPECT_FALSE(missing.walkClass());
  EXPECT_TRUE(missing.m_methods.empty());

  ProxyGenerator derived("fixtures.Derived");
  ASSERT_TRUE(derived.walkClass());
  EXPECT_EQ(derived.m_version[3], 52) << "javac --release 8";
  EXPECT_FALSE(derived.m_bIsInterface);
  EXPECT_FALSE(derived.m_bHasNativeMethods) << "the proxy writers leave that flag to loadClass";
  EXPECT_EQ(derived.m_nativeMethods.size(), 1u);
  derived.makePackageParts();
  EXPECT_EQ(derived.m_packageParts, (std::vector<std::string>{"fixtures"}));

  ProxyGenerator named("fixtures.Named");
  ASSERT_TRUE(named.walkClass());
  EXPECT_TRUE(named.m_bIsInterface);
  ProxyGenerator top("DefaultPackageFixture");
  top.makePackageParts();
  EXPECT_TRUE(top.m_packageParts.empty());
}

TEST(LoadClass, FactsOfTheLoadedClass) {
  CleanGlobals clean;
  proxygen_test::useJdkAndFixtures();
  ProxyGenerator gen;
  gen.loadClass("fixtures/natives/NativeMethods", "");
  EXPECT_FALSE(gen.m_bClassMissing);
  EXPECT_EQ(gen.getClassName(), "fixtures.natives.NativeMethods");
  EXPECT_TRUE(gen.m_bHasNativeMethods);
  EXPECT_EQ(gen.m_classPath, kavrin_test::kFixtureClasses);
  EXPECT_TRUE(gen.m_methods.empty()) << "nothing is walked";

  gen.loadClass("no.such.Class", "");
  EXPECT_TRUE(gen.m_bClassMissing);
  EXPECT_EQ(gen.getClassName(), "fixtures.natives.NativeMethods") << "the name of a missing class is not erased";

  ProxyGenerator file;
  file.loadClassFile(std::string(kavrin_test::kFixtureClasses) + "/fixtures/Named.class");
  EXPECT_EQ(file.getClassName(), "fixtures.Named");
  EXPECT_TRUE(file.isInterface());
  EXPECT_EQ(file.m_classPath, kavrin_test::kFixtureClasses);
  EXPECT_FALSE(file.m_bClassMissing);
}

TEST(ArchiveListing, ClassEntriesInArchiveOrder) {
  const std::vector<std::string> expected = kavrin_test::listArchiveClasses(kavrin_test::kFixtureJar);
  ASSERT_GT(expected.size(), 20u);
  std::vector<std::string> listed{"stale"};
  EXPECT_EQ(listArchiveClasses(kavrin_test::kFixtureJar, &listed), static_cast<int>(expected.size()));
  EXPECT_EQ(listed, expected);

  // A .jmod module gives its classes without the classes/ prefix.
  std::vector<std::string> base;
  const int count = listArchiveClasses(kavrin_test::kJavaBaseJmod, &base);
  EXPECT_GT(count, 5000);
  EXPECT_NE(std::find(base.begin(), base.end(), "java/lang/String.class"), base.end());
}

namespace {

// An archive of the entries in order, under the names given (one may stand twice).
void writeZip(const std::string& path, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  for (const auto& entry : entries) {
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip(zip, entry.first.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zip, entry.second.data(), static_cast<unsigned>(entry.second.size())), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
  }
  ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

}  // namespace

// A jar that holds one class twice: java loads its last entry, and so the listing, the repository
// and the proxy take that one.
TEST(ArchiveListing, AClassStoredTwiceIsTheEntryTheJvmLoads) {
  CleanGlobals clean;
  TempDir dir("kavrin-twice");
  std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
  for (const std::string version : {"first", "second"}) {
    const std::string source = dir.path() + "/" + version + "/Twin.java";
    kavrin_test::writeFile(source, "package twice; public class Twin { public int " + version +
                                       "Only() { return 0; } public static void main(String[] a) { "
                                       "System.out.println(\"" +
                                       version + "\"); } }");
    const kavrin_test::CommandResult javac =
        kavrin_test::runCommand({kavrin_test::kJavac, "--release", "8", "-d", dir.path() + "/" + version, source});
    ASSERT_EQ(javac.exitCode, 0) << javac.output;
    entries.emplace_back("twice/Twin.class",
                         kavrin_test::readFileBytes(dir.path() + "/" + version + "/twice/Twin.class"));
  }
  const std::string jar = dir.path() + "/twice.jar";
  writeZip(jar, entries);
  EXPECT_EQ(kavrin_test::runJava(jar, {"twice.Twin"}).output, "second\n");

  std::vector<std::string> listed;
  EXPECT_EQ(listArchiveClasses(jar, &listed), 1);
  EXPECT_EQ(listed, std::vector<std::string>{"twice/Twin.class"});

  proxygen_test::useJdkAndFixtures();
  ClassRepository::addModule(jar);
  ProxyGenerator members("twice.Twin");
  members.loadMembers();
  MethodLineMap methods;
  members.listMethods(methods);
  EXPECT_EQ(methods.count("public int secondOnly();"), 1u);
  EXPECT_EQ(methods.count("public int firstOnly();"), 0u);
  ASSERT_TRUE(ProxyGenerator("twice.Twin").genProxy(dir.path() + "/", false));
  const std::string header = kavrin_test::readFile(dir.path() + "/twice_TwinJNIProxy.h");
  EXPECT_NE(header.find("secondOnly"), std::string::npos);
  EXPECT_EQ(header.find("firstOnly"), std::string::npos);
}

TEST(ArchiveListing, SuffixCaseDoesNotMatterAsForTheRepository) {
  // The repository reads an archive named F.JAR, so the listing must show its classes too.
  TempDir dir("kavrin-list");
  const std::string upper = dir.path() + "/F.JAR";
  std::filesystem::copy_file(kavrin_test::kFixtureJar, upper);
  std::vector<std::string> listed;
  EXPECT_EQ(listArchiveClasses(upper, &listed),
            static_cast<int>(kavrin_test::listArchiveClasses(kavrin_test::kFixtureJar).size()));
  EXPECT_NE(std::find(listed.begin(), listed.end(), "fixtures/Members.class"), listed.end());
}

TEST(ArchiveListing, WhatIsNotReadGivesNothing) {
  TempDir dir("kavrin-list");
  std::vector<std::string> listed{"kept"};
  EXPECT_EQ(listArchiveClasses(std::string(kavrin_test::kFixtureClasses) + "/fixtures/Base.class", &listed), 0);
  std::string error;
  EXPECT_EQ(listArchiveClasses(dir.path() + "/missing.jar", &listed, &error), 0);
  EXPECT_EQ(error, "");
  // A file that is no archive, or whose directory was cut off, says so.
  kavrin_test::writeFile(dir.path() + "/garbage.zip", std::string("not a zip at all"));
  EXPECT_EQ(listArchiveClasses(dir.path() + "/garbage.zip", &listed, &error), 0);
  EXPECT_EQ(error,
            "Cannot read the archive " + dir.path() + "/garbage.zip: it is not a zip archive, or it is damaged.");
  std::string jar = kavrin_test::readFile(kavrin_test::kFixtureJar);
  kavrin_test::writeFile(dir.path() + "/cut.jar", jar.substr(0, jar.size() / 2));
  error.clear();
  EXPECT_EQ(listArchiveClasses(dir.path() + "/cut.jar", &listed, &error), 0);
  EXPECT_NE(error.find("cut.jar"), std::string::npos);
  EXPECT_EQ(listed, (std::vector<std::string>{"kept"}));
  // An archive without class entries leaves the list as it was.
  kavrin_test::writeFile(dir.path() + "/readme.txt", std::string("text"));
  ASSERT_EQ(
      kavrin_test::runCommand({"zip", "-q", "-j", dir.path() + "/noclasses.zip", dir.path() + "/readme.txt"}).exitCode,
      0);
  EXPECT_EQ(listArchiveClasses(dir.path() + "/noclasses.zip", &listed), 0);
  EXPECT_EQ(listed, (std::vector<std::string>{"kept"}));
}
