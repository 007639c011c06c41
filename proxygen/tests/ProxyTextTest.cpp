// The text of generated proxies: unique names, the sections of the header and the source, and
// the native skeletons, read from files that genProxy writes for the fixture classes.
#include "ExportNames.h"
#include "GenerationLog.h"
#include "ProxygenTestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

using proxygen_test::CleanGlobals;
using proxygen_test::exportNames;
using proxygen_test::field;
using proxygen_test::method;

namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) ++count;
  return count;
}

// The header and source genProxy writes for one class of the JDK or the fixtures.
struct Generated {
  bool written = false;
  std::string header;
  std::string source;
};

class ProxyText : public ::testing::Test {
 protected:
  void SetUp() override { proxygen_test::useJdkAndFixtures(); }

  Generated generate(const std::string& className, bool natives = false, std::set<std::string>* selection = nullptr) {
    ProxyGenerator gen(className);
    gen.m_pMemberSelection = selection;
    gen.setImplementNatives(natives);
    Generated g;
    g.written = gen.genProxy(dir.path() + "/", false);
    const std::string stem = dir.path() + "/" + replaceChar(className, '.', '_') + proxySuffix;
    g.header = kavrin_test::readFile(stem + ".h");
    g.source = kavrin_test::readFile(stem + ".cpp");
    return g;
  }

  CleanGlobals clean;
  kavrin_test::TempDir dir{"kavrin-proxytext"};
};

TEST(UniqueNames, OverloadsFieldsAndConstructorsCountTogether) {
  CleanGlobals clean;
  ProxyGenerator gen("a.b.Bar");
  gen.addMethod(method("foo", "(J)V"), 0);
  gen.addMethod(method("foo", "(I)V"), 0);
  gen.addMethod(method("size", "()I"), 0);
  gen.addField(field("size", "I"), 0);
  gen.addField(field("size", "J"), 1);
  gen.addConstructor(method("<init>", "(I)V"), 0);
  gen.addConstructor(method("<init>", "()V"), 0);
  gen.makeFieldNames();
  gen.makeMethodNames();
  // The descriptor that sorts first gets the bare name.
  EXPECT_EQ(gen.m_methodNames["foo(I)V"], "foo");
  EXPECT_EQ(gen.m_methodNames["foo(J)V"], "foo_1");
  // A field and a method of one name: the method counts on from the fields.
  EXPECT_EQ(gen.m_fieldNames["sizeI"], "size");
  EXPECT_EQ(gen.m_fieldNames["sizeJ"], "size_1");
  EXPECT_EQ(gen.m_methodNames["size()I"], "size_2");
  EXPECT_EQ(gen.m_methodNames["<init>()V"], "Bar");
  EXPECT_EQ(gen.m_methodNames["<init>(I)V"], "Bar_1");
  EXPECT_EQ(gen.m_methodNames.size(), 5u);
}

// Every name a proxy declares is unique in its class and leaves the base class's and the standard
// block's members alone: methods keep their names, then constants and accessors, then the
// Visual C++ property, then the private IDs yield.
TEST(UniqueNames, DeclaredNamesCollideWithNothing) {
  CleanGlobals clean;
  ProxyGenerator gen("a.b.Bar");
  for (const char* name :
       {"foo", "foo_1", "Assign", "clear", "getProxyClass", "BarJNIProxy", "Bar_init", "get_x", "size", "delete"})
    gen.addMethod(method(name, "()I"), 0);
  gen.addMethod(method("foo", "(I)I"), 0);
  gen.addField(field("Bar", "I"), 0);
  gen.addField(field("x", "I"), 0);
  FieldDescriptor constant = field("size", "I", 0x0019);  // public static final, with a value
  constant.setConstValue(ConstValue(int32_t(9)));
  gen.addField(constant, 0);
  gen.addConstructor(method("<init>", "()V"), 0);
  gen.makeFieldNames();
  gen.makeMethodNames();

  const std::map<std::string, std::string> methods = {{"foo", "foo"},
                                                      {"foo_1", "foo_1"},
                                                      {"Assign", "Assign_"},
                                                      {"clear", "clear_"},
                                                      {"getProxyClass", "getProxyClass_"},
                                                      {"BarJNIProxy", "BarJNIProxy_"},
                                                      {"Bar_init", "Bar_init_"},
                                                      {"get_x", "get_x"},
                                                      {"size", "size"},
                                                      {"delete", "delete_"}};
  for (const auto& m : methods) EXPECT_EQ(gen.methodCppName(method(m.first, "()I")), m.second) << m.first;
  EXPECT_EQ(gen.fieldCppName(constant), "size_") << "a constant named like a method";
  EXPECT_EQ(gen.fieldCppName(field("x", "I")), "x_") << "get_x is a method";
  EXPECT_EQ(gen.fieldCppName(field("Bar", "I")), "Bar");
  EXPECT_EQ(gen.m_propertyCppNames["BarI"], "Bar");

  // IDs: foo()I, foo(I)I and foo_1()I; the field Bar and the constructor.
  std::set<std::string> ids;
  for (const auto& entry : gen.m_methodNames) EXPECT_TRUE(ids.insert(entry.second).second) << entry.second;
  EXPECT_TRUE(ids.insert(gen.m_fieldNames["BarI"]).second);
  EXPECT_EQ(gen.m_methodNames["foo(I)I"], "foo_1");
  EXPECT_EQ(gen.m_methodNames["foo_1()I"], "foo_1_1");
  EXPECT_EQ(gen.m_fieldNames["BarI"], "Bar");
  EXPECT_EQ(gen.m_methodNames["<init>()V"], "Bar_1");
}

// No Java method hides a public or protected member of JObject_t, as the runtime's header
// declares them today.
TEST(UniqueNames, NoMethodHidesAMemberOfTheBaseClass) {
  CleanGlobals clean;
  const std::string header =
      kavrin_test::readFile(std::string(kavrin_test::kSourceDir) + "/runtime/include/JNIHelpers.h");
  const std::size_t begin = header.find("class KAVRIN_API JObject_t {");
  ASSERT_NE(begin, std::string::npos);
  std::string body;  // the public and protected part, without comments
  std::istringstream lines(header.substr(begin, header.find("private:", begin) - begin));
  for (std::string line; std::getline(lines, line);) body += line.substr(0, line.find("//")) + "\n";
  std::set<std::string> members;
  for (std::size_t paren = body.find('('); paren != std::string::npos; paren = body.find('(', paren + 1)) {
    std::size_t start = paren;
    while (start > 0 && (std::isalnum(static_cast<unsigned char>(body[start - 1])) || body[start - 1] == '_')) --start;
    const std::string name = body.substr(start, paren - start);
    if (!name.empty() && name != "operator") members.insert(name);
  }
  EXPECT_GE(members.size(), 4u);
  ProxyGenerator gen("a.Bar");
  for (const std::string& name : members) gen.addMethod(method(name, "()V"), 0);
  gen.makeFieldNames();
  gen.makeMethodNames();
  for (const std::string& name : members) EXPECT_EQ(gen.methodCppName(method(name, "()V")), name + "_") << name;
}

TEST(UniqueNames, NestedClassConstructorsUseTheCppName) {
  CleanGlobals clean;
  ProxyGenerator gen("a.Outer$Inner");
  gen.addConstructor(method("<init>", "()V"), 0);
  gen.makeFieldNames();
  gen.makeMethodNames();
  EXPECT_EQ(gen.m_methodNames["<init>()V"], "Outer_Inner");
}

TEST_F(ProxyText, OverloadsGetUniqueIdsAndShareOneCppName) {
  const Generated g = generate("fixtures.Overloads");
  ASSERT_TRUE(g.written);
  for (const char* id : {"add_ID;", "add_1_ID;", "add_5_ID;", "count_5_ID;", "Overloads_2_ID;"})
    EXPECT_NE(g.header.find(std::string("jmethodID ") + id), std::string::npos) << id;
  // The field value keeps its name; the method value() counts on from it.
  EXPECT_NE(g.header.find("jfieldID  value_ID;"), std::string::npos);
  EXPECT_NE(g.header.find("jmethodID value_1_ID;"), std::string::npos);
  EXPECT_NE(g.header.find("jint value();"), std::string::npos);
  EXPECT_NE(g.header.find("jint get_value();"), std::string::npos);
  EXPECT_EQ(occurrences(g.header, " add("), 6u + 6u);  // comment and declaration of each overload
  EXPECT_NE(g.source.find("value_1_ID = ::jni_helpers::ProxyLookup::method(_lookup, clazz, \"value\", \"()I\");"),
            std::string::npos);
  // add(DD) sorts first.
  EXPECT_NE(g.source.find("add_ID = ::jni_helpers::ProxyLookup::method(_lookup, clazz, \"add\", \"(DD)D\");"),
            std::string::npos);
}

TEST_F(ProxyText, PrefixesNameMembersButNotIds) {
  setAddFieldPrefix(true);
  setAddMethodPrefix(true);
  const Generated g = generate("fixtures.Overloads");
  EXPECT_NE(g.header.find("jint mth_add(jint p0, jint p1);"), std::string::npos);
  EXPECT_NE(g.header.find("static jint mth_count();"), std::string::npos);
  EXPECT_NE(g.header.find("jint get_fld_value();"), std::string::npos);
  EXPECT_NE(g.header.find("void put_fld_value(jint p);"), std::string::npos);
  EXPECT_NE(g.header.find("jmethodID add_1_ID;"), std::string::npos);
  EXPECT_NE(g.header.find("jfieldID  value_ID;"), std::string::npos);
  EXPECT_EQ(g.header.find("mth_add_"), std::string::npos);
  EXPECT_NE(g.source.find("jint CPP_Java_Bridge::fixtures::OverloadsJNIProxy::mth_value() {"), std::string::npos);
  EXPECT_NE(g.source.find("jint CPP_Java_Bridge::fixtures::OverloadsJNIProxy::get_fld_value() {"), std::string::npos);
}

TEST_F(ProxyText, SubstitutionsApplyToPrefixedNamesAndPackages) {
  std::map<std::string, std::string> substitutions = {{"mth_count", "tally"}, {"fixtures", "fx"}};
  nameSubstitutions = &substitutions;
  setAddMethodPrefix(true);
  const Generated g = generate("fixtures.Overloads");
  nameSubstitutions = nullptr;
  EXPECT_NE(g.header.find("    namespace fx {"), std::string::npos);
  EXPECT_NE(g.header.find("static jint tally(jint p0);"), std::string::npos);
  EXPECT_NE(g.source.find("jint CPP_Java_Bridge::fx::OverloadsJNIProxy::tally(jint p0) {"), std::string::npos);
  // The Java names in lookups and in the class name stay.
  EXPECT_NE(g.source.find("_clazzName = \"fixtures/Overloads\";"), std::string::npos);
  EXPECT_NE(g.source.find("staticMethod(_lookup, _clazzName, \"count\", \"(I)I\", clazz)"), std::string::npos);
}

TEST_F(ProxyText, DefaultPackageClassSitsOneLevelIn) {
  const Generated g = generate("DefaultPackageFixture");
  EXPECT_TRUE(std::filesystem::exists(dir.file("DefaultPackageFixtureJNIProxy.h")));
  EXPECT_NE(g.header.find("\nnamespace CPP_Java_Bridge {\n#ifdef __JNIHDLL\n"
                          "    class __declspec(dllexport) DefaultPackageFixtureJNIProxy: "
                          "public CPP_Java_Bridge::DefaultPackageFixture {\n"),
            std::string::npos);
  EXPECT_NE(g.header.find("\n        static const char* _clazzName;\n"), std::string::npos);
  EXPECT_EQ(g.header.substr(g.header.size() - 10), "    };\n};\n");
  EXPECT_NE(g.source.find("const jint CPP_Java_Bridge::DefaultPackageFixtureJNIProxy::ANSWER = 42;"),
            std::string::npos);
  EXPECT_NE(g.source.find("void CPP_Java_Bridge::DefaultPackageFixtureJNIProxy::DefaultPackageFixture_init(){"),
            std::string::npos);
}

TEST_F(ProxyText, NestedClassKeepsDollarInFileNameOnly) {
  const Generated g = generate("fixtures.Outer$StaticNested");
  ASSERT_TRUE(g.written);
  EXPECT_TRUE(std::filesystem::exists(dir.file("fixtures_Outer$StaticNestedJNIProxy.cpp")));
  EXPECT_NE(
      g.header.find("        class Outer_StaticNestedJNIProxy: public CPP_Java_Bridge::fixtures::Outer_StaticNested {"),
      std::string::npos);
  EXPECT_NE(g.source.find("_clazzName = \"fixtures/Outer$StaticNested\";"), std::string::npos);
  EXPECT_NE(g.source.find("void CPP_Java_Bridge::fixtures::Outer_StaticNestedJNIProxy::Outer_StaticNested_init(){"),
            std::string::npos);
  EXPECT_EQ(generatedProxies.count("fixtures.Outer$StaticNested"), 1u);
}

TEST_F(ProxyText, HeaderCarriesNoDynamicThrowClausesAndOpensPublicAlways) {
  for (const char* cls : {"fixtures.Overloads", "fixtures.Named", "java.lang.Integer"}) {
    const Generated g = generate(cls);
    EXPECT_EQ(g.header.find("throw("), std::string::npos) << cls;
    EXPECT_EQ(occurrences(g.header, "\npublic:\n"), 1u) << cls;
    EXPECT_EQ(occurrences(g.header, "\nprivate:\n"), 1u) << cls;
    // public: comes after the IDs and the init function.
    EXPECT_LT(g.header.find("_init();"), g.header.find("\npublic:\n")) << cls;
    EXPECT_NE(g.header.find("#pragma once\n\n\nnamespace CPP_Java_Bridge {\n"), std::string::npos) << cls;
  }
}

TEST_F(ProxyText, PropertiesAreForMsvcOnly) {
  const Generated g = generate("fixtures.Members");
  const std::size_t fields = g.header.find("// Fields:\n#ifdef _MSC_VER\n");
  ASSERT_NE(fields, std::string::npos);
  const std::size_t end = g.header.find("#endif\n", fields);
  const std::size_t firstProperty = g.header.find("__declspec(property(");
  const std::size_t lastProperty = g.header.rfind("__declspec(property(");
  EXPECT_GT(firstProperty, fields);
  EXPECT_LT(lastProperty, end);
  EXPECT_NE(g.header.find("__declspec(property(get=get_finalField))\n"), std::string::npos);
  EXPECT_NE(g.header.find("__declspec(property(get=get_intField ,put=put_intField))\n"), std::string::npos);
  // A final field has a getter and no setter; a static one static accessors.
  EXPECT_NE(g.header.find("jint get_finalField();"), std::string::npos);
  EXPECT_EQ(g.header.find("put_finalField"), std::string::npos);
  EXPECT_NE(g.header.find("static void put_staticString(::jni_helpers::JStringHelper p);"), std::string::npos);
  EXPECT_NE(g.header.find("CPP_Java_Bridge::JIntArray2D get_intMatrixField();"), std::string::npos);
}

TEST_F(ProxyText, StandardCodeOfClassesAndInterfaces) {
  const Generated cls = generate("fixtures.Members");
  const Generated itf = generate("fixtures.Named");
  EXPECT_NE(cls.header.find("MembersJNIProxy(const JObject_t& o):JObject_t(o),clazz(0){"), std::string::npos);
  EXPECT_NE(cls.header.find("MembersJNIProxy(const jobject _peerObj):JObject_t(_peerObj),clazz(0){"),
            std::string::npos);
  EXPECT_NE(cls.header.find("MembersJNIProxy( MembersJNIProxy& _Obj):/*peerObj(0),*/clazz(0){"), std::string::npos);
  // Copy assignment shares the object through Assign.
  EXPECT_NE(cls.header.find("MembersJNIProxy& operator = (const MembersJNIProxy& o){\n"
                            "                Assign(o);\n                return *this;\n"),
            std::string::npos);
  EXPECT_NE(cls.header.find("MembersJNIProxy& operator = (const JObject_t& o){"), std::string::npos);
  EXPECT_NE(cls.header.find("#ifdef _MSC_VER\n            operator const JObject_t&() const {"), std::string::npos);
  // An interface proxy is made from a Java reference or copied from another one.
  EXPECT_EQ(itf.header.find("(const JObject_t& o):JObject_t(o)"), std::string::npos);
  EXPECT_NE(itf.header.find("NamedJNIProxy(const jobject _peerObj):JObject_t(_peerObj),clazz(0){"), std::string::npos);
  EXPECT_NE(itf.header.find("NamedJNIProxy( NamedJNIProxy& _Obj)"), std::string::npos);
  EXPECT_NE(itf.header.find("NamedJNIProxy& operator = (const NamedJNIProxy& o){"), std::string::npos);
  // Catch texts name the class with its Java package.
  EXPECT_NE(cls.header.find("CSmartString(\"fixtures::MembersJNIProxy::operator =:\\n\") + e.getMessage()"),
            std::string::npos);
}

TEST_F(ProxyText, ConstantsUseTheUniqueNameInBothFiles) {
  const Generated g = generate("proxytext.Shadowing");
  EXPECT_NE(g.header.find("            // int LIMIT;\n            static const jint LIMIT;\n"), std::string::npos);
  EXPECT_NE(g.header.find("            // long LIMIT;\n            static const jlong LIMIT_1;\n"), std::string::npos);
  EXPECT_NE(g.source.find("const jint CPP_Java_Bridge::proxytext::ShadowingJNIProxy::LIMIT = 7;"), std::string::npos);
  EXPECT_NE(g.source.find("const jlong CPP_Java_Bridge::proxytext::ShadowingJNIProxy::LIMIT_1 = 6442450944l;"),
            std::string::npos);
  // The inherited field size and the method size(): get_size and size() with the ID size_1.
  EXPECT_NE(g.header.find("jint get_size();"), std::string::npos);
  EXPECT_NE(g.header.find("jmethodID size_1_ID;"), std::string::npos);
}

TEST_F(ProxyText, ConstantsOfFloatingTypes) {
  const Generated d = generate("java.lang.Double");
  EXPECT_NE(d.source.find("::MAX_VALUE = 1.7976931348623157e+308;"), std::string::npos);
  EXPECT_NE(d.source.find("::MIN_VALUE = 4.9406564584124654e-324;"), std::string::npos);
  for (const char* skipped : {"NaN", "POSITIVE_INFINITY", "NEGATIVE_INFINITY"}) {
    EXPECT_EQ(d.header.find(std::string("static const jdouble ") + skipped), std::string::npos) << skipped;
    EXPECT_EQ(d.source.find(std::string("::") + skipped + " ="), std::string::npos) << skipped;
  }
  const Generated c = generate("fixtures.Constants");
  // Negative zero stays a floating literal.
  EXPECT_NE(c.source.find("::DOUBLE_NEGATIVE_ZERO = -0.0;"), std::string::npos);
  EXPECT_NE(c.source.find("::LONG_MIN_ = (-9223372036854775807l-1);"), std::string::npos);
  EXPECT_NE(c.source.find("::INT_VALUE = 42;"), std::string::npos);
  // A final field that is not a compile-time constant is a read-only property.
  EXPECT_NE(c.header.find("static CPP_Java_Bridge::java::lang::Integer get_NOT_A_CONSTANT();"), std::string::npos);
  EXPECT_EQ(c.header.find("put_NOT_A_CONSTANT"), std::string::npos);
}

TEST_F(ProxyText, MainGetsADefaultArgumentOnlyForStringArraysWithoutAShorterTwin) {
  const Generated g = generate("proxytext.Mains");
  EXPECT_NE(g.header.find("static void main(CPP_Java_Bridge::java::lang::StringArray1D p0 = "
                          "::jni_helpers::JStringArrayHelper(0L));"),
            std::string::npos);
  EXPECT_NE(g.header.find("static jint main(jint p0);"), std::string::npos);
  EXPECT_EQ(occurrences(g.header, "JStringArrayHelper(0L)"), 1u);

  // Beside main(), the default would make main() ambiguous.
  const Generated both = generate("proxytext.BothMains");
  EXPECT_NE(both.header.find("static void main(CPP_Java_Bridge::java::lang::StringArray1D p0);"), std::string::npos);
  EXPECT_NE(both.header.find("static void main();"), std::string::npos);
  EXPECT_EQ(occurrences(both.header, "JStringArrayHelper(0L)"), 0u);
}

// The body of one generated function: from its head to the closing brace at the margin.
std::string body(const std::string& source, const std::string& head) {
  const std::size_t start = source.find(head);
  if (start == std::string::npos) return std::string();
  return source.substr(start, source.find("\n}\n", start) - start);
}

TEST_F(ProxyText, ClassesComeFromTheRuntimeAndAreNeverDeleted) {
  const Generated g = generate("proxytext.Tally");
  for (const char* head : {"void CPP_Java_Bridge::proxytext::TallyJNIProxy::bump() {",
                           "void CPP_Java_Bridge::proxytext::TallyJNIProxy::put_total(jint p) {",
                           "jint CPP_Java_Bridge::proxytext::TallyJNIProxy::get_total() {",
                           "jint CPP_Java_Bridge::proxytext::TallyJNIProxy::count() {"}) {
    const std::string text = body(g.source, head);
    ASSERT_FALSE(text.empty()) << head;
    // One cached lookup gives the class and the ID; the class is the runtime's.
    EXPECT_EQ(occurrences(text, "static ::jni_helpers::LookupSite _lookup;"), 1u) << text;
    EXPECT_EQ(occurrences(text, "(_lookup, _clazzName, \""), 1u) << text;
    EXPECT_EQ(text.find("FindClass"), std::string::npos) << text;
    EXPECT_EQ(text.find("DeleteLocalRef(clazz)"), std::string::npos) << text;
  }
  const std::string constructor = body(g.source, "CPP_Java_Bridge::proxytext::TallyJNIProxy::TallyJNIProxy() ");
  EXPECT_NE(constructor.find("clazz = ::jni_helpers::ProxyLookup::proxyClass(_class, _clazzName);"), std::string::npos)
      << constructor;
  for (const std::string* text : {&constructor, &g.header}) {
    EXPECT_EQ(text->find("GlobalRef(clazz)"), std::string::npos) << *text;
    EXPECT_EQ(text->find("GlobalRef(tmpclazz)"), std::string::npos) << *text;
  }
  EXPECT_EQ(occurrences(g.header, "clazz = ::jni_helpers::ProxyLookup::proxyClass(_class, _clazzName);"), 3u);
}

TEST_F(ProxyText, MethodBodiesByKind) {
  const Generated g = generate("fixtures.Members");
  const std::string greet =
      body(g.source, "::jni_helpers::JStringHelper CPP_Java_Bridge::fixtures::MembersJNIProxy::greet(");
  EXPECT_NE(greet.find("jobject tmpobject =::jni_helpers::JNIEnvHelper::CallStaticObjectMethod(clazz, greet_ID, "
                       "(jobject)p0);"),
            std::string::npos)
      << greet;
  const std::string notify = body(g.source, "void CPP_Java_Bridge::fixtures::MembersJNIProxy::notify() {");
  EXPECT_NE(notify.find("CallNonvirtualVoidMethod(*this, clazz, notify_ID);"), std::string::npos) << notify;
  EXPECT_EQ(notify.find("result"), std::string::npos);
  const std::string setAll = body(g.source, "void CPP_Java_Bridge::fixtures::MembersJNIProxy::setAll(");
  EXPECT_NE(setAll.find("CallVoidMethod(*this, setAll_ID, p0, p1, p2, p3, p4, p5, p6, p7, (jobject)p8, "
                        "(jobject)p9);"),
            std::string::npos)
      << setAll;
  const std::string doubled =
      body(g.source, "CPP_Java_Bridge::JIntArray1D CPP_Java_Bridge::fixtures::MembersJNIProxy::doubled(");
  EXPECT_NE(doubled.find("result.AssignResult(tmpobject);"), std::string::npos) << doubled;
  EXPECT_EQ(doubled.find("DeleteLocalRef(clazz)"), std::string::npos);
}

TEST_F(ProxyText, ClassThatCannotBeLoadedIsReported) {
  ProxyGenerator gen("no.such.Missing");
  EXPECT_FALSE(gen.genProxy(dir.path() + "/", false));
  EXPECT_EQ(kavrin_test::readFile(dir.file("no_such_MissingJNIProxy.h")), "");
  EXPECT_EQ(generatedProxies.count("no.such.Missing"), 0u);
}

TEST_F(ProxyText, FileThatCannotBeWrittenIsLogged) {
  // The header's path is taken by a folder; the source can be written.
  std::filesystem::create_directory(dir.file("fixtures_MembersJNIProxy.h"));
  ProxyGenerator gen("fixtures.Members");
  EXPECT_FALSE(gen.genProxy(dir.path() + "/", false));
  const std::string log = kavrin_test::readFile(logFilePath(dir.path() + "/"));
  EXPECT_EQ(log, "FAILED TO WRITE:" + dir.path() + "/fixtures_MembersJNIProxy.h\n");
  EXPECT_EQ(kavrin_test::readFile(dir.file("fixtures_MembersJNIProxy.cpp")), "");
  EXPECT_EQ(generatedProxies.count("fixtures.Members"), 0u);
  // A folder that does not exist takes neither file (nor the log).
  ProxyGenerator again("fixtures.Members");
  EXPECT_FALSE(again.genProxy(dir.path() + "/missing/", false));
}

// --- Native skeletons ---------------------------------------------------------------------------

TEST_F(ProxyText, NativeStubsForwardToTheirMembers) {
  const Generated g = generate("fixtures.natives.NativeMethods", true);
  ASSERT_TRUE(g.written);
  // Every native but dollar$sign, whose name holds '$'.
  EXPECT_EQ(exportNames(g.source).size(), 11u);
  // Natives with skeletons have no method ID and no proxy body, but are declared.
  EXPECT_EQ(g.header.find("echo_ID"), std::string::npos);
  EXPECT_NE(g.header.find("::jni_helpers::JStringHelper echo(::jni_helpers::JStringHelper p0);"), std::string::npos);
  EXPECT_NE(g.header.find("static jint add(jint p0, jint p1);"), std::string::npos);
  EXPECT_NE(g.header.find("jmethodID plainMethod_ID;"), std::string::npos);
  EXPECT_EQ(g.source.find("GetMethodID(clazz, \"echo\""), std::string::npos);

  const std::string add = body(g.source, "JNIEXPORT jint JNICALL Java_fixtures_natives_NativeMethods_add__II(");
  EXPECT_NE(add.find("(JNIEnv* env, jclass clazz, jint p0, jint p1){"), std::string::npos);
  EXPECT_NE(add.find("        return CPP_Java_Bridge::fixtures::natives::NativeMethodsJNIProxy::add(p0, p1);"),
            std::string::npos);
  // The default value is returned after a failure.
  EXPECT_NE(add.find("    }\n    return 0;"), std::string::npos) << add;
  const std::string addLong = body(g.source, "JNICALL Java_fixtures_natives_NativeMethods_add__JJ(");
  EXPECT_NE(addLong.find("    }\n    return 0L;"), std::string::npos);
  const std::string echo = body(g.source, "JNICALL Java_fixtures_natives_NativeMethods_echo(");
  EXPECT_NE(echo.find("(JNIEnv* env, jobject obj, jobject p0){"), std::string::npos);
  EXPECT_NE(echo.find("CPP_Java_Bridge::fixtures::natives::NativeMethodsJNIProxy jniObj(obj);"), std::string::npos);
  EXPECT_NE(echo.find("return (jobject)::jni_helpers::JNIEnvHelper::NewLocalRef((jobject)jniObj.echo("
                      "::jni_helpers::JStringHelper(JObject_t(p0))));"),
            std::string::npos);
  const std::string reverse = body(g.source, "JNICALL Java_fixtures_natives_NativeMethods_reverse(");
  EXPECT_NE(reverse.find("return (jintArray)::jni_helpers::JNIEnvHelper::NewLocalRef((jobject)"), std::string::npos);
  const std::string raise = body(g.source, "JNICALL Java_fixtures_natives_NativeMethods_raise(");
  EXPECT_NE(raise.find("::jni_helpers::JNIEnvHelper::ThrowNew(e.getMessage());"), std::string::npos);
  EXPECT_EQ(raise.find("return"), std::string::npos);
  EXPECT_NE(g.source.find("}\n///////////////////////////////////////\n//Implement these methods in your code:\n"),
            std::string::npos);
  EXPECT_NE(g.source.find("//jint CPP_Java_Bridge::fixtures::natives::NativeMethodsJNIProxy::add(jint, jint);\n"),
            std::string::npos);
}

TEST_F(ProxyText, NativeCommentNamesTheMemberTheStubCalls) {
  setAddMethodPrefix(true);
  std::map<std::string, std::string> substitutions = {{"mth_echo", "reply"}};
  nameSubstitutions = &substitutions;
  const Generated g = generate("fixtures.natives.NativeMethods", true);
  nameSubstitutions = nullptr;
  EXPECT_NE(g.source.find("return (jobject)::jni_helpers::JNIEnvHelper::NewLocalRef((jobject)jniObj.reply("),
            std::string::npos);
  EXPECT_NE(g.source.find("//::jni_helpers::JStringHelper CPP_Java_Bridge::fixtures::natives::NativeMethodsJNIProxy"
                          "::reply(::jni_helpers::JStringHelper);\n"),
            std::string::npos);
  EXPECT_NE(
      g.source.find("//jint CPP_Java_Bridge::fixtures::natives::NativeMethodsJNIProxy::mth_gr_u00f6_u00dfe(jint);\n"),
      std::string::npos);
  EXPECT_NE(g.header.find("::jni_helpers::JStringHelper reply(::jni_helpers::JStringHelper p0);"), std::string::npos);
}

TEST_F(ProxyText, UncheckedNativeIsStillDeclaredForItsStub) {
  std::set<std::string> selection = {"echo(Ljava/lang/String;)Ljava/lang/String;", "plainMethod(I)I"};
  const Generated g = generate("fixtures.natives.NativeMethods", true, &selection);
  EXPECT_NE(g.header.find("::jni_helpers::JStringHelper echo(::jni_helpers::JStringHelper p0);"), std::string::npos);
  EXPECT_NE(g.source.find("JNICALL Java_fixtures_natives_NativeMethods_echo("), std::string::npos);
  // An unchecked method that is not native is left out.
  EXPECT_EQ(g.header.find("plainMethod"), std::string::npos);
}

TEST_F(ProxyText, OneNativeAndNoNative) {
  const Generated one = generate("fixtures.natives.Supplementary", true);
  EXPECT_NE(one.source.find("//Implement this method in your code:\n"), std::string::npos);
  // A name beyond the Basic Multilingual Plane is written in ASCII.
  EXPECT_NE(one.header.find("static jint value_U0001d465(jint p0);"), std::string::npos);
  EXPECT_NE(one.source.find("Java_fixtures_natives_Supplementary_value_0d835_0dc65("), std::string::npos);
  EXPECT_EQ(one.source.find("\xed\xa0"), std::string::npos);

  const Generated none = generate("fixtures.Overloads", true);
  EXPECT_EQ(none.source.find("extern \"C\""), std::string::npos);
  EXPECT_EQ(none.source.find("Implement"), std::string::npos);
  EXPECT_EQ(none.source.substr(none.source.size() - 3), "}\n\n");
}

TEST_F(ProxyText, NativesWithoutSkeletonsAreOrdinaryCalls) {
  const Generated g = generate("fixtures.natives.NativeMethods", false);
  EXPECT_EQ(g.source.find("extern \"C\""), std::string::npos);
  EXPECT_NE(g.header.find("jmethodID echo_ID;"), std::string::npos);
  EXPECT_NE(g.source.find("echo_ID = ::jni_helpers::ProxyLookup::method(_lookup, clazz, \"echo\", "
                          "\"(Ljava/lang/String;)Ljava/lang/String;\");"),
            std::string::npos);
  // With skeletons on, natives inherited from a super class stay ordinary calls.
  const Generated derived = generate("fixtures.Derived", true);
  EXPECT_NE(derived.source.find("JNICALL Java_fixtures_Derived_derivedNative("), std::string::npos);
  EXPECT_NE(derived.source.find("method(_lookup, clazz, \"middleNative\", \"(I)I\")"), std::string::npos);
  EXPECT_EQ(derived.source.find("Java_fixtures_Middle"), std::string::npos);
}

}  // namespace
