// The Java image reader over run-time images made by jlink (no jmods; the class library in
// lib/modules): lookups through the hash tables, listings, compressed resources, the class
// repository over such a home, JDK 25 where the machine has it, and damaged images.
#include "ClassRepository.h"
#include "JavaImage.h"
#include "ReaderTestSupport.h"
#include "TestSupport.h"
#include "writer_corpus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using kavrin_test::TempDir;

namespace {

const std::string kImageHome = kavrin_test::kJlinkImage;
const std::string kImage = kImageHome + "/lib/modules";
constexpr std::size_t kMax = ClassRepository::kMaxClassBytes;

// "/module/a/B.class" to the bytes of that class in JDK 17's java.base and java.logging jmods.
const std::map<std::string, std::vector<unsigned char>>& jmodClasses() {
  static const std::map<std::string, std::vector<unsigned char>> classes = [] {
    std::map<std::string, std::vector<unsigned char>> all;
    for (const char* module : {"java.base", "java.logging"}) {
      const std::string jmod = std::string(kavrin_test::kJdkHome) + "/jmods/" + module + ".jmod";
      writer_corpus::forEachArchiveClass(jmod, "classes/", [&](const writer_corpus::ClassBytes& c) {
        all["/" + std::string(module) + "/" + c.name.substr(8)] = c.bytes;
      });
    }
    return all;
  }();
  return classes;
}

// jlink writes some classes of its own (method-handle holders and species, the system module
// tables) in place of the jmods' or beside them.
bool madeByJlink(const std::string& name) {
  return name.rfind("/java.base/java/lang/invoke/", 0) == 0 || name.rfind("/java.base/jdk/internal/module/", 0) == 0;
}

// Every class of an image is read, and each one the jmods hold has their bytes.
void expectClassesOfTheJmods(const JavaImage& image, std::size_t atLeast) {
  std::size_t identical = 0;
  std::vector<std::string> differing;
  image.forEachLocation([&](const JavaImage::Location& location) {
    if (location.extension != "class" || location.module == "modules" || location.module == "packages") return;
    const std::string name = location.name();
    std::vector<unsigned char> bytes;
    try {
      bytes = image.read(location, kMax);
    } catch (const JavaImageError& e) {
      differing.push_back(e.what());
      return;
    }
    auto jmod = jmodClasses().find(name);
    if (jmod != jmodClasses().end() && jmod->second == bytes)
      ++identical;
    else if (!madeByJlink(name))
      differing.push_back(name);
  });
  EXPECT_GE(identical, atLeast);
  EXPECT_TRUE(differing.empty()) << differing.size() << " differ, first " << differing.front();
}

// Opens and uses an image the way the repository and the wizard do. Returns the error text, or
// "" when everything went through.
std::string useImage(const std::string& path) {
  try {
    std::shared_ptr<const JavaImage> image = JavaImage::open(path);
    image->moduleNames();
    image->classEntries("java.base");
    std::vector<unsigned char> bytes;
    for (const char* name : {"java/lang/Object", "java/lang/String", "java/util/ArrayList"})
      image->readClass(name, "", kMax, bytes);
    return std::string();
  } catch (const JavaImageError& e) {
    return e.what();
  }
}

class JavaImageTest : public reader_test::NoModulesTest {
 protected:
  TempDir dir{"kavrin-image"};
};

}  // namespace

TEST_F(JavaImageTest, EveryResourceIsFoundThroughTheHashTables) {
  std::shared_ptr<const JavaImage> image = JavaImage::open(kImage);
  std::size_t visited = 0;
  std::size_t classes = 0;
  std::vector<std::string> lost;
  image->forEachLocation([&](const JavaImage::Location& location) {
    ++visited;
    classes += location.extension == "class";
    JavaImage::Location found;
    if (!image->find(location.name(), found) || found.offset != location.offset || found.size != location.size)
      lost.push_back(location.name());
  });
  EXPECT_EQ(visited, image->resourceCount());
  EXPECT_GT(classes, 6400u);
  EXPECT_TRUE(lost.empty()) << lost.size() << " not found, first " << lost.front();
  JavaImage::Location none;
  EXPECT_FALSE(image->find("/java.base/java/lang/NoSuchClass.class", none));
  EXPECT_FALSE(image->find("", none));

  EXPECT_EQ(image->moduleNames(), (std::vector<std::string>{"java.base", "java.logging"}));
  EXPECT_EQ(image->moduleOfPackage("java.util.logging"), "java.logging");
  EXPECT_EQ(image->moduleOfPackage("java/lang"), "java.base");
  EXPECT_EQ(image->moduleOfPackage("no.such.pkg"), "");
  const std::vector<std::string> logging = image->classEntries("java.logging");
  EXPECT_NE(std::find(logging.begin(), logging.end(), "java/util/logging/Logger.class"), logging.end());
  EXPECT_EQ(std::find(logging.begin(), logging.end(), "java/lang/String.class"), logging.end());
  EXPECT_EQ(image->classEntries("").size(), classes);

  expectClassesOfTheJmods(*image, 6400);
}

TEST_F(JavaImageTest, CompressedResources) {
  // "zip" compression reads back the jmods' bytes.
  std::shared_ptr<const JavaImage> zipped = JavaImage::open(std::string(kavrin_test::kJlinkZipImage) + "/lib/modules");
  JavaImage::Location string;
  ASSERT_TRUE(zipped->find("/java.base/java/lang/String.class", string));
  EXPECT_NE(string.compressedSize, 0u);
  EXPECT_LT(string.compressedSize, string.size);
  expectClassesOfTheJmods(*zipped, 6400);

  // Constant-string sharing is not read, and says so; the repository finds nothing there.
  const std::string shared = std::string(kavrin_test::kJlinkSharedStringsImage) + "/lib/modules";
  const std::string error = useImage(shared);
  EXPECT_NE(error.find("Cannot read the Java image " + shared +
                       ": /java.base/java/lang/Object.class is "
                       "compressed with \"compact-cp\""),
            std::string::npos)
      << error;
  EXPECT_NE(error.find("only \"zip\""), std::string::npos) << error;
  ClassRepository::addModule(shared);
  ClassRepository loader;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(loader.loadClass("java.lang.String", ""));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("compact-cp"), std::string::npos);
}

TEST_F(JavaImageTest, RepositoryOverAHomeWithoutJmods) {
  ASSERT_FALSE(fs::exists(kImageHome + "/jmods"));
  ClassRepository::resetModules(kImageHome);
  EXPECT_EQ(ClassRepository::modules.count(kImage), 1u);
  EXPECT_EQ(jdkClassLibrary(kImageHome, false), std::vector<std::string>{kImage});
  EXPECT_EQ(jdkClassLibrary(kImageHome, true),
            (std::vector<std::string>{kImage + "/java.base", kImage + "/java.logging"}));
  EXPECT_EQ(jdkClassLibrary(kavrin_test::kJdkHome, false).size(), 70u) << "JDK 17 keeps its jmods";
  EXPECT_TRUE(jdkClassLibrary(dir.path(), true).empty());

  testing::internal::CaptureStderr();
  for (const char* name : {"java.lang.Object", "java.lang.String", "java/util/ArrayList", "java.util.logging.Logger"}) {
    SCOPED_TRACE(name);
    ClassRepository loader;
    ASSERT_TRUE(loader.loadClass(name, ""));
    EXPECT_EQ(loader.getModulePath(), kImage);
    EXPECT_EQ(loader.getVersion()[3], 61);
  }
  ClassRepository object;
  object.loadClass("java.lang.Object", "");
  EXPECT_TRUE(object.hasNativeMethods());
  ClassRepository runnable;
  runnable.loadClass("java.lang.Runnable", "");
  EXPECT_TRUE(runnable.isInterface());
  ClassRepository missing;
  EXPECT_FALSE(missing.loadClass("java.awt.Frame", "")) << "java.desktop is not in the image";
  EXPECT_FALSE(missing.loadClass("NoPackage", ""));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  // One module of the image as a module of its own.
  reset();
  ClassRepository::addModule(kImage + "/java.base");
  ClassRepository base;
  EXPECT_TRUE(base.loadClass("java.util.HashMap", ""));
  EXPECT_EQ(base.getModulePath(), kImage + "/java.base");
  EXPECT_FALSE(base.loadClass("java.util.logging.Level", ""));
  ClassRepository hinted;
  EXPECT_TRUE(hinted.loadClass("java.util.logging.Level", kImage + "/java.logging"));
  EXPECT_EQ(hinted.getModulePath(), kImage + "/java.logging");
}

TEST_F(JavaImageTest, Jdk25HomeWithoutJmods) {
  const std::string home = kavrin_test::kJdk25Home;
  if (!fs::exists(home + "/lib/modules")) GTEST_SKIP() << "no JDK 25 at " << home << ": its image is not tried";
  const std::vector<std::string> library = jdkClassLibrary(home, true);
  EXPECT_GT(library.size(), 60u);
  EXPECT_EQ(std::count(library.begin(), library.end(), home + "/lib/modules/java.base"), 1);

  ClassRepository::resetModules(home);
  ClassRepository loader;
  ASSERT_TRUE(loader.loadClass("java.util.ArrayList", ""));
  EXPECT_EQ(loader.getModulePath(), home + "/lib/modules");
  EXPECT_EQ(loader.getVersion()[3], 69) << "class files of release 25";

  // Every class of the image reads.
  std::shared_ptr<const JavaImage> image = JavaImage::open(home + "/lib/modules");
  std::size_t classes = 0;
  image->forEachLocation([&](const JavaImage::Location& location) {
    if (location.extension == "class" && location.module != "modules" && location.module != "packages") {
      EXPECT_EQ(image->read(location, kMax).size(), location.size);
      ++classes;
    }
  });
  EXPECT_GT(classes, 20000u);
}

TEST_F(JavaImageTest, DamagedImagesGiveAClearError) {
  std::shared_ptr<const JavaImage> good = JavaImage::open(kImage);
  JavaImage::Location object;
  ASSERT_TRUE(good->find("/java.base/java/lang/Object.class", object));
  const std::vector<std::uint8_t> original = kavrin_test::readFileBytes(kImage);
  // The index ends where the resources begin; a prefix that holds it and java/lang/Object.
  std::size_t indexSize = 28 + 8 * std::size_t(good->resourceCount());
  indexSize += original[20] | (original[21] << 8) | (original[22] << 16) | (std::size_t(original[23]) << 24);
  indexSize += original[24] | (original[25] << 8) | (original[26] << 16) | (std::size_t(original[27]) << 24);
  const std::size_t prefix = indexSize + object.offset + object.size;

  const std::string path = dir.file("lib/modules");
  auto expectError = [&](const std::vector<std::uint8_t>& bytes, const std::string& fault) {
    kavrin_test::writeFile(path, bytes);
    const std::string error = useImage(path);
    EXPECT_EQ(error.rfind("Cannot read the Java image " + path + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(fault), std::string::npos) << error;
  };
  auto cut = [&](std::size_t size) { return std::vector<std::uint8_t>(original.begin(), original.begin() + size); };
  expectError({}, "shorter than the image header");
  expectError(cut(27), "shorter than the image header");
  expectError(cut(4096), "truncated: the index needs");
  expectError(cut(indexSize - 1), "truncated: the index needs");
  // The resources after java/lang/Object are cut off.
  expectError(cut(prefix), " lies past the end of the file");
  std::vector<std::uint8_t> bytes = cut(prefix);
  bytes[0] ^= 0xFF;
  expectError(bytes, "not a Java image");
  bytes = cut(prefix);
  bytes[6] = 2;
  expectError(bytes, "version 2.0 is not read");
  bytes = cut(prefix);
  bytes[19] = 0x7F;  // a table longer than the file
  expectError(bytes, "truncated: the index needs");

  // Random damage to the index: every outcome is an image that reads or a clear error.
  std::mt19937 random(1234);
  std::size_t errors = 0;
  for (int round = 0; round < 100; ++round) {
    bytes = cut(prefix);
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i)
      bytes[28 + random() % (indexSize - 28)] ^= static_cast<std::uint8_t>(1 + random() % 255);
    kavrin_test::writeFile(path, bytes);
    const std::string error = useImage(path);
    if (!error.empty()) {
      ++errors;
      EXPECT_EQ(error.rfind("Cannot read the Java image ", 0), 0u) << error;
    }
  }
  EXPECT_GT(errors, 0u);

  // Through the repository: one line on the standard error stream for the file, nothing found.
  kavrin_test::writeFile(path, cut(4096));
  ClassRepository::resetModules(dir.path());
  testing::internal::CaptureStderr();
  for (int i = 0; i < 2; ++i) {
    ClassRepository loader;
    EXPECT_FALSE(loader.loadClass("java.lang.String", ""));
  }
  const std::string told = testing::internal::GetCapturedStderr();
  EXPECT_EQ(told, "Cannot read the Java image " + path + ": truncated: the index needs " + std::to_string(indexSize) +
                      " bytes, the file has 4096\n");
}
