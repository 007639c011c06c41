// The project settings file: its name, round trips of the whole model, its element and attribute
// names, the reader's rules, and files that cannot be read or written.
#include "AddinTestSupport.h"
#include "OwnedSettingsModel.h"
#include "ProjectSettings.h"
#include "ProxyGenerator.h"
#include "SettingsXml.h"

using namespace addintest;

namespace {

using Model = addintest::OwnedSettingsModel;

class ProjectSettingsTest : public AddinTest {
 protected:
  void SetUp() override {
    AddinTest::SetUp();
    file = path("App.jniprj");
    resetGeneratorSwitches();
  }
  void TearDown() override {
    resetGeneratorSwitches();
    AddinTest::TearDown();
  }
  static void resetGeneratorSwitches() {
    setFieldsExcludeInherited(false);
    setFieldsExcludeRegular(false);
    setFieldsExcludePrivate(false);
    setFieldsExcludeProtected(false);
    setMethodsExcludeInherited(false);
    setMethodsExcludeRegular(false);
    setMethodsExcludePrivate(false);
    setMethodsExcludeProtected(false);
    setAddFieldPrefix(false);
    setAddMethodPrefix(false);
  }
  static Model sample() {
    Model m;
    m.modules = {{CString("/libs/a.jar"), kModuleArchive}, {CString("/classes/B.class"), kModuleInterface}};
    ClassSettings proxy;
    proxy.members = {"toString()Ljava/lang/String;", "<init>(I)V"};
    proxy.bUseGlobalFilter = false;
    proxy.strClassPath = "/libs/a.jar";
    proxy.bMissingBytecode = true;
    proxy.bHasNativeMethods = true;
    proxy.bIsMethodsIml = true;
    ClassSettings iface;
    iface.bIsInterfaceIml = true;
    iface.bIsDelegatorIml = true;
    iface.TYPE = 3;
    m.classes = {{CString("a.b.Proxy"), proxy}, {CString("a.b.Iface"), iface}};
    m.filter.fields_bAll = false;
    m.filter.fields_bExcludePrivate = true;
    m.filter.methods_bExcludeInherited = true;
    m.filter.methods_bExcludeProtected = true;
    m.substitutions = {{"delete", "delete_"}, {"Outer$Inner", "Inner"}};
    m.fieldPrefix = true;
    m.lastClasses = {"a.b.Proxy"};
    m.lastInterfaces = {"a.b.Iface"};
    m.lastDelegators = {"a.b.Iface", "c.D"};
    return m;
  }
  // The filter's switches, fields' first.
  static std::vector<bool> switches(const GlobalFilter& f) {
    return {f.fields_bAll,
            f.fields_bExcludeInherited,
            f.fields_bExcludeRegular,
            f.fields_bExcludeProtected,
            f.fields_bExcludePrivate,
            f.methods_bAll,
            f.methods_bExcludeInherited,
            f.methods_bExcludeRegular,
            f.methods_bExcludeProtected,
            f.methods_bExcludePrivate};
  }
  static void expectSameModel(const Model& loaded, const Model& saved) {
    EXPECT_EQ(loaded.modules, saved.modules);
    ASSERT_EQ(loaded.classes.size(), saved.classes.size());
    for (const auto& entry : saved.classes) {
      auto found = loaded.classes.find(entry.first);
      ASSERT_NE(found, loaded.classes.end()) << entry.first.str();
      const ClassSettings& a = found->second;
      const ClassSettings& b = entry.second;
      EXPECT_EQ(a.members, b.members);
      EXPECT_EQ(a.bUseGlobalFilter, b.bUseGlobalFilter);
      EXPECT_EQ(a.strClassPath, b.strClassPath);
      EXPECT_EQ(a.bIsInterfaceIml, b.bIsInterfaceIml);
      EXPECT_EQ(a.bIsDelegatorIml, b.bIsDelegatorIml);
      EXPECT_EQ(a.bIsMethodsIml, b.bIsMethodsIml);
      EXPECT_FALSE(a.bMissingBytecode) << "not stored";
      EXPECT_FALSE(a.bHasNativeMethods) << "not stored";
      EXPECT_EQ(a.TYPE, b.TYPE != 0 ? 1 : 0);
    }
    EXPECT_EQ(switches(loaded.filter), switches(saved.filter));
    EXPECT_EQ(loaded.substitutions, saved.substitutions);
    EXPECT_EQ(loaded.fieldPrefix, saved.fieldPrefix);
    EXPECT_EQ(loaded.methodPrefix, saved.methodPrefix);
    EXPECT_EQ(loaded.lastClasses, saved.lastClasses);
    EXPECT_EQ(loaded.lastInterfaces, saved.lastInterfaces);
    EXPECT_EQ(loaded.lastDelegators, saved.lastDelegators);
  }
  // Loads `xml` (written to the file) into a fresh model; the error's description when it fails.
  std::string loadText(const std::string& xml, Model& model) {
    kavrin_test::writeFile(file, xml);
    try {
      projectsettings::load(file, model.refs());
    } catch (const _com_error& e) {
      return e.Description().utf8();
    }
    return std::string();
  }

  std::string file;
};

TEST_F(ProjectSettingsTest, TheFileSitsBesideTheProjectFile) {
  EXPECT_EQ(projectsettings::settingsPath("/Work/App.dsp"), "/Work/App.jniprj");
  EXPECT_EQ(projectsettings::settingsPath("/Work/my.dsp.files/App.dsp"), "/Work/my.dsp.files/App.jniprj");
  EXPECT_EQ(projectsettings::settingsPath("/Work/App.dsw"), "/Work/App.dsw.jniprj");
  EXPECT_EQ(projectsettings::settingsPath("/Work/App.dspx"), "/Work/App.jniprj") << "from the last .dsp on";
}

TEST_F(ProjectSettingsTest, SavingAndLoadingGiveTheSameModelAndSetTheGeneratorsSwitches) {
  Model saved = sample();
  projectsettings::save(file, saved.refs());
  Model loaded;
  EXPECT_TRUE(projectsettings::load(file, loaded.refs()));
  expectSameModel(loaded, saved);
  EXPECT_TRUE(fieldsExcludePrivate);
  EXPECT_FALSE(fieldsExcludeProtected);
  EXPECT_TRUE(methodsExcludeInherited);
  EXPECT_TRUE(methodsExcludeProtected);
  EXPECT_FALSE(methodsExcludeRegular);
  EXPECT_TRUE(addFieldPrefix);
  EXPECT_FALSE(addMethodPrefix);

  // Saving what was loaded writes the same file.
  const std::string first = kavrin_test::readFile(file);
  projectsettings::save(file, loaded.refs());
  EXPECT_EQ(kavrin_test::readFile(file), first);
}

TEST_F(ProjectSettingsTest, TheFileUsesTheProductsElementAndAttributeNames) {
  Model saved = sample();
  projectsettings::save(file, saved.refs());
  IXMLDOMDocumentPtr document = settingsxml::newDocument();
  ASSERT_EQ(settingsxml::loadFile(document, file).status, settingsxml::LoadStatus::Loaded);
  IXMLDOMElementPtr root;
  document->get_documentElement(&root);
  EXPECT_EQ(settingsxml::nodeName(root), "KAVRIN");
  std::vector<std::string> top;
  for (const IXMLDOMNodePtr& child : settingsxml::children(root)) top.push_back(settingsxml::nodeName(child));
  EXPECT_EQ(top, (std::vector<std::string>{"GLOBALFILTER", "NAMES_SUBSTITUTED", "MODULES", "CLASSES", "LAST_BUILD"}));

  IXMLDOMElementPtr filter = settingsxml::firstElement(root, "GLOBALFILTER");
  EXPECT_EQ(settingsxml::textAttribute(filter, "fields_bAll"), "false");
  EXPECT_EQ(settingsxml::textAttribute(filter, "methods_bAll"), "true");
  EXPECT_EQ(settingsxml::textAttribute(filter, "fields_bExcludePrivate"), "true");
  IXMLDOMElementPtr names = settingsxml::firstElement(root, "NAMES_SUBSTITUTED");
  EXPECT_EQ(settingsxml::textAttribute(names, "FLDPX"), "true");
  EXPECT_EQ(settingsxml::textAttribute(names, "MTHPX"), "false");
  std::vector<IXMLDOMElementPtr> substitutes = settingsxml::elements(names, "SUBSTITUTE");
  ASSERT_EQ(substitutes.size(), 2u);
  EXPECT_EQ(settingsxml::textAttribute(substitutes[0], "NAME"), "Outer$Inner");
  EXPECT_EQ(settingsxml::textAttribute(substitutes[0], "TO"), "Inner");
  std::vector<IXMLDOMElementPtr> modules = settingsxml::elements(root, "MODULE");
  ASSERT_EQ(modules.size(), 2u);
  EXPECT_EQ(settingsxml::textAttribute(modules[0], "NAME"), "/classes/B.class");
  EXPECT_EQ(settingsxml::textAttribute(modules[0], "TYPE"), "1");
  EXPECT_EQ(settingsxml::textAttribute(modules[1], "TYPE"), "2");

  std::vector<IXMLDOMElementPtr> classes = settingsxml::elements(settingsxml::firstElement(root, "CLASSES"), "CLASS");
  ASSERT_EQ(classes.size(), 2u);
  EXPECT_EQ(settingsxml::textAttribute(classes[0], "NAME"), "a.b.Iface");
  std::vector<std::string> parts;
  for (const IXMLDOMNodePtr& child : settingsxml::children(classes[1])) parts.push_back(settingsxml::nodeName(child));
  EXPECT_EQ(parts, (std::vector<std::string>{"FILTER", "MEMBERS"}));
  IXMLDOMElementPtr classFilter = settingsxml::firstElement(classes[1], "FILTER");
  EXPECT_EQ(settingsxml::textAttribute(classFilter, "bUseGlobalFilter"), "false");
  EXPECT_EQ(settingsxml::textAttribute(classFilter, "bIsMethodsIml"), "true");
  EXPECT_EQ(settingsxml::textAttribute(classFilter, "strClassPath"), "/libs/a.jar");
  EXPECT_EQ(settingsxml::textAttribute(classFilter, "TYPE"), "false");
  EXPECT_EQ(settingsxml::textAttribute(settingsxml::firstElement(classes[0], "FILTER"), "TYPE"), "true");
  std::vector<IXMLDOMElementPtr> members = settingsxml::elements(classes[1], "MEMBER");
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(settingsxml::textAttribute(members[0], "NAME"), "<init>(I)V");

  IXMLDOMElementPtr lastBuild = settingsxml::firstElement(root, "LAST_BUILD");
  std::vector<std::string> built;
  for (const IXMLDOMNodePtr& child : settingsxml::children(lastBuild)) {
    built.push_back(settingsxml::nodeName(child) + " " + settingsxml::text(child));
  }
  EXPECT_EQ(built, (std::vector<std::string>{"CLASS a.b.Proxy", "INTERFACE a.b.Iface", "DELEGATOR a.b.Iface",
                                             "DELEGATOR c.D"}));
}

TEST_F(ProjectSettingsTest, AClassWithoutFilterTakesTheDefaultsAndNumbersReadAsBooleans) {
  Model m;
  ASSERT_EQ(loadText("<KAVRIN><GLOBALFILTER fields_bAll='-1' fields_bExcludeInherited='0' fields_bExcludeRegular='1'"
                     " fields_bExcludeProtected='False' fields_bExcludePrivate='0' methods_bAll='0'"
                     " methods_bExcludeInherited='0' methods_bExcludeRegular='0' methods_bExcludeProtected='0'"
                     " methods_bExcludePrivate='TRUE'/>"
                     "<CLASSES><CLASS NAME='x.Plain'><MEMBERS><MEMBER NAME='f I'/></MEMBERS></CLASS></CLASSES>"
                     "</KAVRIN>",
                     m),
            "");
  EXPECT_TRUE(m.filter.fields_bAll);
  EXPECT_TRUE(m.filter.fields_bExcludeRegular);
  EXPECT_FALSE(m.filter.methods_bAll);
  EXPECT_TRUE(m.filter.methods_bExcludePrivate);
  EXPECT_TRUE(fieldsExcludeRegular);
  EXPECT_TRUE(methodsExcludePrivate);
  ASSERT_EQ(m.classes.size(), 1u);
  const ClassSettings& plain = m.classes.begin()->second;
  EXPECT_TRUE(plain.bUseGlobalFilter);
  EXPECT_FALSE(plain.bIsInterfaceIml || plain.bIsDelegatorIml || plain.bIsMethodsIml || plain.TYPE);
  EXPECT_EQ(plain.strClassPath, "");
  EXPECT_EQ(plain.members, std::set<std::string>{"f I"});
}

const char* const kFilterDefaults =
    "<GLOBALFILTER fields_bAll='true' fields_bExcludeInherited='false' fields_bExcludeRegular='false'"
    " fields_bExcludeProtected='false' fields_bExcludePrivate='false' methods_bAll='true'"
    " methods_bExcludeInherited='false' methods_bExcludeRegular='false' methods_bExcludeProtected='false'"
    " methods_bExcludePrivate='false'/>";

TEST_F(ProjectSettingsTest, WithoutGlobalFilterNothingElseIsReadAndNoSwitchIsTouched) {
  setMethodsExcludeRegular(true);
  setAddMethodPrefix(true);
  Model m;
  m.modules = {{CString("/old.jar"), 2}};
  m.classes = {{CString("old.Class"), ClassSettings()}};
  m.filter.fields_bAll = false;
  m.substitutions = {{"kept", "too"}};
  m.lastClasses = {"kept.Class"};
  ASSERT_EQ(loadText("<KAVRIN><NAMES_SUBSTITUTED FLDPX='true' MTHPX='false'><SUBSTITUTE NAME='a' TO='b'/>"
                     "</NAMES_SUBSTITUTED><MODULES><MODULE TYPE='2' NAME='/x.jar'/></MODULES>"
                     "<CLASSES><CLASS NAME='x.Y'/></CLASSES><LAST_BUILD><CLASS>x.Y</CLASS></LAST_BUILD></KAVRIN>",
                     m),
            "");
  EXPECT_TRUE(m.modules.empty());
  EXPECT_TRUE(m.classes.empty());
  EXPECT_TRUE(m.filter.fields_bAll);
  EXPECT_EQ(m.substitutions, (NameSubstitutionMap{{"kept", "too"}}));
  EXPECT_EQ(m.lastClasses, ClassNameSet{"kept.Class"});
  EXPECT_TRUE(methodsExcludeRegular);
  EXPECT_TRUE(addMethodPrefix);
}

TEST_F(ProjectSettingsTest, FirstEntriesWinAndEachListIsReadBelowItsOwnParent) {
  Model m;
  ASSERT_EQ(loadText(std::string("<KAVRIN>") + kFilterDefaults +
                         "<NAMES_SUBSTITUTED FLDPX='false' MTHPX='true'>"
                         "<SUBSTITUTE NAME='dup' TO='first'/><SUBSTITUTE NAME='dup' TO='second'/></NAMES_SUBSTITUTED>"
                         "<MODULES><MODULE TYPE='2' NAME='/m.jar'/><MODULE TYPE='3' NAME='/m.jar'/></MODULES>"
                         "<CLASSES><CLASS NAME='a.A'><FILTER bUseGlobalFilter='false' bIsInterfaceIml='false'"
                         " bIsDelegatorIml='false' bIsMethodsIml='false' strClassPath='/first' TYPE='false'/></CLASS>"
                         "<CLASS NAME='a.A'/></CLASSES>"
                         "<LAST_BUILD><CLASS>built.Proxy</CLASS><INTERFACE>built.Iface</INTERFACE>"
                         "<DELEGATOR>built.Delegator</DELEGATOR></LAST_BUILD>"
                         "<EXTRA><MODULE TYPE='0' NAME='/anywhere.class'/></EXTRA></KAVRIN>",
                     m),
            "");
  EXPECT_EQ(m.substitutions, (NameSubstitutionMap{{"dup", "first"}}));
  EXPECT_TRUE(m.methodPrefix);
  EXPECT_TRUE(addMethodPrefix);
  EXPECT_EQ(m.modules, (ModuleMap{{CString("/anywhere.class"), 0}, {CString("/m.jar"), 2}}))
      << "MODULE elements anywhere count";
  ASSERT_EQ(m.classes.size(), 1u) << "LAST_BUILD's CLASS is no selected class";
  EXPECT_EQ(m.classes.begin()->second.strClassPath, "/first");
  EXPECT_EQ(m.lastClasses, ClassNameSet{"built.Proxy"});
  EXPECT_EQ(m.lastInterfaces, ClassNameSet{"built.Iface"});
  EXPECT_EQ(m.lastDelegators, ClassNameSet{"built.Delegator"});
}

TEST_F(ProjectSettingsTest, AMissingOrEmptyFileLeavesTheResetModel) {
  Model m = sample();
  EXPECT_FALSE(projectsettings::load(file, m.refs()));
  EXPECT_TRUE(m.modules.empty());
  EXPECT_TRUE(m.classes.empty());
  EXPECT_TRUE(m.filter.fields_bAll && m.filter.methods_bAll && !m.filter.fields_bExcludePrivate &&
              !m.filter.methods_bExcludeInherited);
  EXPECT_EQ(m.substitutions, sample().substitutions) << "kept as they were";
  EXPECT_EQ(m.lastDelegators, sample().lastDelegators);
  kavrin_test::writeFile(file, "");
  EXPECT_FALSE(projectsettings::load(file, m.refs()));
}

TEST_F(ProjectSettingsTest, AFileThatCannotBeReadGivesAClearErrorAndIsLeftAlone) {
  Model m;
  const std::string broken = "<KAVRIN>\n<GLOBALFILTER fields_bAll='true'\n<MODULES/>\n</KAVRIN>\n";
  const std::string error = loadText(broken, m);
  EXPECT_NE(error.find("The project settings file " + file + " cannot be read"), std::string::npos) << error;
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  EXPECT_EQ(kavrin_test::readFile(file), broken);

  Model partly;
  const std::string bad = loadText(std::string("<KAVRIN>") + kFilterDefaults +
                                       "<MODULES><MODULE TYPE='2' NAME='/ok.jar'/><MODULE TYPE='two' NAME='/x.jar'/>"
                                       "</MODULES></KAVRIN>",
                                   partly);
  EXPECT_NE(bad.find("\"TYPE\" of the element MODULE holds \"two\", which is not a number"), std::string::npos) << bad;
  EXPECT_EQ(partly.modules, (ModuleMap{{CString("/ok.jar"), 2}})) << "what was read before the fault stays";

  Model m2;
  const std::string flag =
      loadText(std::string("<KAVRIN>") + kFilterDefaults +
                   "<CLASSES><CLASS NAME='a.B'><FILTER bUseGlobalFilter='maybe'/></CLASS></CLASSES>"
                   "</KAVRIN>",
               m2);
  EXPECT_NE(flag.find("\"bUseGlobalFilter\" of the element FILTER holds \"maybe\""), std::string::npos) << flag;

  Model m3;
  const std::string missing = loadText("<KAVRIN><GLOBALFILTER fields_bAll='true'/></KAVRIN>", m3);
  EXPECT_NE(missing.find("\"fields_bExcludeInherited\" of the element GLOBALFILTER is missing"), std::string::npos)
      << missing;

  Model m4;
  const std::string overflow = loadText(
      std::string("<KAVRIN>") + kFilterDefaults + "<MODULES><MODULE TYPE='70000' NAME='/x.jar'/></MODULES></KAVRIN>",
      m4);
  EXPECT_NE(overflow.find("out of range"), std::string::npos) << overflow;
}

TEST_F(ProjectSettingsTest, AFailedSaveRaisesAndKeepsTheOldFile) {
  kavrin_test::writeFile(file, "<KAVRIN/>");
  Model m = sample();
  EXPECT_THROW(projectsettings::save(path("no-such-folder/App.jniprj"), m.refs()), _com_error);
  m.classes.emplace(CString(std::string("bad\0name", 8)), ClassSettings());
  EXPECT_THROW(projectsettings::save(file, m.refs()), _com_error) << "a name XML cannot carry";
  EXPECT_EQ(kavrin_test::readFile(file), "<KAVRIN/>");
}

}  // namespace
