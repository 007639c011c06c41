// Java names in generated C++: identifiers, string literals, comment text and file names, each
// checked against a table; and the escape table against the macros the compilers really define.
#include "CppNames.h"
#include "TestPaths.h"
#include "TestSupport.h"
#include "TypeMapping.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

typedef std::vector<std::pair<std::string, std::string>> Table;

TEST(CppNames, IdentifiersAreValidAndKeepTheirReadableParts) {
  const Table table = {
      {"plain", "plain"},
      {"a1_b", "a1_b"},
      {"Outer$Inner", "Outer_Inner"},
      // Keywords, alternative tokens, macros of the included headers, names generated code uses.
      {"delete", "delete_"},
      {"and", "and_"},
      {"xor_eq", "xor_eq_"},
      {"namespace", "namespace_"},
      {"co_await", "co_await_"},
      {"EOF", "EOF_"},
      {"NULL", "NULL_"},
      {"errno", "errno_"},
      {"stdin", "stdin_"},
      {"assert", "assert_"},
      {"INT_MAX", "INT_MAX_"},
      {"alloca", "alloca_"},
      {"JNI_VERSION_1_8", "JNI_VERSION_1_8_"},
      {"KAVRIN_ANYTHING", "KAVRIN_ANYTHING_"},
      {"jint", "jint_"},
      {"JObject_t", "JObject_t_"},
      {"jni_helpers", "jni_helpers_"},
      {"_simple_class_loader", "_simple_class_loader_"},
      // The compilers' own macros start with __ or _ and a capital.
      {"__LINE__", "__LINE___"},
      {"_Pragma", "_Pragma_"},
      {"_lower", "_lower"},
      {"", "_"},
      // Characters C++ does not take in an identifier.
      {"say\"hi", "say_u0022hi"},
      {"f()\n#error x", "f_u0028_u0029_u000a_u0023error_u0020x"},
      {"back\\slash", "back_u005cslash"},
      {"tri?\?/", "tri_u003f_u003f_u002f"},
      {"end*/", "end_u002a_u002f"},
      {"1st", "_u0031st"},
      {"gr\xc3\xb6\xc3\x9f"
       "e",
       "gr_u00f6_u00dfe"},
      {"\xe6\x97\xa5", "_u65e5"},
      // A supplementary character as class files (modified UTF-8) and as UTF-8 hold it.
      {"x\xed\xa0\xb5\xed\xb1\xa5", "x_U0001d465"},
      {"x\xf0\x9d\x91\xa5", "x_U0001d465"},
      // A byte that starts no character, and the modified UTF-8 zero.
      {"a\xff"
       "b",
       "a_u00ffb"},
      {"\xc0\x80", "_u0000"},
  };
  for (const auto& row : table) EXPECT_EQ(cppIdentifier(row.first), row.second) << row.first;
}

TEST(CppNames, SubstitutionsWinOverTheEscape) {
  std::map<std::string, std::string> substitutions = {{"delete", "erase"}, {"say\"hi", "sayHi"}};
  nameSubstitutions = &substitutions;
  EXPECT_EQ(substituteName("delete"), "erase");
  EXPECT_EQ(substituteName("say\"hi"), "sayHi");
  EXPECT_EQ(substituteName("union"), "union_");
  nameSubstitutions = nullptr;
}

TEST(CppNames, StringLiteralsHoldTheBytesAndNothingElse) {
  const Table table = {
      {"java/lang/String", "\"java/lang/String\""},
      {"say\"hi", "\"say\\\"hi\""},
      {"back\\", "\"back\\\\\""},
      {"tri?\?/", "\"tri\\?\\?/\""},
      {"f()\n#error x\r\t", "\"f()\\n#error x\\r\\t\""},
      {std::string("nul\0", 4) + "7", "\"nul\\0007\""},
      // Octal escapes have three digits, so a digit after one stays a digit.
      {"\xc3\xa9"
       "1",
       "\"\\303\\2511\""},
      // Encoded surrogates become the four bytes of UTF-8, which the runtime decodes.
      {"\xed\xa0\xb5\xed\xb1\xa5", "\"\\360\\235\\221\\245\""},
  };
  for (const auto& row : table) EXPECT_EQ(cppStringLiteral(row.first), row.second) << row.first;
  // JNI's own tables take the modified UTF-8 of the class file.
  EXPECT_EQ(cppStringLiteral("\xed\xa0\xb5\xed\xb1\xa5", true), "\"\\355\\240\\265\\355\\261\\245\"");
}

TEST(CppNames, CommentTextCanNeitherEndNorContinueTheComment) {
  const Table table = {
      {"java.lang.String[] p0, int p1", "java.lang.String[] p0, int p1"},
      {"end*/ int x", "end\\u002a\\u002f int x"},
      {"line\\", "line\\u005c"},
      {"tri?\?/", "tri\\u003f\\u003f\\u002f"},
      {"a\nint injected;", "a\\u000aint injected;"},
      {"gr\xc3\xb6\xc3\x9f"
       "e",
       "gr\\u00f6\\u00dfe"},
      {"x\xf0\x9d\x91\xa5", "x\\ud835\\udc65"},
  };
  for (const auto& row : table) EXPECT_EQ(cppCommentText(row.first), row.second) << row.first;
}

TEST(CppNames, FileStemsCanStandInAnIncludeLine) {
  const Table table = {
      {"java.util.Map$Entry", "java_util_Map$Entry"},
      {"a.b-c", "a_b-c"},
      {"a.say\"hi", "a_say_u0022hi"},
      {"a.back\\slash?\?/", "a_back_u005cslash_u003f_u003f_u002f"},
      {"a.line\nbreak", "a_line_u000abreak"},
      {"a.gr\xc3\xb6\xc3\x9f"
       "e",
       "a_gr\xc3\xb6\xc3\x9f"
       "e"},
      {"a.x\xed\xa0\xb5\xed\xb1\xa5", "a_x\xf0\x9d\x91\xa5"},
      {"a.\xff", "a__u00ff"},
  };
  for (const auto& row : table) EXPECT_EQ(generatedFileStem(row.first), row.second) << row.first;
}

// Every macro that the headers of generated code, and the standard headers a project may include
// before them, define - as g++ and clang++ define them, in standard and GNU modes - is escaped.
TEST(CppNames, EveryMacroOfTheIncludedHeadersIsEscaped) {
  kavrin_test::TempDir dir("kavrin-cppnames");
  std::ostringstream source;
  for (const char* header : {"JNIInteface.h", "jni.h"}) source << "#include <" << header << ">\n";
  for (const char* header :
       {"cassert",  "cctype",  "cerrno",    "cfenv",      "cfloat",    "cinttypes", "climits", "clocale",
        "cmath",    "csetjmp", "csignal",   "cstdarg",    "cstddef",   "cstdint",   "cstdio",  "cstdlib",
        "cstring",  "ctime",   "cuchar",    "cwchar",     "cwctype",   "string",    "vector",  "map",
        "iostream", "memory",  "algorithm", "functional", "stdexcept", "atomic",    "thread"})
    source << "#include <" << header << ">\n";
  const std::string file = dir.file("headers.cpp");
  kavrin_test::writeFile(file, source.str());

  const std::string jdk = kavrin_test::kJdkHome;
  std::set<std::string> unescaped;
  int runs = 0;
  for (const char* compiler : {"g++", "clang++"}) {
    for (const char* standard : {"-std=c++17", "-std=gnu++17", "-std=c++20"}) {
      const kavrin_test::CommandResult r = kavrin_test::runCommand(
          {compiler, standard, "-dM", "-E", "-I" + std::string(kavrin_test::kSourceDir) + "/runtime/include",
           "-I" + jdk + "/include", "-I" + jdk + "/include/linux", file});
      if (r.exitCode == 127) continue;  // a compiler that is not installed
      ASSERT_EQ(r.exitCode, 0) << compiler << " " << standard << "\n" << r.output.substr(0, 2000);
      ++runs;
      std::istringstream lines(r.output);
      for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string define;
        std::string name;
        words >> define >> name;
        name = name.substr(0, name.find('('));
        if (define == "#define" && !isReservedCppName(name)) unescaped.insert(name);
      }
    }
  }
  EXPECT_GE(runs, 3);
  std::string names;
  for (const std::string& name : unescaped) names += " " + name;
  EXPECT_TRUE(unescaped.empty()) << "macros that Java names would reach unescaped:" << names;
}

}  // namespace
