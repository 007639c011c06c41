// Class files with hostile names (line breaks, quotes, backslashes, trigraphs, comment ends,
// non-ASCII letters) give proxies, native skeletons included, and delegators that g++ and clang++
// compile without a warning, trigraphs on: nothing from the class file reaches the preprocessor or
// the code as it stands.
#include "HostileClasses.h"
#include "ProxygenTestSupport.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(HostileNames, GeneratedSourcesCompileWithoutAWarning) {
  proxygen_test::CleanGlobals clean;
  kavrin_test::TempDir dir("kavrin-hostile");
  const std::string classes = dir.file("classes");
  const std::string out = dir.file("out") + "/";
  const hostile::ClassFileMaker loadable = hostile::loadableHostileClass();
  const hostile::ClassFileMaker compileOnly = hostile::compileOnlyHostileClass();
  hostile::writeClass(classes, loadable);
  hostile::writeClass(classes, compileOnly);
  std::filesystem::create_directories(out);
  proxygen_test::useJdkAndFixtures();
  ClassRepository::addModule(classes);

  for (const hostile::ClassFileMaker* maker : {&loadable, &compileOnly}) {
    const std::string name = replaceChar(maker->name(), '/', '.');
    ProxyGenerator proxy(name);
    proxy.setImplementNatives(true);
    EXPECT_TRUE(proxy.genProxy(out, false)) << name;
  }
  ASSERT_TRUE(genDefProxies(out, false));
  // The delegators, by the library driver in a generation of their own.
  const std::string delegators = dir.file("delegators");
  const kavrin_test::CommandResult generation =
      kavrin_test::runCommand({LIBRARY_DRIVER, "-o", delegators, "--kind", "delegator", "--jdk", kavrin_test::kJdkHome,
                               "--public-of", classes});
  ASSERT_EQ(generation.exitCode, 0) << generation.output;

  std::vector<std::pair<std::string, std::string>> sources;  // folder, source
  for (const std::string& folder : {out, delegators + "/"}) {
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      if (e.path().extension() == ".cpp") sources.emplace_back(folder, e.path().string());
    }
  }
  ASSERT_EQ(sources.size(), 6u);
  const std::string jdk = kavrin_test::kJdkHome;
  for (const char* compiler : {"g++", "clang++"}) {
    for (const auto& [folder, source] : sources) {
      const kavrin_test::CommandResult r =
          kavrin_test::runCommand({compiler, "-std=c++14", "-trigraphs", "-Wall", "-Werror", "-fsyntax-only",
                                   "-I" + folder, "-I" + std::string(kavrin_test::kSourceDir) + "/runtime/include",
                                   "-I" + jdk + "/include", "-I" + jdk + "/include/linux", source});
      EXPECT_EQ(r.exitCode, 0) << compiler << " " << source << "\n" << r.output.substr(0, 4000);
    }
  }
}

}  // namespace
