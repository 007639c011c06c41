// JNI export names, checked against the headers that `javac -h` wrote for the native fixtures.
#include "ProxygenTestSupport.h"
#include "TypeMapping.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

using proxygen_test::CleanGlobals;

namespace {

// Records the class's own native methods as the walker reports them, before any filter (the
// collector drops names with '$', which have JNI names all the same).
class NativeRecorder : public ProxyGenerator {
 public:
  using ProxyGenerator::ProxyGenerator;
  void addMethod(const MethodDescriptor& method, int16_t level) override {
    if (level == 0 && method.isNative()) natives.push_back(method);
    ProxyGenerator::addMethod(method, level);
  }
  std::vector<MethodDescriptor> natives;
};

// The export names of the native methods of one class, overloads counted among its natives.
std::set<std::string> exportNames(const std::string& dottedClassName) {
  NativeRecorder recorder(dottedClassName);
  recorder.loadMembers();
  std::map<std::string, int> perName;
  for (const MethodDescriptor& m : recorder.natives) ++perName[m.getName()];
  std::set<std::string> names;
  for (const MethodDescriptor& m : recorder.natives)
    names.insert(jniFunctionName(m.getName(), m.getSignature(), dottedClassName, perName[m.getName()] > 1));
  return names;
}

std::set<std::string> headerNames() {
  std::set<std::string> names;
  const std::string marker = "JNICALL ";
  for (const auto& entry : std::filesystem::directory_iterator(kavrin_test::kFixtureJniHeaders)) {
    const std::string text = kavrin_test::readFile(entry.path().string());
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
      const std::size_t begin = at + marker.size();
      const std::size_t end =
          text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_", begin);
      names.insert(text.substr(begin, end - begin));
    }
  }
  return names;
}

}  // namespace

TEST(JniNames, MangleRules) {
  EXPECT_EQ(jniMangle("java.lang.String"), "java_lang_String");
  EXPECT_EQ(jniMangle("set_x"), "set_1x");
  EXPECT_EQ(jniMangle("a.B$C"), "a_B_00024C");
  EXPECT_EQ(jniMangle("[Ljava.lang.String;I"), "_3Ljava_lang_String_2I");
  EXPECT_EQ(jniMangle("x-y z"), "x_0002dy_00020z");
  EXPECT_EQ(jniUnicodeEscape('$'), "_00024");
  EXPECT_EQ(jniUnicodeEscape('-'), "_0002d");
  EXPECT_EQ(jniUnicodeEscape(u'\u20ac'), "_020ac");
  // Non-ASCII text is escaped per UTF-16 unit, from UTF-8 and from the class file's modified UTF-8.
  EXPECT_EQ(jniMangle("gr\xC3\xB6\xC3\x9F"
                      "e"),
            "gr_000f6_000dfe");
  EXPECT_EQ(jniMangle("value\xF0\x9D\x91\xA5"), "value_0d835_0dc65");
  EXPECT_EQ(jniMangle("value\xED\xA0\xB5\xED\xB1\xA5"), "value_0d835_0dc65");
  EXPECT_EQ(jniMangle(std::string("a\xC0\x80"
                                  "b")),
            "a_00000b");
  // A byte that starts no sequence stands for itself.
  EXPECT_EQ(jniMangle("a\xFF"), "a_000ff");
  EXPECT_EQ(jniMangle(""), "");
}

TEST(JniNames, ShortAndLongNames) {
  EXPECT_EQ(jniFunctionName("getBytes", "(Ljava/lang/String;)[B", "java.lang.String", true),
            "Java_java_lang_String_getBytes__Ljava_lang_String_2");
  EXPECT_EQ(jniFunctionName("getBytes", "(Ljava/lang/String;)[B", "java.lang.String", false),
            "Java_java_lang_String_getBytes");
  EXPECT_EQ(jniFunctionName("run", "()V", "Top", true), "Java_Top_run__");
  EXPECT_EQ(jniFunctionName("m", "([[I[Ljava/lang/Object;)V", "a.B$C", true),
            "Java_a_B_00024C_m___3_3I_3Ljava_lang_Object_2");
  // Malformed descriptors do not crash.
  EXPECT_EQ(jniFunctionName("m", "", "A", true), "Java_A_m__");
  EXPECT_EQ(jniFunctionName("m", "(I", "A", true), "Java_A_m__I");
}

TEST(JniNames, EqualWhatJavacWritesForTheNativeFixtures) {
  CleanGlobals clean;
  proxygen_test::useJdkAndFixtures();
  std::set<std::string> computed;
  for (const char* cls : {"fixtures.natives.NativeMethods", "fixtures.natives.NativeMethods$Inner",
                          "fixtures.natives.Supplementary", "fixtures.Base", "fixtures.Middle", "fixtures.Derived",
                          "fixtures.delegate.DelegateTarget", "wizard.MemberSample", "wizard.OnlyNative"}) {
    const std::set<std::string> names = exportNames(cls);
    EXPECT_FALSE(names.empty()) << cls;
    computed.insert(names.begin(), names.end());
  }
  const std::set<std::string> expected = headerNames();
  ASSERT_GE(expected.size(), 18u);
  EXPECT_EQ(computed, expected);
  // The cases that matter, named.
  for (const char* name :
       {"Java_fixtures_natives_NativeMethods_add__II", "Java_fixtures_natives_NativeMethods_add__JJ",
        "Java_fixtures_natives_NativeMethods_count___3Ljava_lang_String_2",
        "Java_fixtures_natives_NativeMethods_under_1score", "Java_fixtures_natives_NativeMethods_dollar_00024sign",
        "Java_fixtures_natives_NativeMethods_gr_000f6_000dfe",
        "Java_fixtures_natives_NativeMethods_00024Inner_innerValue",
        "Java_fixtures_natives_Supplementary_value_0d835_0dc65"})
    EXPECT_EQ(computed.count(name), 1u) << name;
}
