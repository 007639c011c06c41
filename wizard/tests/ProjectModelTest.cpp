// The project model's records: the defaults a new class entry and a fresh filter start from, the
// order of the class map, and JVM collections keyed by name.
#include "ProjectModel.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ProjectModelTest, NewClassEntryUsesTheGlobalFilterAndHasNothingElse) {
  ClassSettingsMap classes;
  ClassSettings& settings = classes["java.lang.String"];
  EXPECT_TRUE(settings.bUseGlobalFilter);
  EXPECT_TRUE(settings.members.empty());
  EXPECT_TRUE(settings.strClassPath.empty());
  EXPECT_FALSE(settings.bMissingBytecode || settings.bIsInterfaceIml || settings.bIsDelegatorIml ||
               settings.bIsMethodsIml || settings.bHasNativeMethods);
  EXPECT_EQ(settings.TYPE, 0);
}

TEST(ProjectModelTest, ClassesAndModulesAreKeptInNameOrder) {
  ClassSettingsMap classes;
  for (const char* name : {"java.util.Vector", "a.B", "java.lang.String", "java.lang.Object"}) classes[name];
  std::vector<std::string> order;
  for (const auto& entry : classes) order.push_back(entry.first.str());
  EXPECT_EQ(order, (std::vector<std::string>{"a.B", "java.lang.Object", "java.lang.String", "java.util.Vector"}));

  ModuleMap modules;
  modules["/lib/b.jar"] = kModuleArchive;
  modules["/lib/a.class"] = kModuleInterface;
  EXPECT_EQ(modules.begin()->first, "/lib/a.class");
  EXPECT_EQ(modules.begin()->second, 1);
}

TEST(ProjectModelTest, FreshFilterTakesEveryMember) {
  GlobalFilter filter;
  EXPECT_TRUE(filter.fields_bAll);
  EXPECT_TRUE(filter.methods_bAll);
  EXPECT_FALSE(filter.fields_bExcludeInherited || filter.fields_bExcludeRegular || filter.fields_bExcludeProtected ||
               filter.fields_bExcludePrivate);
  EXPECT_FALSE(filter.methods_bExcludeInherited || filter.methods_bExcludeRegular || filter.methods_bExcludeProtected ||
               filter.methods_bExcludePrivate);
}

JvmDefinition jvm(const std::string& name, const std::string& jre) {
  JvmDefinition d;
  d.strName = name;
  d.strJREPath = jre;
  return d;
}

TEST(ProjectModelTest, JvmCollectionsHoldOneDefinitionPerNameInByteOrder) {
  JvmDefinitionSet jvms;
  EXPECT_TRUE(jvms.insert(jvm("SUN1.4.2", "/j2re1.4.2")).second);
  EXPECT_TRUE(jvms.insert(jvm("IBM1.3", "/ibm")).second);
  EXPECT_TRUE(jvms.insert(jvm("sun", "/lower")).second);
  EXPECT_TRUE(jvms.insert(jvm("\xC3\xA9t\xC3\xA9", "/utf8")).second);
  // A second definition of a name is the same element: the first stays.
  EXPECT_FALSE(jvms.insert(jvm("SUN1.4.2", "/other")).second);

  std::vector<std::string> names;
  for (const JvmDefinition& d : jvms) names.push_back(d.strName);
  // Byte order: upper case before lower case, bytes of 0x80 and more last.
  EXPECT_EQ(names, (std::vector<std::string>{"IBM1.3", "SUN1.4.2", "sun", "\xC3\xA9t\xC3\xA9"}));

  auto found = jvms.find(std::string("SUN1.4.2"));
  ASSERT_NE(found, jvms.end());
  EXPECT_EQ(found->strJREPath, "/j2re1.4.2");
  EXPECT_EQ(jvms.find(std::string("SUN")), jvms.end());
  EXPECT_EQ(jvms.count(std::string("IBM1.3")), 1u);
}

}  // namespace
