// Member collection: the access filter over flags, inheritance levels and the global switches, the
// member selection, replacement of earlier reports, and what is never collected.
#include "ProxygenTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

using proxygen_test::CleanGlobals;
using proxygen_test::field;
using proxygen_test::method;

namespace {

enum Access : uint16_t { kPublic = 0x0001, kPrivate = 0x0002, kProtected = 0x0004, kDefault = 0 };
enum Switch { kNone, kRegular, kPrivateSwitch, kProtectedSwitch };

struct Row {
  uint16_t access;
  int level;
  Switch sw;
  bool useGlobalFilter;
  bool kept;
  const char* why;
};

// Fields and methods follow the same table, each with its own four switches.
const Row kMemberRows[] = {
    {kPublic, 0, kRegular, true, true, "public at level 0"},
    {kPublic, 5, kPrivateSwitch, true, true, "public at any level"},
    {kPublic, 2, kProtectedSwitch, true, true, "public whatever the switches"},
    {kDefault, 0, kNone, true, true, "default access"},
    {kDefault, 0, kRegular, true, false, "default access excluded"},
    {kDefault, 0, kRegular, false, true, "switch ignored without the global filter"},
    {kDefault, 3, kNone, true, true, "default access at every level"},
    {kDefault, 1, kRegular, true, false, "default access excluded one level up"},
    {kDefault, 0, kPrivateSwitch, true, true, "private switch leaves default access"},
    {kPrivate, 0, kNone, true, true, "own private"},
    {kPrivate, 0, kPrivateSwitch, true, false, "own private excluded"},
    {kPrivate, 0, kPrivateSwitch, false, true, "own private, filter off"},
    {kPrivate, 0, kProtectedSwitch, true, true, "protected switch leaves private"},
    {kPrivate, 0, kRegular, true, true, "regular switch leaves private"},
    {kProtected, 0, kNone, true, true, "own protected"},
    {kProtected, 0, kProtectedSwitch, true, false, "own protected excluded"},
    {kProtected, 0, kProtectedSwitch, false, true, "own protected, filter off"},
    {kProtected, 0, kPrivateSwitch, true, true, "private switch leaves own protected"},
    {kProtected, 1, kNone, true, true, "inherited protected one level up"},
    {kProtected, 1, kProtectedSwitch, true, true, "protected switch does not act one level up"},
    {kProtected, 1, kPrivateSwitch, true, false, "private switch drops protected one level up"},
    {kProtected, 1, kPrivateSwitch, false, true, "filter off keeps protected one level up"},
    {kPrivate, 1, kNone, true, false, "private one level up always dropped"},
    {kPrivate, 1, kNone, false, false, "private one level up dropped with filter off"},
    {kProtected, 2, kNone, false, false, "protected two levels up dropped with filter off"},
    {kPrivate, 2, kNone, false, false, "private two levels up dropped"},
    {kProtected, 7, kNone, true, false, "protected far up dropped"},
};

// The setters of the switches kRegular, kPrivateSwitch and kProtectedSwitch of one member kind.
typedef bool (*const SwitchSetters[3])(bool);
const SwitchSetters kFieldSwitches = {setFieldsExcludeRegular, setFieldsExcludePrivate, setFieldsExcludeProtected};
const SwitchSetters kMethodSwitches = {setMethodsExcludeRegular, setMethodsExcludePrivate, setMethodsExcludeProtected};

// For each row: the globals cleared, the row's switch of `own` on and every switch of `other` on
// (they must not matter), then a generator of a.B under the row's use of the global filter given
// one member at the row's level by `add`, which returns how many members of its kind it kept.
template <std::size_t N, typename Add>
void expectRows(const Row (&rows)[N], const SwitchSetters& own, const SwitchSetters& other, Add add) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    CleanGlobals::reset();
    if (row.sw != kNone) own[row.sw - kRegular](true);
    for (bool (*set)(bool) : other) set(true);
    ProxyGenerator gen("a.B");
    gen.m_bUseGlobalFilter = row.useGlobalFilter;
    EXPECT_EQ(add(gen, row), row.kept ? 1u : 0u);
  }
}

std::vector<std::string> keys(const std::set<MethodDescriptor>& set) {
  std::vector<std::string> out;
  for (const MethodDescriptor& m : set) out.push_back(m.getName() + m.getSignature());
  return out;
}

std::vector<std::string> keys(const std::set<FieldDescriptor>& set) {
  std::vector<std::string> out;
  for (const FieldDescriptor& f : set) out.push_back(f.getName() + f.getType());
  return out;
}

class FilterTest : public ::testing::Test {
 protected:
  CleanGlobals clean;
};

}  // namespace

TEST_F(FilterTest, FieldsFollowTheAccessTable) {
  // The method switches must not matter for fields.
  expectRows(kMemberRows, kFieldSwitches, kMethodSwitches, [](ProxyGenerator& gen, const Row& row) {
    gen.addField(field("f", "I", row.access), static_cast<int16_t>(row.level));
    return gen.m_fields.size();
  });
}

TEST_F(FilterTest, MethodsFollowTheAccessTable) {
  expectRows(kMemberRows, kMethodSwitches, kFieldSwitches, [](ProxyGenerator& gen, const Row& row) {
    gen.addMethod(method("m", "()V", row.access), static_cast<int16_t>(row.level));
    return gen.m_methods.size();
  });
}

TEST_F(FilterTest, ConstructorsOnlyOfTheClassItself) {
  const Row rows[] = {
      {kPublic, 0, kNone, true, true, "public"},
      {kPublic, 1, kNone, true, false, "inherited public"},
      {kPublic, 1, kNone, false, false, "inherited, filter off"},
      {kDefault, 0, kRegular, true, false, "default access excluded"},
      {kDefault, 0, kRegular, false, true, "default access, filter off"},
      {kPrivate, 0, kPrivateSwitch, true, false, "private excluded"},
      {kPrivate, 0, kProtectedSwitch, true, true, "protected switch leaves private"},
      {kProtected, 0, kProtectedSwitch, true, false, "protected excluded"},
      {kProtected, 0, kPrivateSwitch, true, true, "private switch leaves protected"},
      {kProtected, 0, kNone, true, true, "protected"},
  };
  expectRows(rows, kMethodSwitches, kFieldSwitches, [](ProxyGenerator& gen, const Row& row) {
    gen.addConstructor(method("<init>", "(I)V", row.access), static_cast<int16_t>(row.level));
    return gen.m_constructors.size();
  });
}

TEST_F(FilterTest, DollarMembersAreLeftOutOfProxiesButNotOfDelegators) {
  ProxyGenerator gen("a.B");
  gen.m_bUseGlobalFilter = false;
  gen.addField(field("this$0", "I", kPublic), 0);
  gen.addField(field("inner", "La/B$C;", kPublic), 0);
  gen.addMethod(method("access$000", "()V", kPublic), 0);
  gen.addMethod(method("make", "()La/B$C;", kPublic | 0x0100), 0);
  gen.addConstructor(method("<init>", "(La/B$C;)V", kPublic), 0);
  EXPECT_TRUE(gen.m_fields.empty());
  EXPECT_TRUE(gen.m_methods.empty());
  EXPECT_TRUE(gen.m_nativeMethods.empty());
  EXPECT_TRUE(gen.m_constructors.empty());
  // A delegator's class forwards them, so the C++ side needs them.
  gen.addDelegatorMethod(method("entry", "(La/B$C;)V", kPublic));
  gen.addDelegatorMethod(method("run$0", "()V", kPublic));
  EXPECT_EQ(keys(gen.m_delegatedMethods), (std::vector<std::string>{"entry(La/B$C;)V", "run$0()V"}));
}

TEST_F(FilterTest, LaterReportReplacesEarlierOne) {
  ProxyGenerator gen("a.B");
  gen.addMethod(method("m", "(I)V", kPublic), 1);
  gen.addMethod(method("m", "(I)V", kProtected | 0x0010), 0);
  ASSERT_EQ(gen.m_methods.size(), 1u);
  EXPECT_EQ(gen.m_methods.begin()->getAccessFlags(), kProtected | 0x0010);

  gen.addField(field("f", "I", kPublic), 2);
  gen.addField(field("f", "I", kPublic | 0x0008), 0);
  ASSERT_EQ(gen.m_fields.size(), 1u);
  EXPECT_EQ(gen.m_fields.begin()->getAccessFlags(), kPublic | 0x0008);

  gen.addConstructor(method("<init>", "()V", kPublic), 0);
  gen.addConstructor(method("<init>", "()V", kProtected), 0);
  ASSERT_EQ(gen.m_constructors.size(), 1u);
  EXPECT_EQ(gen.m_constructors.begin()->getAccessFlags(), kProtected);
}

TEST_F(FilterTest, CovariantOverridesAndBridgesLeaveOneMethod) {
  ProxyGenerator gen("a.B");
  gen.addMethod(method("append", "(Ljava/lang/String;)Ljava/lang/Appendable;", kPublic | 0x0400), 2);
  gen.addMethod(method("append", "(Ljava/lang/String;)La/Base;", kPublic), 1);
  gen.addMethod(method("append", "(C)La/Base;", kPublic), 1);
  gen.addMethod(method("append", "(Ljava/lang/String;)La/B;", kPublic), 0);
  // The compiler's bridge for the covariant return is ignored.
  gen.addMethod(method("append", "(Ljava/lang/String;)La/Base;", kPublic | 0x0040 | 0x1000), 0);
  gen.addMethod(method("appendix", "(Ljava/lang/String;)V", kPublic), 0);
  EXPECT_EQ(keys(gen.m_methods), (std::vector<std::string>{"append(C)La/Base;", "append(Ljava/lang/String;)La/B;",
                                                           "appendix(Ljava/lang/String;)V"}));

  gen.addDelegatorMethod(method("get", "()Ljava/lang/Object;", kPublic));
  gen.addDelegatorMethod(method("get", "()Ljava/lang/String;", kPublic));
  gen.addDelegatorMethod(method("get", "()Ljava/lang/Object;", kPublic | 0x0040));
  EXPECT_EQ(keys(gen.m_delegatedMethods), (std::vector<std::string>{"get()Ljava/lang/String;"}));
}

TEST_F(FilterTest, MemberSelectionExcludesButNativesStillCount) {
  std::set<std::string> unchecked{"f(I)V", "g", "nat()V", "x", "hidden()V", "<init>(I)V", "gI"};
  ProxyGenerator gen("a.B");
  gen.m_pMemberSelection = &unchecked;
  gen.addMethod(method("f", "(I)V", kPublic), 0);
  gen.addMethod(method("f", "(J)V", kPublic), 0);
  gen.addMethod(method("nat", "()V", kPublic | 0x0100), 0);
  gen.addMethod(method("inheritedNat", "()V", kPublic | 0x0100), 1);
  gen.addField(field("g", "I", kPublic), 0);
  gen.addField(field("h", "I", kPublic), 0);
  gen.addConstructor(method("<init>", "(I)V", kPublic), 0);
  gen.addConstructor(method("<init>", "()V", kPublic), 0);
  gen.addDelegatorMethod(method("hidden", "()V", kPrivate));
  EXPECT_EQ(keys(gen.m_methods), (std::vector<std::string>{"f(J)V", "inheritedNat()V"}));
  EXPECT_EQ(keys(gen.m_nativeMethods), (std::vector<std::string>{"nat()V"}));
  EXPECT_EQ(keys(gen.m_fields), (std::vector<std::string>{"hI"}));
  EXPECT_EQ(keys(gen.m_constructors), (std::vector<std::string>{"<init>()V"}));
  EXPECT_EQ(keys(gen.m_delegatedMethods), (std::vector<std::string>{"hidden()V"}))
      << "the delegator builder's methods see neither the access filter nor the selection";

  // An unchecked member reported again is removed, not kept from before.
  gen.m_pMemberSelection = nullptr;
  gen.addMethod(method("late", "()V", kPublic), 0);
  unchecked.insert("late()V");
  gen.m_pMemberSelection = &unchecked;
  gen.addMethod(method("late", "()V", kPublic), 0);
  const std::vector<std::string> after = keys(gen.m_methods);
  EXPECT_EQ(std::count(after.begin(), after.end(), "late()V"), 0);
}

TEST_F(FilterTest, ExcludeInheritedSwitchesActInTheWalk) {
  proxygen_test::useJdkAndFixtures();
  auto fieldNames = [](const ProxyGenerator& gen) {
    std::set<std::string> names;
    for (const FieldDescriptor& f : gen.m_fields) names.insert(f.getName());
    return names;
  };
  auto methodNames = [](const ProxyGenerator& gen) {
    std::set<std::string> names;
    for (const MethodDescriptor& m : gen.m_methods) names.insert(m.getName());
    return names;
  };

  ProxyGenerator all("fixtures.Derived");
  all.loadMembers();
  EXPECT_EQ(fieldNames(all),
            (std::set<std::string>{"baseField", "middleField", "DEFAULT_NAME", "derivedField", "items"}))
      << "Base.basePrivate and the protected Base.baseStatic are two levels up";
  EXPECT_EQ(methodNames(all).count("baseOnly"), 1u);
  EXPECT_EQ(methodNames(all).count("hashCode"), 1u);
  EXPECT_EQ(methodNames(all).count("finalize"), 0u) << "protected, three levels up (Object)";
  EXPECT_EQ(all.m_constructors.size(), 2u);

  setFieldsExcludeInherited(true);
  ProxyGenerator noInheritedFields("fixtures.Derived");
  noInheritedFields.loadMembers();
  EXPECT_EQ(fieldNames(noInheritedFields), (std::set<std::string>{"derivedField", "items"}));
  EXPECT_EQ(methodNames(noInheritedFields), methodNames(all));

  setMethodsExcludeInherited(true);
  ProxyGenerator ownOnly("fixtures.Derived");
  ownOnly.loadMembers();
  EXPECT_EQ(methodNames(ownOnly),
            (std::set<std::string>{"name", "size", "isEmpty", "level", "describe", "item", "derivedNative"}));
  EXPECT_EQ(ownOnly.m_constructors.size(), 2u);

  // Without the global filter the switches do not act: everything inherited is reported.
  ProxyGenerator unfiltered("fixtures.Derived");
  unfiltered.m_bUseGlobalFilter = false;
  unfiltered.loadMembers();
  EXPECT_EQ(fieldNames(unfiltered), fieldNames(all));
  EXPECT_EQ(methodNames(unfiltered), methodNames(all));
}

TEST_F(FilterTest, EveryJdkClassGivesCompilableOverloads) {
  proxygen_test::useJdkAndFixtures();
  for (const char* cls : {"java.lang.StringBuilder", "java.util.ArrayList", "java.lang.String"}) {
    ProxyGenerator gen(cls);
    gen.loadMembers();
    std::set<std::string> parameterKeys;
    for (const MethodDescriptor& m : gen.m_methods) {
      EXPECT_EQ(m.getAccessFlags() & 0x0040, 0) << cls << " " << m.getName();
      const std::string d = m.getSignature();
      EXPECT_TRUE(parameterKeys.insert(m.getName() + d.substr(0, d.find(')') + 1)).second)
          << cls << ": " << m.getName() << d;
    }
    EXPECT_GT(gen.m_methods.size(), 20u) << cls;
  }
  ProxyGenerator sb("java.lang.StringBuilder");
  sb.loadMembers();
  bool found = false;
  for (const MethodDescriptor& m : sb.m_methods)
    found = found || (m.getName() + m.getSignature() == "append(Ljava/lang/String;)Ljava/lang/StringBuilder;");
  EXPECT_TRUE(found) << "the class's own override is the one kept";
}
