// Member listing for the wizard: the Java-like lines of a fixture and of JDK classes, their order,
// and what is left out.
#include "ProxygenTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using proxygen_test::CleanGlobals;
using proxygen_test::field;
using proxygen_test::method;

namespace {

template <class Map>
std::vector<std::string> lines(const Map& map) {
  std::vector<std::string> out;
  for (const auto& entry : map) out.push_back(entry.first);
  return out;
}

template <class Map>
bool has(const Map& map, const std::string& line) {
  return map.count(line) != 0;
}

// The lists of the wizard's member views of the generator's class, loaded and walked afresh.
struct Lists {
  MethodLineMap methods, constructors, natives;
  FieldLineMap fields, constants;
};

Lists listsOf(ProxyGenerator& gen) {
  gen.loadMembers();
  Lists lists;
  gen.listMethods(lists.methods);
  gen.listConstructors(lists.constructors);
  gen.listNativeMethods(lists.natives);
  gen.listFields(lists.fields);
  gen.listConstants(lists.constants);
  return lists;
}

class MemberListingTest : public ::testing::Test {
 protected:
  void SetUp() override { proxygen_test::useJdkAndFixtures(); }
  CleanGlobals clean;
};

}  // namespace

TEST_F(MemberListingTest, FixtureMembers) {
  ProxyGenerator gen("fixtures.Members");
  const Lists lists = listsOf(gen);

  EXPECT_EQ(lines(lists.constructors),
            (std::vector<std::string>{"public fixtures.Members();",
                                      "public fixtures.Members(int p0, java.lang.String p1);"}));
  EXPECT_EQ(lines(lists.constants), (std::vector<std::string>{"private static final int PRIVATE_CONSTANT;"}));
  EXPECT_EQ(lists.constants.begin()->second.getName(), "PRIVATE_CONSTANT");

  EXPECT_EQ(lists.fields.size(), 42u);
  for (const char* line :
       {"public boolean booleanField;", "public int[][] intMatrixField;", "public java.lang.Object[] objectArrayField;",
        "public static java.lang.String staticString;", "public static int[] staticIntArray;",
        "public final int finalField;", "protected int protectedField;", "int packageField;",
        "private int privateField;", "private static int privateStaticField;", "static int packageStaticField;"})
    EXPECT_TRUE(has(lists.fields, line)) << line;
  EXPECT_EQ(lists.fields.at("public final int finalField;").getName(), "finalField");

  for (const char* line :
       {"public static java.lang.String greet(java.lang.String p0);", "private int privateMethod();",
        "int packageMethod();", "protected static int protectedStaticMethod();", "public int[] doubled(int[] p0);",
        "public static fixtures.Members create(int p0);",
        "public void setAll(boolean p0, byte p1, char p2, short p3, int p4, long p5, float p6, double p7, "
        "java.lang.String p8, java.lang.Object p9);",
        // Inherited from java.lang.Object: native is not shown above the class itself.
        "public final java.lang.Class getClass();", "public int hashCode();",
        "public final void wait(long p0, int p1);"})
    EXPECT_TRUE(has(lists.methods, line)) << line;
  EXPECT_TRUE(has(lists.methods, "protected void finalize();")) << "protected, one level up (java.lang.Object)";
  const MethodDescriptor& greet = lists.methods.at("public static java.lang.String greet(java.lang.String p0);");
  EXPECT_EQ(greet.getSignature(), "(Ljava/lang/String;)Ljava/lang/String;");

  for (const std::vector<std::string>& listed : {lines(lists.methods), lines(lists.fields)})
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
}

TEST_F(MemberListingTest, FiltersShapeTheLists) {
  setMethodsExcludePrivate(true);
  setFieldsExcludeRegular(true);
  ProxyGenerator gen("fixtures.Members");
  const Lists lists = listsOf(gen);
  EXPECT_FALSE(has(lists.methods, "private int privateMethod();"));
  EXPECT_TRUE(has(lists.methods, "int packageMethod();"));
  EXPECT_FALSE(has(lists.fields, "int packageField;"));
  EXPECT_TRUE(has(lists.fields, "private int privateField;"));
}

TEST_F(MemberListingTest, ConstantsAndFieldsOfEveryKind) {
  ProxyGenerator gen("fixtures.Constants");
  const Lists lists = listsOf(gen);
  EXPECT_EQ(lists.constants.size(), 25u);
  for (const char* line : {"public static final boolean BOOLEAN_TRUE;", "public static final char CHAR_NON_ASCII;",
                           "public static final int INT_MIN;", "public static final long LONG_MAX;",
                           "public static final float FLOAT_MIN;", "public static final double DOUBLE_NEGATIVE_ZERO;"})
    EXPECT_TRUE(has(lists.constants, line)) << line;
  EXPECT_EQ(lines(lists.fields), (std::vector<std::string>{"public static final java.lang.Integer NOT_A_CONSTANT;",
                                                           "public static final java.lang.String STRING_EMPTY;",
                                                           "public static final java.lang.String STRING_ESCAPES;",
                                                           "public static final java.lang.String STRING_NON_ASCII;",
                                                           "public static final java.lang.String STRING_VALUE;",
                                                           "public static int notFinal;"}));
  // NaN and the infinities are in neither list.
  for (const auto& entry : lists.constants) {
    const std::string name = entry.second.getName();
    EXPECT_EQ(name.find("NAN"), std::string::npos) << name;
    EXPECT_EQ(name.find("INFINITY"), std::string::npos) << name;
  }
  EXPECT_EQ(lists.constants.count("public static final int INT_VALUE;"), 1u);
  EXPECT_EQ(lists.constants.at("public static final int INT_VALUE;").getConstValue().toLiteral(), "42");
}

TEST_F(MemberListingTest, ConstantsOfAnotherKindThanTheirFieldTakesAreNotWritten) {
  // A malformed class file can give a field a constant of another kind than its type takes; the
  // text of a string above all must not become the value of a numeric constant.
  struct Case {
    const char* type;
    ConstValue value;
    bool writable;
  };
  const Case cases[] = {
      {"I", ConstValue(int32_t(1)), true},
      {"Z", ConstValue(int32_t(1)), true},
      {"B", ConstValue(int32_t(-1)), true},
      {"C", ConstValue(int32_t(65)), true},
      {"S", ConstValue(int32_t(7)), true},
      {"J", ConstValue(int64_t(5)), true},
      {"F", ConstValue(0.5f), true},
      {"D", ConstValue(0.25), true},
      {"Ljava/lang/String;", ConstValue(std::string("s")), true},
      {"I", ConstValue(std::string("0; launch()")), false},
      {"D", ConstValue(std::string("1")), false},
      {"I", ConstValue(int64_t(5)), false},
      {"J", ConstValue(int32_t(5)), false},
      {"F", ConstValue(0.25), false},
      {"D", ConstValue(0.5f), false},
      {"Ljava/lang/String;", ConstValue(int32_t(3)), false},
      {"[I", ConstValue(int32_t(3)), false},
  };
  ProxyGenerator gen("p.A");
  std::size_t writable = 0;
  int n = 0;
  for (const Case& c : cases) {
    FieldDescriptor f = field("F" + std::to_string(n++), c.type, 0x0019);
    f.setConstValue(c.value);
    SCOPED_TRACE(std::string(c.type) + " " + c.value.toLiteral());
    EXPECT_EQ(gen.isConstantWritable(f), c.writable);
    EXPECT_EQ(gen.isWrittenConstant(f), c.writable && c.type[0] != 'L');
    EXPECT_EQ(gen.isConstant(f), c.writable && c.type[0] != 'L');
    writable += c.writable && c.type[0] != 'L' ? 1 : 0;
    gen.addField(f, 0);
  }
  FieldLineMap constants;
  gen.listConstants(constants);
  EXPECT_EQ(constants.size(), writable);
  for (const auto& entry : constants) EXPECT_EQ(entry.second.getConstValue().getString(), "") << entry.first;
}

TEST_F(MemberListingTest, JdkClassDouble) {
  ProxyGenerator gen("java.lang.Double");
  const Lists lists = listsOf(gen);
  EXPECT_EQ(
      lines(lists.constants),
      (std::vector<std::string>{"private static final long serialVersionUID;", "public static final double MAX_VALUE;",
                                "public static final double MIN_NORMAL;", "public static final double MIN_VALUE;",
                                "public static final int BYTES;", "public static final int MAX_EXPONENT;",
                                "public static final int MIN_EXPONENT;", "public static final int SIZE;"}));
  EXPECT_EQ(lines(lists.fields),
            (std::vector<std::string>{"private final double value;", "public static final java.lang.Class TYPE;"}));
  EXPECT_EQ(lines(lists.natives),
            (std::vector<std::string>{"public native static double longBitsToDouble(long p0);",
                                      "public native static long doubleToRawLongBits(double p0);"}));
  EXPECT_EQ(lines(lists.constructors), (std::vector<std::string>{"public java.lang.Double(double p0);",
                                                                 "public java.lang.Double(java.lang.String p0);"}));
  EXPECT_TRUE(gen.m_bHasNativeMethods);
  EXPECT_FALSE(gen.m_bIsInterface);
}

TEST_F(MemberListingTest, JdkClassObjectKeepsItsOwnNatives) {
  ProxyGenerator gen("java.lang.Object");
  const Lists lists = listsOf(gen);
  EXPECT_EQ(lines(lists.natives),
            (std::vector<std::string>{"protected native java.lang.Object clone();",
                                      "public native final java.lang.Class getClass();",
                                      "public native final void notify();", "public native final void notifyAll();",
                                      "public native final void wait(long p0);", "public native int hashCode();"}));
  EXPECT_TRUE(has(lists.methods, "protected void finalize();"));
  EXPECT_TRUE(has(lists.methods, "public boolean equals(java.lang.Object p0);"));
}

TEST_F(MemberListingTest, DefaultPackageClass) {
  ProxyGenerator gen("DefaultPackageFixture");
  const Lists lists = listsOf(gen);
  EXPECT_EQ(lines(lists.constructors), (std::vector<std::string>{"public DefaultPackageFixture();"}));
  EXPECT_EQ(lines(lists.constants), (std::vector<std::string>{"public static final int ANSWER;"}));
  EXPECT_TRUE(has(lists.methods, "public static java.lang.String hello();"));
  EXPECT_TRUE(has(lists.methods, "public int twice(int p0);"));
}

TEST_F(MemberListingTest, MissingClassGivesEmptyLists) {
  ProxyGenerator gen("no.such.Class");
  MethodLineMap methods{{"stale", MethodDescriptor()}}, constructors{{"stale", MethodDescriptor()}};
  FieldLineMap fields{{"stale", FieldDescriptor()}}, constants{{"stale", FieldDescriptor()}};
  testing::internal::CaptureStderr();
  gen.loadMembers();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  gen.listMethods(methods);
  gen.listConstructors(constructors);
  gen.listFields(fields);
  gen.listConstants(constants);
  EXPECT_TRUE(methods.empty() && constructors.empty() && fields.empty() && constants.empty());
  EXPECT_FALSE(gen.m_bClassMissing) << "listing does not touch the missing flag";
  EXPECT_EQ(gen.getClassName(), "no.such.Class");
}

TEST_F(MemberListingTest, LineShapes) {
  ProxyGenerator gen("pkg.A");
  gen.m_methods.insert(method("gc", "()V", 0x0001 | 0x0008 | 0x0100));
  gen.m_methods.insert(method("run", "()V", 0x0001 | 0x0400));
  gen.m_methods.insert(method("newInner", "()Lfixtures/Outer$Inner;", 0x0001));
  gen.m_methods.insert(method("take", "(Lfixtures/Outer$Inner;[[J)V", 0x0004 | 0x0010));
  gen.m_methods.insert(method("bad", "V", 0x0001));
  gen.m_constructors.insert(method("<init>", "()V", 0x0002));
  gen.m_fields.insert(field("inner", "Lfixtures/Outer$Inner;", 0x0001));
  gen.m_fields.insert(field("this$0", "Lpkg/A;", 0x0010));
  gen.m_fields.insert(field("NO_VALUE", "I", 0x0001 | 0x0008 | 0x0010));
  MethodLineMap methods, constructors;
  FieldLineMap fields, constants;
  gen.listMethods(methods);
  gen.listConstructors(constructors);
  gen.listFields(fields);
  gen.listConstants(constants);
  EXPECT_EQ(lines(methods),
            (std::vector<std::string>{"protected final void take(fixtures.Outer$Inner p0, long[][] p1);",
                                      "public ERROR:jmethodType(V) bad(ERROR:jmethodParams(V) p0);",
                                      "public abstract void run();", "public fixtures.Outer.Inner newInner();",
                                      "public native static void gc();"}));
  EXPECT_EQ(lines(constructors), (std::vector<std::string>{"private pkg.A();"}));
  EXPECT_EQ(lines(fields), (std::vector<std::string>{"public fixtures.Outer.Inner inner;"}))
      << "a '$' name is in no list; a static final int without a value in neither";
  EXPECT_TRUE(constants.empty());
}

TEST_F(MemberListingTest, SameLineKeepsTheLaterRecord) {
  ProxyGenerator gen("pkg.A");
  gen.m_methods.insert(method("m", "()La/B$C;", 0x0001));
  gen.m_methods.insert(method("m", "()La/B/C;", 0x0001));
  MethodLineMap methods;
  gen.listMethods(methods);
  ASSERT_EQ(methods.size(), 1u) << "both read public a.B.C m();";
  EXPECT_EQ(methods.begin()->first, "public a.B.C m();");
  EXPECT_EQ(methods.begin()->second.getSignature(), "()La/B/C;");
}
