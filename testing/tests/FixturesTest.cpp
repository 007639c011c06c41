// The Java fixtures: compiled in both variants, packed, runnable, with the JNI headers javac writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace kavrin_test;

namespace {

const std::vector<std::string> kExpectedClasses = {
    "DefaultPackageFixture",
    "fixtures/Base",
    "fixtures/Color",
    "fixtures/Constants",
    "fixtures/ConstantsPrinter",
    "fixtures/Derived",
    "fixtures/FinalClass",
    "fixtures/Generic",
    "fixtures/Lambdas",
    "fixtures/Members",
    "fixtures/Middle",
    "fixtures/Named",
    "fixtures/Outer",
    "fixtures/Outer$1",
    "fixtures/Outer$1Local",
    "fixtures/Outer$Inner",
    "fixtures/Outer$StaticNested",
    "fixtures/Outer$StaticNested$Deep",
    "fixtures/Overloads",
    "fixtures/Sized",
    "fixtures/Thrower",
    "fixtures/delegate/DelegateCaller",
    "fixtures/delegate/DelegateMiddle",
    "fixtures/delegate/DelegateRoot",
    "fixtures/delegate/DelegateTarget",
    "fixtures/delegate/FinalOverride",
    "fixtures/delegate/Greeter",
    "fixtures/delegate/Plain",
    "fixtures/delegate/Sealed",
    "fixtures/ext/ExtensionClass",
    "fixtures/impl/Child",
    "fixtures/impl/Counter",
    "fixtures/impl/Everything",
    "fixtures/impl/EverythingCaller",
    "fixtures/impl/EverythingJava",
    "fixtures/impl/Identified",
    "fixtures/impl/Marker",
    "fixtures/natives/NativeDriver",
    "fixtures/natives/NativeMethods",
    "fixtures/natives/NativeMethods$Inner",
    "fixtures/natives/Supplementary",
};

std::uint16_t u2(const std::vector<std::uint8_t>& b, std::size_t at) {
  if (at + 2 > b.size()) throw std::runtime_error("class file ends early");
  return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

// The tags of a class file's constant pool, in pool order (the second slot of a long or double
// is not listed). Throws on an unknown tag or a short file.
std::vector<int> constantPoolTags(const std::vector<std::uint8_t>& b) {
  if (b.size() < 10 || b[0] != 0xCA || b[1] != 0xFE || b[2] != 0xBA || b[3] != 0xBE)
    throw std::runtime_error("not a class file");
  std::vector<int> tags;
  const unsigned count = u2(b, 8);
  std::size_t at = 10;
  for (unsigned slot = 1; slot < count; ++slot) {
    if (at >= b.size()) throw std::runtime_error("constant pool ends early");
    const int tag = b[at++];
    tags.push_back(tag);
    switch (tag) {
      case 1:
        at += 2 + u2(b, at);
        break;  // Utf8
      case 3:
      case 4:
        at += 4;
        break;  // Integer, Float
      case 5:
      case 6:
        at += 8;
        ++slot;
        break;  // Long, Double: two slots
      case 7:
      case 8:
      case 16:
      case 19:
      case 20:
        at += 2;
        break;  // Class, String, MethodType, Module, Package
      case 9:
      case 10:
      case 11:
      case 12:
      case 17:
      case 18:
        at += 4;
        break;  // refs, NameAndType, Dynamic, InvokeDynamic
      case 15:
        at += 3;
        break;  // MethodHandle
      default:
        throw std::runtime_error("unknown constant-pool tag " + std::to_string(tag));
    }
  }
  if (at > b.size()) throw std::runtime_error("constant pool ends early");
  return tags;
}

std::string classFile(const char* root, const std::string& name) { return std::string(root) + "/" + name + ".class"; }

std::vector<std::string> lines(const std::string& text) {
  std::istringstream in(text);
  return kavrin_test::readLines(in);
}

}  // namespace

TEST(Fixtures, EveryExpectedClassIsCompiledInBothVariantsAndPacked) {
  const std::vector<std::string> jarEntries = listArchiveClasses(kFixtureJar);
  const std::set<std::string> inJar(jarEntries.begin(), jarEntries.end());
  for (const std::string& name : kExpectedClasses) {
    for (const char* root : {kFixtureClasses, kFixtureClassesNoDebug}) {
      const std::vector<std::uint8_t> bytes = readFileBytes(classFile(root, name));
      ASSERT_GE(bytes.size(), 8u) << name;
      EXPECT_EQ(0xCAFEBABEu, static_cast<unsigned>(bytes[0] << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3])) << name;
      EXPECT_EQ(52, u2(bytes, 6)) << name << ": --release 8 writes version 52";
    }
    EXPECT_TRUE(inJar.count(name + ".class")) << name << " missing from " << kFixtureJar;
  }
  // Both variants hold the same set of classes.
  auto count = [](const char* root) {
    std::size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(root)) n += e.path().extension() == ".class";
    return n;
  };
  EXPECT_EQ(count(kFixtureClasses), count(kFixtureClassesNoDebug));
  EXPECT_EQ(count(kFixtureClasses), inJar.size());
}

TEST(Fixtures, DebugVariantCarriesMoreInformation) {
  std::size_t larger = 0;
  for (const std::string& name : kExpectedClasses) {
    const auto g = fs::file_size(classFile(kFixtureClasses, name));
    const auto none = fs::file_size(classFile(kFixtureClassesNoDebug, name));
    EXPECT_GE(g, none) << name;
    larger += g > none;
  }
  EXPECT_GT(fs::file_size(classFile(kFixtureClasses, "fixtures/Members")),
            fs::file_size(classFile(kFixtureClassesNoDebug, "fixtures/Members")));
  EXPECT_GT(larger, kExpectedClasses.size() / 2);
}

TEST(Fixtures, LambdaClassHasMethodHandleMethodTypeAndInvokeDynamicEntries) {
  for (const char* root : {kFixtureClasses, kFixtureClassesNoDebug}) {
    const std::vector<int> tags = constantPoolTags(readFileBytes(classFile(root, "fixtures/Lambdas")));
    const std::set<int> set(tags.begin(), tags.end());
    EXPECT_TRUE(set.count(15)) << root;
    EXPECT_TRUE(set.count(16)) << root;
    EXPECT_TRUE(set.count(18)) << root;
  }
  // A class without lambdas has none of them (string concatenation for Java 8 uses StringBuilder).
  const std::vector<int> tags = constantPoolTags(readFileBytes(classFile(kFixtureClasses, "fixtures/Members")));
  const std::set<int> set(tags.begin(), tags.end());
  EXPECT_FALSE(set.count(15) || set.count(16) || set.count(18));
  EXPECT_TRUE(set.count(5)) << "Members has long constants in its pool";
}

TEST(Fixtures, ConstantPoolScannerRejectsDamagedInput) {
  std::vector<std::uint8_t> bytes = readFileBytes(classFile(kFixtureClasses, "fixtures/Constants"));
  const std::vector<int> tags = constantPoolTags(bytes);
  EXPECT_EQ(u2(bytes, 8), tags.size() + static_cast<std::size_t>(std::count(tags.begin(), tags.end(), 5)) +
                              static_cast<std::size_t>(std::count(tags.begin(), tags.end(), 6)) + 1);
  std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 40);
  EXPECT_THROW(constantPoolTags(cut), std::runtime_error);
  bytes[10] = 2;  // no such tag
  EXPECT_THROW(constantPoolTags(bytes), std::runtime_error);
}

TEST(Fixtures, JniHeadersNameEveryNative) {
  const std::string dir = kFixtureJniHeaders;
  const std::string natives = readFile(dir + "/fixtures_natives_NativeMethods.h");
  for (const char* fn : {
           "Java_fixtures_natives_NativeMethods_add__II",
           "Java_fixtures_natives_NativeMethods_add__JJ",
           "Java_fixtures_natives_NativeMethods_echo",
           "Java_fixtures_natives_NativeMethods_under_1score",
           "Java_fixtures_natives_NativeMethods_dollar_00024sign",
           "Java_fixtures_natives_NativeMethods_gr_000f6_000dfe",
           "Java_fixtures_natives_NativeMethods__003bc_003ad_003b3_003b5_003b8_003bf_003c2",
           "Java_fixtures_natives_NativeMethods_count___3I",
           "Java_fixtures_natives_NativeMethods_count___3Ljava_lang_String_2",
           "Java_fixtures_natives_NativeMethods_raise",
       }) {
    EXPECT_NE(std::string::npos, natives.find(std::string(fn) + "\n")) << fn;
  }
  EXPECT_NE(std::string::npos, readFile(dir + "/fixtures_natives_NativeMethods_Inner.h")
                                   .find("Java_fixtures_natives_NativeMethods_00024Inner_innerValue"));
  EXPECT_NE(std::string::npos, readFile(dir + "/fixtures_natives_Supplementary.h")
                                   .find("Java_fixtures_natives_Supplementary_value_0d835_0dc65"));
  EXPECT_NE(std::string::npos, readFile(dir + "/fixtures_Base.h").find("Java_fixtures_Base_baseNative"));
  EXPECT_NE(
      std::string::npos,
      readFile(dir + "/fixtures_delegate_DelegateTarget.h").find("Java_fixtures_delegate_DelegateTarget_nativeMethod"));
  // Only classes with native methods get a header.
  EXPECT_FALSE(fs::exists(dir + "/fixtures_Members.h"));
  EXPECT_FALSE(fs::exists(dir + "/fixtures_natives_NativeDriver.h"));
}

TEST(Fixtures, ConstantsPrinterPrintsEveryConstant) {
  const std::vector<std::string> expected = {
      "BOOLEAN_TRUE=true",
      "BOOLEAN_FALSE=false",
      "BYTE_VALUE=-128",
      "CHAR_VALUE=75",
      "CHAR_NON_ASCII=233",
      "SHORT_VALUE=-12345",
      "INT_VALUE=42",
      "INT_NEGATIVE=-2147483647",
      "INT_MIN=-2147483648",
      "INT_MAX=2147483647",
      "INT_HEX=65535",
      "LONG_BIG=6442450944",
      "LONG_SMALL=7",
      "LONG_MAX=9223372036854775807",
      "LONG_MIN=-9223372036854775808",
      "FLOAT_VALUE=0.1",
      "FLOAT_PI=3.1415927",
      "FLOAT_MIN=1.4E-45",
      "FLOAT_MAX=3.4028235E38",
      "FLOAT_NAN=NaN",
      "FLOAT_POSITIVE_INFINITY=Infinity",
      "FLOAT_NEGATIVE_INFINITY=-Infinity",
      "DOUBLE_PI=3.141592653589793",
      "DOUBLE_E=2.718281828459045",
      "DOUBLE_VALUE=0.1",
      "DOUBLE_NEGATIVE_ZERO=-0.0",
      "DOUBLE_MIN=4.9E-324",
      "DOUBLE_MAX=1.7976931348623157E308",
      "DOUBLE_NAN=NaN",
      "DOUBLE_POSITIVE_INFINITY=Infinity",
      "DOUBLE_NEGATIVE_INFINITY=-Infinity",
      "STRING_VALUE=Hello, Kavrin",
      "STRING_EMPTY=",
      "STRING_ESCAPES=tab\there \"quoted\" back\\slash",
      "STRING_NON_ASCII=gr\xc3\xb6\xc3\x9f"
      "e \xce\xbb \xe2\x82\xac",
  };
  // From the jar and from the class folder, whatever the locale.
  ScopedEnv locale("LC_ALL", std::string("C"));
  for (const char* cp : {kFixtureJar, kFixtureClassesNoDebug}) {
    const CommandResult r = runJava(cp, {"fixtures.ConstantsPrinter"});
    ASSERT_EQ(0, r.exitCode) << r.output;
    EXPECT_EQ(expected, lines(r.output)) << cp;
  }
}

TEST(Fixtures, NativeDriverReportsEachCallWithoutLibrary) {
  const CommandResult r = runJava(kFixtureJar, {"fixtures.natives.NativeDriver"});
  ASSERT_EQ(0, r.exitCode) << r.output;
  const std::vector<std::string> out = lines(r.output);
  ASSERT_EQ(14u, out.size()) << r.output;
  for (const std::string& line : out)
    EXPECT_NE(std::string::npos, line.find("!java.lang.UnsatisfiedLinkError")) << line;
  EXPECT_EQ(0u, out[0].rfind("add(2,3)!", 0));
}
