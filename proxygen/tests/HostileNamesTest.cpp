// Class files with hostile names (line breaks, quotes, backslashes, trigraphs, comment ends,
// non-ASCII letters) give proxies, native skeletons included, that g++ and clang++ compile without
// a warning, trigraphs on: nothing from the class file reaches the preprocessor or the code as it
// stands.
#include "HostileClasses.h"
#include "ProxygenTestSupport.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(HostileNames, GeneratedSourcesCompileWithoutAWarning)
{
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

    std::vector<std::string> sources;
    for (const auto& e : std::filesystem::directory_iterator(out)) {
        if (e.path().extension() == ".cpp")
            sources.push_back(e.path().string());
    }
    ASSERT_EQ(sources.size(), 3u);
    const std::string jdk = kavrin_test::kJdkHome;
    for (const char* compiler : {"g++", "clang++"}) {
        for (const std::string& source : sources) {
            const kavrin_test::CommandResult r = kavrin_test::runCommand(
                {compiler, "-std=c++14", "-trigraphs", "-Wall", "-Werror", "-fsyntax-only", "-I" + out,
                 "-I" + std::string(kavrin_test::kSourceDir) + "/runtime/include", "-I" + jdk + "/include",
                 "-I" + jdk + "/include/linux", source});
            EXPECT_EQ(r.exitCode, 0) << compiler << " " << source << "\n" << r.output.substr(0, 4000);
        }
    }
}

}  // namespace
