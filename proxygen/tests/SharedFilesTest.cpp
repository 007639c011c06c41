// The banner and the shared files "defproxies.h" and "defproxies.cpp", and the proxy driver that
// writes them after a run over named classes.
#include "GenerationLog.h"
#include "ProxygenTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

using proxygen_test::CleanGlobals;

namespace {

const std::string kBanner =
    "/**************************************************************************\n"
    " *\n"
    " * The code is generated for Microsoft VC++ 6.0\n"
    " *\n"
    " * Do not change the content of this file.\n"
    " *\n"
    " **************************************************************************/\n"
    "\n";

const std::string kHeaderPreamble = kBanner +
                                    "#pragma once\n"
                                    "\n"
                                    "#ifdef _MSC_VER\n"
                                    "#pragma warning(disable: 4305 4309 4715)\n"
                                    "#endif\n"
                                    "#include \"JNIHelpers.h\"\n"
                                    "\n"
                                    "namespace CPP_Java_Bridge {\n"
                                    "using namespace ::jni_helpers;\n"
                                    "};\n";

const std::string kSourcePreamble = kBanner +
                                    "#include \"defproxies.h\"\n"
                                    "\n"
                                    "using namespace ::jni_helpers;\n";

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) ++count;
  return count;
}

class SharedFiles : public ::testing::Test {
 protected:
  void write(bool includeStdafx = false) {
    ASSERT_TRUE(genDefProxies(dir.path() + "/", includeStdafx));
    header = kavrin_test::readFile(dir.file("defproxies.h"));
    source = kavrin_test::readFile(dir.file("defproxies.cpp"));
  }

  CleanGlobals clean;
  kavrin_test::TempDir dir{"kavrin-defproxies"};
  std::string header;
  std::string source;
};

TEST(Banner, IsTheFixedCommentBox) {
  std::ostringstream out;
  genBanner(out);
  EXPECT_EQ(out.str(), kBanner);
}

TEST_F(SharedFiles, EmptySetsGiveThePreamblesOnly) {
  write();
  EXPECT_EQ(header, kHeaderPreamble);
  EXPECT_EQ(source, kSourcePreamble);
  write(true);
  EXPECT_EQ(source, kBanner + "#include \"stdafx.h\"\n#include \"defproxies.h\"\n\nusing namespace ::jni_helpers;\n");
}

TEST_F(SharedFiles, DefaultClassOfAPackagedClass) {
  referencedClasses.insert("java.lang.Object");
  write();
  EXPECT_EQ(header, kHeaderPreamble +
                        "\n"
                        "namespace CPP_Java_Bridge {\n"
                        "    namespace java {\n"
                        "        namespace lang {\n"
                        "#ifdef __JNIHDLL\n"
                        "            class __declspec(dllexport) Object: public virtual JObject_t {\n"
                        "#elif __USEDLL\n"
                        "            class __declspec(dllimport) Object: public virtual JObject_t {\n"
                        "#else\n"
                        "            class Object: public virtual JObject_t {\n"
                        "#endif\n"
                        "            public:\n"
                        "                Object(){}\n"
                        "                Object(const JObject_t& o);\n"
                        "                Object& operator = (const jobject o);\n"
                        "            };\n"
                        "        }\n"
                        "    }\n"
                        "};\n"
                        "\n");
  EXPECT_EQ(source, kSourcePreamble +
                        "\n"
                        "CPP_Java_Bridge::java::lang::Object::Object(const JObject_t& o):JObject_t(o){}\n"
                        "CPP_Java_Bridge::java::lang::Object& CPP_Java_Bridge::java::lang::Object::operator = "
                        "(const jobject o) {\n"
                        "    Assign(o);\n"
                        "    return *this;\n"
                        "}\n");
}

TEST_F(SharedFiles, DefaultPackageClass) {
  referencedClasses.insert("DefaultPackageFixture");
  write();
  EXPECT_NE(header.find("namespace CPP_Java_Bridge {\n#ifdef __JNIHDLL\n"
                        "    class __declspec(dllexport) DefaultPackageFixture: public virtual JObject_t {\n"),
            std::string::npos);
  EXPECT_NE(header.find("    };\n};\n"), std::string::npos);
  EXPECT_NE(source.find("\nCPP_Java_Bridge::DefaultPackageFixture::DefaultPackageFixture(const JObject_t& o)"
                        ":JObject_t(o){}\n"),
            std::string::npos);
}

TEST_F(SharedFiles, NestedClassAndIncludeLines) {
  referencedClasses.insert("a.B$C");
  generatedProxies.insert("a.B$C");
  generatedProxies.insert("a.D");
  generatedImpls.insert("a.I");
  generatedDelegators.insert("a.D");
  write();
  EXPECT_NE(header.find("        class B_C: public virtual JObject_t {\n"), std::string::npos);
  EXPECT_NE(source.find("CPP_Java_Bridge::a::B_C::B_C(const JObject_t& o)"), std::string::npos);
  const std::string includes =
      "#include \"a_B$CJNIProxy.h\"\n"
      "#include \"a_DJNIProxy.h\"\n"
      "#include \"a_IJNIImpl.h\"\n"
      "#include \"a_DJNIDelegator.h\"\n";
  ASSERT_GE(header.size(), includes.size());
  EXPECT_EQ(header.substr(header.size() - includes.size()), includes);
}

TEST_F(SharedFiles, OneDefaultClassPerCppName) {
  // The repository records a nested class as it read it, the type mapping with '_'; the
  // substitutions can make two more names one.
  referencedClasses.insert("a.B$C");
  referencedClasses.insert("a.B_C");
  referencedClasses.insert("x.delete");
  referencedClasses.insert("x.erase");
  generatedProxies.insert("x.delete");
  std::map<std::string, std::string> substitutions = {{"delete", "erase"}};
  nameSubstitutions = &substitutions;
  write();
  nameSubstitutions = nullptr;
  EXPECT_EQ(occurrences(header, "        class B_C: public virtual JObject_t {\n"), 1u);
  EXPECT_EQ(occurrences(source, "::B_C::B_C(const JObject_t& o)"), 1u);
  EXPECT_EQ(occurrences(header, "        class erase: public virtual JObject_t {\n"), 1u);
  EXPECT_EQ(occurrences(source, "CPP_Java_Bridge::x::erase::erase(const JObject_t& o)"), 1u);
  EXPECT_EQ(header.find("class delete"), std::string::npos);
  // Include lines name the files as they were written.
  EXPECT_NE(header.find("#include \"x_deleteJNIProxy.h\"\n"), std::string::npos);
}

TEST_F(SharedFiles, SubstitutedPackagePart) {
  referencedClasses.insert("java.lang.Object");
  std::map<std::string, std::string> substitutions = {{"lang", "jlang"}};
  nameSubstitutions = &substitutions;
  write();
  nameSubstitutions = nullptr;
  EXPECT_NE(header.find("        namespace jlang {\n"), std::string::npos);
  EXPECT_NE(source.find("CPP_Java_Bridge::java::jlang::Object::Object(const JObject_t& o)"), std::string::npos);
}

TEST_F(SharedFiles, FolderThatCannotTakeTheFileIsLogged) {
  referencedClasses.insert("a.B");
  std::filesystem::create_directory(dir.file("defproxies.h"));
  EXPECT_FALSE(genDefProxies(dir.path() + "/", false));
  EXPECT_EQ(kavrin_test::readFile(logFilePath(dir.path() + "/")), "FAILED TO WRITE:" + dir.path() + "/defproxies.h\n");
  // Nothing is written to the file that did open.
  EXPECT_EQ(kavrin_test::readFile(dir.file("defproxies.cpp")), "");
  // A path under a regular file takes neither; the log there cannot be written either.
  kavrin_test::writeFile(dir.file("plain"), "x");
  EXPECT_FALSE(genDefProxies(dir.file("plain") + "/", false));
}

// The driver imitates a generation run: missing classes are logged, the shared files are written.
TEST(ProxyDriver, RunsOverClassesAndWritesTheSharedFiles) {
  kavrin_test::TempDir dir("kavrin-driver");
  const kavrin_test::CommandResult r = kavrin_test::runCommand(
      {PROXY_DRIVER, "-o", dir.path(), "--jdk", kavrin_test::kJdkHome, "-m", kavrin_test::kFixtureClasses,
       "fixtures.Named", "no.such.Thing", "DefaultPackageFixture"});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_EQ(kavrin_test::readFile(dir.file("KAVRIN.LOG")), "MISSING BYTECODE: no.such.Thing\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("fixtures_NamedJNIProxy.cpp")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("DefaultPackageFixtureJNIProxy.h")));
  const std::string header = kavrin_test::readFile(dir.file("defproxies.h"));
  EXPECT_NE(header.find("#include \"DefaultPackageFixtureJNIProxy.h\"\n#include \"fixtures_NamedJNIProxy.h\"\n"),
            std::string::npos);
  EXPECT_NE(header.find("            class Object: public virtual JObject_t {\n"), std::string::npos);
  EXPECT_EQ(header.find("no_such"), std::string::npos);

  const kavrin_test::CommandResult usage = kavrin_test::runCommand({PROXY_DRIVER, "fixtures.Named"});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_NE(usage.output.find("no output folder"), std::string::npos);
}

// A class file cut short, and a class whose super class was deleted after the fixtures were
// compiled: the first is not written, the second without what the deleted class would give, and
// the run ends with status 1; the log names both problems, and no parser speaks on the way.
TEST(ProxyDriver, UnreadableClassFilesAndMissingSuperTypesFailTheRun) {
  kavrin_test::TempDir dir("kavrin-driver");
  const std::string classes = dir.file("classes");
  std::filesystem::copy(kavrin_test::kFixtureClasses, classes, std::filesystem::copy_options::recursive);
  std::filesystem::remove(classes + "/fixtures/Middle.class");
  std::filesystem::resize_file(classes + "/fixtures/Color.class", 100);
  const kavrin_test::CommandResult r =
      kavrin_test::runCommand({PROXY_DRIVER, "-o", dir.file("out"), "--jdk", kavrin_test::kJdkHome, "-m", classes,
                               "fixtures.Color", "fixtures.Derived"});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  const std::string log = kavrin_test::readFile(dir.file("out/KAVRIN.LOG"));
  EXPECT_EQ(log,
            "Cannot process Bytecode: fixtures.Color: the class file ends early: a count or length in it goes past "
            "its 100 bytes\n"
            "MISSING SUPER TYPE: fixtures.Middle (of fixtures.Derived)\n");
  // What the log holds, and the summary; nothing else.
  EXPECT_EQ(r.output, log + "1 of 2 proxies written to " + dir.file("out/") + "; problems are listed in " +
                          dir.file("out/KAVRIN.LOG") + "\n");
  const std::string header = kavrin_test::readFile(dir.file("out/fixtures_DerivedJNIProxy.h"));
  EXPECT_NE(header.find(" level("), std::string::npos);
  EXPECT_EQ(header.find("middleOnly"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/fixtures_ColorJNIProxy.h")));
}

}  // namespace
