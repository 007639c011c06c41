// The classic-layout fake JRE home made from JDK 17's java.base.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace kavrin_test;

namespace {

bool inLibraryPackages(const std::string& entry) {
  for (const char* prefix : {"java/lang/", "java/util/", "java/io/"}) {
    if (entry.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

}  // namespace

TEST(FakeJre, RtJarHoldsExactlyTheLangUtilAndIoClassesOfJavaBase) {
  const std::string rtJar = std::string(kFakeJre) + "/lib/rt.jar";
  ASSERT_TRUE(fs::is_regular_file(rtJar));
  const std::vector<std::string> classes = listArchiveClasses(rtJar);
  const std::set<std::string> inJar(classes.begin(), classes.end());
  EXPECT_EQ(classes.size(), inJar.size()) << "duplicate entries";
  for (const char* name :
       {"java/lang/Object.class", "java/lang/String.class", "java/util/ArrayList.class", "java/io/File.class",
        "java/lang/reflect/Method.class", "java/util/concurrent/ConcurrentHashMap.class"}) {
    EXPECT_TRUE(inJar.count(name)) << name;
  }
  for (const std::string& entry : classes) EXPECT_TRUE(inLibraryPackages(entry)) << entry;

  // Every class of those packages in the jmod made it, and nothing else.
  std::set<std::string> fromJmod;
  for (const std::string& entry : listArchiveClasses(kJavaBaseJmod)) {
    const std::string prefix = "classes/";
    if (entry.rfind(prefix, 0) == 0 && inLibraryPackages(entry.substr(prefix.size())))
      fromJmod.insert(entry.substr(prefix.size()));
  }
  EXPECT_GT(fromJmod.size(), 1000u);
  EXPECT_EQ(fromJmod, inJar);
}

TEST(FakeJre, ExtFolderHoldsTheFixtureExtensionJar) {
  const std::string ext = std::string(kFakeJre) + "/lib/ext";
  ASSERT_TRUE(fs::is_directory(ext));
  std::vector<std::string> jars;
  for (const auto& e : fs::directory_iterator(ext)) jars.push_back(e.path().string());
  ASSERT_EQ(1u, jars.size());
  EXPECT_EQ(std::string(kFakeJreExtJar), jars[0]);
  EXPECT_EQ(std::vector<std::string>{"fixtures/ext/ExtensionClass.class"}, listArchiveClasses(kFakeJreExtJar));
  // The class in the ext jar is the fixture class, byte for byte.
  TempDir tmp;
  const CommandResult r = runCommand({kUnzip, "-q", kFakeJreExtJar, "-d", tmp.path()});
  ASSERT_EQ(0, r.exitCode) << r.output;
  EXPECT_EQ(readFileBytes(std::string(kFixtureClasses) + "/fixtures/ext/ExtensionClass.class"),
            readFileBytes(tmp.file("fixtures/ext/ExtensionClass.class")));
}
