// The class repository, end to end in temporary folders: directories, archives made by jar and by
// zip -0, a .jmod module, the fake classic JRE and the real JDK 17 home; cache, hints, failures.
#include "ClassRepository.h"
#include "GeneratedClassSets.h"
#include "ReaderTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using kavrin_test::runCommand;
using kavrin_test::TempDir;

namespace {

const std::string kJdk = kavrin_test::kJdkHome;
const std::string kClasses = kavrin_test::kFixtureClasses;

// The version bytes and flags of a class as javap sees them.
struct JavapFacts {
  int major = -1;
  int minor = -1;
  bool isInterface = false;
  bool hasNatives = false;
};

JavapFacts javapFacts(const std::string& classPath, const std::string& className) {
  std::vector<std::string> argv = {kavrin_test::kJavap, "-v", "-p"};
  if (!classPath.empty()) {
    argv.push_back("-cp");
    argv.push_back(classPath);
  }
  argv.push_back(className);
  const kavrin_test::CommandResult r = runCommand(argv);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  JavapFacts facts;
  auto numberAfter = [&](const std::string& label) {
    const std::size_t at = r.output.find(label);
    return at == std::string::npos ? -1 : std::atoi(r.output.c_str() + at + label.size());
  };
  facts.major = numberAfter("major version: ");
  facts.minor = numberAfter("minor version: ");
  // The class's flags line stands right before this_class; methods' flags lines follow later.
  const std::size_t thisClass = r.output.find("this_class:");
  const std::size_t classFlags = r.output.rfind("flags: (0x", thisClass);
  if (thisClass != std::string::npos && classFlags != std::string::npos)
    facts.isInterface = (std::strtoul(r.output.c_str() + classFlags + 10, nullptr, 16) & 0x0200) != 0;
  std::istringstream in(r.output);
  for (std::string line; std::getline(in, line);)
    if (line.find("flags: (0x") != std::string::npos && line.find("ACC_NATIVE") != std::string::npos)
      facts.hasNatives = true;
  return facts;
}

int major(const ClassRepository& loader) { return loader.getVersion()[2] * 256 + loader.getVersion()[3]; }

int minor(const ClassRepository& loader) { return loader.getVersion()[0] * 256 + loader.getVersion()[1]; }

void expectFacts(const ClassRepository& loader, const JavapFacts& facts) {
  EXPECT_EQ(major(loader), facts.major);
  EXPECT_EQ(minor(loader), facts.minor);
  EXPECT_EQ(loader.isInterface(), facts.isInterface);
  EXPECT_EQ(loader.hasNativeMethods(), facts.hasNatives);
}

void copyFixtures(const std::string& to) {
  fs::create_directories(to);
  fs::copy(kClasses, to, fs::copy_options::recursive);
}

// Little-endian field of a zip header.
uint32_t read32(const std::vector<uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void write32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Offset of the central-directory header of an entry.
std::size_t centralEntry(const std::vector<uint8_t>& zip, const std::string& name) {
  for (std::size_t at = 0; at + 46 < zip.size(); ++at) {
    if (read32(zip, at) != 0x02014b50) continue;
    const std::size_t nameLength = zip[at + 28] | (zip[at + 29] << 8);
    if (at + 46 + nameLength <= zip.size() &&
        std::string(reinterpret_cast<const char*>(&zip[at + 46]), nameLength) == name)
      return at;
  }
  return std::string::npos;
}

class RepositoryTest : public reader_test::NoModulesTest {
 protected:
  static bool cached(const std::string& key) { return ClassRepository::classCache.count(key) != 0; }
  TempDir dir{"kavrin-repo"};
};

}  // namespace

TEST_F(RepositoryTest, ClassesFromADirectory) {
  ClassRepository::addModule(kClasses);
  ClassRepository loader;
  testing::internal::CaptureStderr();
  antlr::RefAST tree = loader.loadClass("fixtures.Derived", "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "java/lang/Object is missing: not an error";
  ASSERT_TRUE(tree);
  EXPECT_EQ(loader.getClassName(), "fixtures/Derived");
  EXPECT_EQ(loader.getModulePath(), kClasses);
  expectFacts(loader, javapFacts(kClasses, "fixtures.Derived"));
  EXPECT_TRUE(loader.hasNativeMethods());

  // Parsing the class loaded its super types into the cache.
  for (const char* key : {"fixtures/Derived", "fixtures/Middle", "fixtures/Base", "fixtures/Named", "fixtures/Sized"})
    EXPECT_TRUE(cached(key)) << key;
  EXPECT_FALSE(cached("java/lang/Object"));
  EXPECT_EQ(referencedClasses, (std::set<std::string>{"fixtures.Base", "fixtures.Derived", "fixtures.Middle",
                                                      "fixtures.Named", "fixtures.Sized"}));

  // Dotted and slashed names name the same class.
  ClassRepository other;
  antlr::RefAST slashed = other.loadClass("fixtures/Named", "");
  antlr::RefAST dotted = other.loadClass("fixtures.Named", "");
  ASSERT_TRUE(slashed);
  EXPECT_EQ(slashed.get(), dotted.get());
  EXPECT_TRUE(other.isInterface());
  EXPECT_FALSE(other.hasNativeMethods());

  ClassRepository nested;
  EXPECT_TRUE(nested.loadClass("fixtures.Outer$StaticNested$Deep", ""));
  EXPECT_EQ(nested.getClassName(), "fixtures/Outer$StaticNested$Deep");
  EXPECT_FALSE(nested.loadClass("", ""));
}

TEST_F(RepositoryTest, CacheHitReportsTheCachedTree) {
  ClassRepository::addModule(kClasses);
  ClassRepository first;
  antlr::RefAST tree = first.loadClass("fixtures.Derived", "");
  ASSERT_TRUE(tree);
  referencedClasses.clear();

  ClassRepository second;
  EXPECT_EQ(second.loadClass("fixtures/Derived", "").get(), tree.get());
  EXPECT_EQ(second.getClassName(), "fixtures/Derived");
  EXPECT_EQ(std::memcmp(second.getVersion(), first.getVersion(), 4), 0) << "the version comes from the tree";
  EXPECT_EQ(major(second), 52);
  EXPECT_TRUE(second.hasNativeMethods());
  EXPECT_FALSE(second.isInterface());
  EXPECT_EQ(second.getModulePath(), "") << "a cache hit searches no module";
  EXPECT_EQ(referencedClasses, std::set<std::string>{"fixtures.Derived"})
      << "a cache hit records the class as a parse does";

  // Sized was parsed as an interface of Derived: a hit with other facts.
  EXPECT_TRUE(second.loadClass("fixtures.Sized", ""));
  EXPECT_TRUE(second.isInterface());
  EXPECT_FALSE(second.hasNativeMethods());
  EXPECT_EQ(second.getClassName(), "fixtures/Sized");
}

TEST_F(RepositoryTest, MissingClassKeepsTheFacts) {
  ClassRepository::addModule(kClasses);
  ClassRepository loader;
  ASSERT_TRUE(loader.loadClass("fixtures.Derived", ""));
  const std::vector<unsigned char> version(loader.getVersion(), loader.getVersion() + 4);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(loader.loadClass("fixtures.NoSuchClass", ""));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(loader.getClassName(), "fixtures/Derived");
  EXPECT_TRUE(loader.hasNativeMethods());
  EXPECT_FALSE(loader.isInterface());
  EXPECT_EQ(std::vector<unsigned char>(loader.getVersion(), loader.getVersion() + 4), version);
  EXPECT_FALSE(cached("fixtures/NoSuchClass"));
}

TEST_F(RepositoryTest, JarMadeByJarIsDeflatedAndKeepsItsCase) {
  const std::string jar = dir.file("Mixed/Fixtures.JAR");
  fs::create_directories(dir.file("Mixed"));
  ASSERT_EQ(runCommand({kavrin_test::kJar, "cf", jar, "-C", kClasses, "fixtures"}).exitCode, 0);
  const kavrin_test::CommandResult listing = runCommand({kavrin_test::kUnzip, "-v", jar});
  ASSERT_NE(listing.output.find("Defl:N"), std::string::npos) << listing.output;

  ClassRepository::addModule(jar);
  ClassRepository loader;
  ASSERT_TRUE(loader.loadClass("fixtures.Derived", ""));
  EXPECT_EQ(loader.getModulePath(), jar);
  expectFacts(loader, javapFacts(kClasses, "fixtures.Derived"));
  EXPECT_EQ(ClassRepository::modules, (std::set<std::string>{jar})) << "the path is never lower-cased";
  ClassRepository interfaceLoader;
  ASSERT_TRUE(interfaceLoader.loadClass("fixtures.impl.Everything", ""));
  EXPECT_TRUE(interfaceLoader.isInterface());
}

TEST_F(RepositoryTest, StoredZip) {
  const std::string zip = dir.file("stored.zip");
  ASSERT_EQ(runCommand({"zip", "-q", "-0", "-r", zip, "fixtures"}, 120, kClasses).exitCode, 0);
  const kavrin_test::CommandResult listing = runCommand({kavrin_test::kUnzip, "-v", zip});
  ASSERT_NE(listing.output.find("Stored"), std::string::npos);
  ASSERT_EQ(listing.output.find("Defl"), std::string::npos);

  ClassRepository::addModule(zip);
  ClassRepository loader;
  ASSERT_TRUE(loader.loadClass("fixtures/natives/NativeMethods", ""));
  EXPECT_EQ(loader.getModulePath(), zip);
  expectFacts(loader, javapFacts(kClasses, "fixtures.natives.NativeMethods"));
}

TEST_F(RepositoryTest, Zip64RecordsOnEveryEntry) {
  // zip -fz writes 0xFFFFFFFF into the 32-bit size fields and the sizes into Zip64 records.
  for (const char* level : {"-6", "-0"}) {
    SCOPED_TRACE(level);
    reset();
    const std::string zip = dir.file(std::string("zip64") + level + ".jar");
    ASSERT_EQ(runCommand({"zip", "-q", level, "-fz", "-r", zip, "fixtures"}, 120, kClasses).exitCode, 0);
    std::vector<uint8_t> bytes = kavrin_test::readFileBytes(zip);
    const std::size_t derived = centralEntry(bytes, "fixtures/Derived.class");
    ASSERT_NE(derived, std::string::npos);
    ASSERT_EQ(read32(bytes, derived + 24), 0xFFFFFFFFu) << "no Zip64 size record";

    ClassRepository::addModule(zip);
    ClassRepository loader;
    ASSERT_TRUE(loader.loadClass("fixtures.Derived", ""));
    EXPECT_EQ(loader.getModulePath(), zip);
    expectFacts(loader, javapFacts(kClasses, "fixtures.Derived"));

    // A Zip64 size whose record is missing, and a checksum that does not match, yield nothing.
    const std::size_t named = centralEntry(bytes, "fixtures/Named.class");
    const std::size_t color = centralEntry(bytes, "fixtures/Color.class");
    ASSERT_NE(named, std::string::npos);
    ASSERT_NE(color, std::string::npos);
    const std::size_t nameLength = bytes[named + 28] | (bytes[named + 29] << 8);
    const std::size_t extraLength = bytes[named + 30] | (bytes[named + 31] << 8);
    for (std::size_t at = named + 46 + nameLength; at + 4 <= named + 46 + nameLength + extraLength;
         at += 4 + (bytes[at + 2] | (bytes[at + 3] << 8)))
      if (bytes[at] == 1 && bytes[at + 1] == 0) bytes[at] = 0x99;  // an unknown record in its place
    write32(bytes, color + 16, read32(bytes, color + 16) ^ 1u);
    const std::string damaged = dir.file(std::string("damaged64") + level + ".jar");
    kavrin_test::writeFile(damaged, bytes);
    reset();
    ClassRepository::addModule(damaged);
    for (const char* name : {"fixtures.Named", "fixtures.Color"}) {
      ClassRepository bad;
      EXPECT_FALSE(bad.loadClass(name, "")) << name;
    }
    ClassRepository good;
    EXPECT_TRUE(good.loadClass("fixtures.Base", ""));
  }
}

TEST_F(RepositoryTest, JmodModule) {
  // A module of the fixtures package (jmod takes no class of the default package).
  const std::string jmod = dir.file("fixtures.jmod");
  fs::create_directories(dir.file("packaged"));
  fs::copy(kClasses + "/fixtures", dir.file("packaged/fixtures"), fs::copy_options::recursive);
  kavrin_test::writeFile(dir.file("module-info.java"), std::string("module fixturesmod { }\n"));
  ASSERT_EQ(runCommand({kavrin_test::kJavac, "-d", dir.file("packaged"), dir.file("module-info.java")}).exitCode, 0);
  const kavrin_test::CommandResult made =
      runCommand({kJdk + "/bin/jmod", "create", "--class-path", dir.file("packaged"), jmod});
  ASSERT_EQ(made.exitCode, 0) << made.output;
  const std::vector<uint8_t> bytes = kavrin_test::readFileBytes(jmod);
  ASSERT_GE(bytes.size(), 4u);
  ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 4), std::string("JM\1\0", 4));

  ClassRepository::addModule(jmod);
  ClassRepository loader;
  ASSERT_TRUE(loader.loadClass("fixtures.Derived", ""));
  EXPECT_EQ(loader.getModulePath(), jmod);
  expectFacts(loader, javapFacts(kClasses, "fixtures.Derived"));
  EXPECT_TRUE(isJmodModule(jmod));
  EXPECT_TRUE(isArchiveModule(dir.file("X.JMOD")));
  EXPECT_FALSE(isArchiveModule("C:/"));
  EXPECT_FALSE(isArchiveModule(".jm"));
}

TEST_F(RepositoryTest, ClassPathWildcardsStandForTheJarsOfAFolder) {
  const std::string jars = dir.file("jars");
  fs::create_directories(jars + "/sub.jar");
  fs::copy_file(kavrin_test::kFixtureJar, jars + "/fixtures.jar");
  kavrin_test::writeFile(jars + "/UPPER.JAR", std::string("PK"));
  kavrin_test::writeFile(jars + "/.hidden.jar", std::string("PK"));
  for (const char* other : {"mixed.Jar", "notes.txt", "sub.jar/inner.jar"})
    kavrin_test::writeFile(jars + "/" + other, std::string("PK"));
  {
    kavrin_test::ScopedEnv classPath("CLASSPATH", jars + "/*:" + jars + "/*.jar:" + dir.file("none") + "/*");
    ClassRepository::resetModules(kavrin_test::kFakeJre);
  }
  std::set<std::string> fromClassPath;
  for (const std::string& module : ClassRepository::modules)
    if (module.rfind(dir.path(), 0) == 0) fromClassPath.insert(module);
  EXPECT_EQ(fromClassPath, (std::set<std::string>{jars + "/.hidden.jar", jars + "/UPPER.JAR", jars + "/fixtures.jar",
                                                  jars + "/*.jar"}));
  ClassRepository loader;
  ASSERT_TRUE(loader.loadClass("fixtures.Base", ""));
  EXPECT_EQ(loader.getModulePath(), jars + "/fixtures.jar");
}

TEST_F(RepositoryTest, FakeClassicJre) {
  const std::string jre = kavrin_test::kFakeJre;
  {
    kavrin_test::ScopedEnv classPath("CLASSPATH", std::string("/cp/one::/cp/two:"));
    ClassRepository::resetModules(jre);
  }
  EXPECT_EQ(ClassRepository::modules,
            (std::set<std::string>{".", "/cp/one", "/cp/two", jre + "/lib", jre + "/lib/rt.jar", jre + "/lib/ext",
                                   jre + "/lib/ext/fixtures-ext.jar", jre + "/lib/javaws"}));

  ClassRepository loader;
  ASSERT_TRUE(loader.loadClass("java.lang.String", ""));
  EXPECT_EQ(loader.getModulePath(), jre + "/lib/rt.jar");
  EXPECT_EQ(loader.getClassName(), "java/lang/String");
  expectFacts(loader, javapFacts("", "java.lang.String"));
  EXPECT_TRUE(cached("java/lang/String"));
  EXPECT_TRUE(cached("java/lang/Object")) << "its super class was parsed with it";

  ASSERT_TRUE(loader.loadClass("java.lang.Runnable", ""));
  EXPECT_TRUE(loader.isInterface());
  ASSERT_TRUE(loader.loadClass("fixtures.ext.ExtensionClass", ""));
  EXPECT_EQ(loader.getModulePath(), jre + "/lib/ext/fixtures-ext.jar");
  EXPECT_EQ(ClassRepository::modules.size(), 8u) << "searching adds no module";

  // A reset with an empty home leaves nothing, not even "." or CLASSPATH.
  kavrin_test::ScopedEnv classPath("CLASSPATH", std::string("/cp/one"));
  ClassRepository::resetModules("");
  EXPECT_TRUE(ClassRepository::modules.empty());
  EXPECT_TRUE(ClassRepository::classCache.empty());
  EXPECT_TRUE(referencedClasses.empty());
}

TEST_F(RepositoryTest, RealJdk17Home) {
  ClassRepository::resetModules(kJdk);
  EXPECT_EQ(ClassRepository::modules.count(kJdk + "/jmods/java.base.jmod"), 1u);
  EXPECT_EQ(ClassRepository::modules.count(kJdk + "/jmods/java.desktop.jmod"), 1u);
  EXPECT_EQ(ClassRepository::modules.count(kJdk + "/lib"), 1u);
  EXPECT_EQ(ClassRepository::modules.count("."), 1u);

  for (const char* name : {"java.lang.Object", "java.util.ArrayList", "java.lang.String", "java.lang.Runnable"}) {
    SCOPED_TRACE(name);
    ClassRepository loader;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(loader.loadClass(name, ""));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(loader.getModulePath(), kJdk + "/jmods/java.base.jmod");
    const JavapFacts facts = javapFacts("", name);
    EXPECT_EQ(facts.major, 61);
    expectFacts(loader, facts);
    // Again from the cache, with the same facts.
    ClassRepository again;
    ASSERT_TRUE(again.loadClass(name, ""));
    expectFacts(again, facts);
  }
  ClassRepository object;
  object.loadClass("java.lang.Object", "");
  EXPECT_TRUE(object.hasNativeMethods());
  ClassRepository list;
  list.loadClass("java/util/ArrayList", "");
  EXPECT_FALSE(list.hasNativeMethods());
  EXPECT_FALSE(list.isInterface());
}

TEST_F(RepositoryTest, CorruptClassInsideAJar) {
  const std::string copy = dir.file("classes");
  copyFixtures(copy);
  fs::resize_file(copy + "/fixtures/Derived.class", 100);
  const std::string jar = dir.file("corrupt.jar");
  ASSERT_EQ(runCommand({kavrin_test::kJar, "cf", jar, "-C", copy, "fixtures"}).exitCode, 0);
  ClassRepository::addModule(jar);

  for (int attempt = 0; attempt < 2; ++attempt) {
    ClassRepository loader;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loader.loadClass("fixtures.Derived", ""));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::string problem = "the class file ends early: a count or length in it goes past its 100 bytes";
    EXPECT_EQ(loader.getLoadProblem(), problem);
    EXPECT_EQ(ClassRepository::unreadableReason("fixtures/Derived"), problem);
    EXPECT_FALSE(cached("fixtures/Derived")) << "a failed parse is not cached, so it fails again";
    EXPECT_EQ(referencedClasses.count("fixtures.Derived"), 0u);
  }
  ClassRepository loader;
  EXPECT_TRUE(loader.loadClass("fixtures.Middle", "")) << "the rest of the archive is fine";
  EXPECT_EQ(loader.getLoadProblem(), "");
  EXPECT_FALSE(loader.loadClass("fixtures.NoSuchClass", ""));
  EXPECT_EQ(loader.getLoadProblem(), "") << "a class found nowhere is missing, not unreadable";
  ClassRepository::removeFromCache("fixtures.Derived");
  EXPECT_EQ(ClassRepository::unreadableReason("fixtures.Derived"), "");
}

TEST_F(RepositoryTest, HostileArchiveEntriesYieldNothing) {
  const std::string zip = dir.file("hostile.zip");
  ASSERT_EQ(runCommand({"zip", "-q", "-0", "-r", zip, "fixtures"}, 120, kClasses).exitCode, 0);
  std::vector<uint8_t> bytes = kavrin_test::readFileBytes(zip);
  // An entry that claims to be far larger than any class file.
  const std::size_t huge = centralEntry(bytes, "fixtures/Base.class");
  ASSERT_NE(huge, std::string::npos);
  write32(bytes, huge + 24, 0x7FFFFFF0u);
  // An entry whose checksum does not match its bytes.
  const std::size_t crc = centralEntry(bytes, "fixtures/Named.class");
  ASSERT_NE(crc, std::string::npos);
  write32(bytes, crc + 16, read32(bytes, crc + 16) ^ 0x5A5A5A5Au);
  // An entry that claims a few bytes more than it holds: a short read.
  const std::size_t longer = centralEntry(bytes, "fixtures/Sized.class");
  ASSERT_NE(longer, std::string::npos);
  write32(bytes, longer + 24, read32(bytes, longer + 24) + 7);
  write32(bytes, longer + 20, read32(bytes, longer + 20) + 7);
  kavrin_test::writeFile(zip, bytes);

  ClassRepository::addModule(zip);
  for (const char* name : {"fixtures.Base", "fixtures.Named", "fixtures.Sized"}) {
    ClassRepository loader;
    EXPECT_FALSE(loader.loadClass(name, "")) << name;
  }
  ClassRepository loader;
  EXPECT_TRUE(loader.loadClass("fixtures.Color", ""));

  // A file that is not an archive at all, and a folder named like one.
  kavrin_test::writeFile(dir.file("a-garbage.jar"), std::string("PK garbage"));
  fs::create_directories(dir.file("a-folder.zip/fixtures"));
  ClassRepository::addModule(dir.file("a-garbage.jar"));
  ClassRepository::addModule(dir.file("a-folder.zip"));
  ClassRepository other;
  EXPECT_TRUE(other.loadClass("fixtures.Outer", ""));
  EXPECT_EQ(other.getModulePath(), zip);
}

TEST_F(RepositoryTest, RemoveFromCache) {
  ClassRepository::addModule(kClasses);
  ClassRepository loader;
  antlr::RefAST first = loader.loadClass("fixtures.Derived", "");
  ASSERT_TRUE(first);
  ClassRepository::removeFromCache("fixtures.Derived");
  EXPECT_FALSE(cached("fixtures/Derived"));
  EXPECT_TRUE(cached("fixtures/Middle"));
  ClassRepository::removeFromCache("fixtures.NotThere");
  referencedClasses.clear();
  antlr::RefAST second = loader.loadClass("fixtures/Derived", "");
  ASSERT_TRUE(second);
  EXPECT_NE(second.get(), first.get()) << "parsed again";
  // The class, parsed again, and the super types its parse took from the cache.
  EXPECT_EQ(referencedClasses,
            (std::set<std::string>{"fixtures.Derived", "fixtures.Middle", "fixtures.Named", "fixtures.Sized"}));
}

TEST_F(RepositoryTest, LoadClassFileGivesItsRoot) {
  ClassRepository loader;
  antlr::RefAST tree = loader.loadClassFile(kClasses + "/fixtures/natives/NativeMethods.class");
  ASSERT_TRUE(tree);
  EXPECT_EQ(loader.getClassName(), "fixtures/natives/NativeMethods");
  EXPECT_EQ(loader.getModulePath(), kClasses);
  EXPECT_TRUE(loader.hasNativeMethods());
  EXPECT_EQ(ClassRepository::modules.count(kClasses), 1u);
  EXPECT_EQ(ClassRepository::classCache.at("fixtures/natives/NativeMethods").get(), tree.get());

  // Loading the file again replaces the cached tree.
  ClassRepository again;
  antlr::RefAST replaced = again.loadClassFile(kClasses + "/fixtures/natives/NativeMethods.class");
  EXPECT_NE(replaced.get(), tree.get());
  EXPECT_EQ(ClassRepository::classCache.at("fixtures/natives/NativeMethods").get(), replaced.get());
}

TEST_F(RepositoryTest, LoadClassFileUnderAWrongPath) {
  fs::create_directories(dir.file("elsewhere"));
  fs::copy_file(kClasses + "/fixtures/Base.class", dir.file("elsewhere/Base.class"));
  ClassRepository loader;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(loader.loadClassFile(dir.file("elsewhere/Base.class")));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(loader.getLoadProblem(), "Wrong Path!");
  EXPECT_FALSE(cached("fixtures/Base"));
  EXPECT_TRUE(ClassRepository::modules.empty());

  EXPECT_FALSE(loader.loadClassFile(dir.file("missing/A.class")));
  EXPECT_EQ(loader.getLoadProblem(), "the class file is empty or cannot be read") << "a missing file is a parse error";
}

TEST_F(RepositoryTest, HintIsSearchedFirstAndStays) {
  // "a" sorts before "b": without a hint the broken copy in "a" is found first.
  copyFixtures(dir.file("a"));
  copyFixtures(dir.file("b"));
  kavrin_test::writeFile(dir.file("a/fixtures/Named.class"), std::string("\xCA\xFE\xBA\xBF", 4));
  ClassRepository::addModule(dir.file("a"));
  {
    ClassRepository loader;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loader.loadClass("fixtures.Named", ""));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(loader.getLoadProblem(), "it is not a class file: it does not start with 0xCAFEBABE");
  }
  ClassRepository loader;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(loader.loadClass("fixtures.Named", dir.file("b")));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(loader.getModulePath(), dir.file("b"));
  EXPECT_EQ(ClassRepository::modules, (std::set<std::string>{dir.file("a"), dir.file("b")}));

  // A folder standing where a class file should be is passed over.
  fs::remove(dir.file("a/fixtures/Sized.class"));
  fs::create_directories(dir.file("a/fixtures/Sized.class"));
  ClassRepository sized;
  EXPECT_TRUE(sized.loadClass("fixtures.Sized", ""));
  EXPECT_EQ(sized.getModulePath(), dir.file("b"));
}
