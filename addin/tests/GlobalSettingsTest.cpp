// The global settings file: round trips, its element and attribute names, files that cannot be
// read, and the pieces of the JVM job over the machine's JDK 17.
#include "AddinTestSupport.h"
#include "ClassRepository.h"
#include "GlobalSettings.h"
#include "SettingsXml.h"

#include <sys/stat.h>

#include <cerrno>

using namespace addintest;

namespace {

class GlobalSettingsTest : public AddinTest {
 protected:
  void SetUp() override {
    AddinTest::SetUp();
    document = settingsxml::newDocument();
    file = globalsettings::settingsPath(dir->path());
  }
  void TearDown() override {
    document = nullptr;
    AddinTest::TearDown();
  }
  // A JRE home with archives in lib, lib/ext and lib/javaws, and some files that are not.
  std::string makeJre() {
    const std::string jre = path("jre");
    for (const char* f : {"lib/rt.jar", "lib/i18n.JAR", "lib/tools.zip", "lib/notes.txt", "lib/ext/b.zip",
                          "lib/ext/a.jar", "lib/javaws/javaws.jar", "lib/other/skipped.jar"}) {
      kavrin_test::writeFile(jre + "/" + f, "");
    }
    mkdir((jre + "/lib/folder.jar").c_str(), 0755);
    return jre;
  }
  settingsxml::LoadResult read(JvmDefinition& current, JvmDefinitionSet& extra, std::set<std::string>& added) {
    IXMLDOMDocumentPtr fresh = settingsxml::newDocument();
    return globalsettings::read(fresh, file, current, extra, added);
  }

  IXMLDOMDocumentPtr document;
  std::string file;
};

TEST_F(GlobalSettingsTest, TheFileLivesInTheInstallationFolder) {
  EXPECT_EQ(globalsettings::settingsPath("/opt/kavrin"), "/opt/kavrin/kavringlobals.xml");
  EXPECT_EQ(globalsettings::settingsPath("/opt/kavrin/"), "/opt/kavrin/kavringlobals.xml");
  EXPECT_EQ(globalsettings::settingsPath(""), "");
  EXPECT_EQ(globalsettings::settingsPath("%KAVRINVC6%"), "") << "the variable is not set";
}

TEST_F(GlobalSettingsTest, JreLibrariesAreTheArchivesOfLibExtAndJavaws) {
  const std::string jre = makeJre();
  EXPECT_EQ(globalsettings::scanJreLibraries(jre),
            (std::set<std::string>{jre + "/lib/ext/a.jar", jre + "/lib/ext/b.zip", jre + "/lib/i18n.JAR",
                                   jre + "/lib/javaws/javaws.jar", jre + "/lib/rt.jar", jre + "/lib/tools.zip"}));
  EXPECT_TRUE(globalsettings::scanJreLibraries("").empty());
  EXPECT_TRUE(globalsettings::scanJreLibraries(path("nowhere")).empty());
}

TEST_F(GlobalSettingsTest, WhatIsWrittenIsReadBackAndTheLibrariesAreRescanned) {
  const std::string jre = makeJre();
  JvmDefinition current{"Mine", jre, path("jdk"), {"/stale/old.jar"}, {}};
  JvmDefinitionSet extra{{"Zeta", "/z/jre", "/z", {}, {}}, {"Alpha & <Co>", "/a/jre", "", {}, {}}};
  std::set<std::string> added{"/lib/x]]>y.jar", "/lib/\xC3\xA9t\xC3\xA9.zip"};
  globalsettings::write(document, file, current, extra, added);
  EXPECT_EQ(current.setLibraries, globalsettings::scanJreLibraries(jre)) << "the libraries are scanned afresh";

  JvmDefinition loaded;
  JvmDefinitionSet loadedExtra{{"dropped", "", "", {}, {}}};
  std::set<std::string> loadedAdded;
  ASSERT_EQ(read(loaded, loadedExtra, loadedAdded).status, settingsxml::LoadStatus::Loaded);
  EXPECT_EQ(loaded.strName, "Mine");
  EXPECT_EQ(loaded.strJREPath, jre);
  EXPECT_EQ(loaded.strJDKPath, path("jdk"));
  EXPECT_EQ(loaded.setLibraries, current.setLibraries);
  EXPECT_EQ(loaded.setAddedPaths, added);
  EXPECT_EQ(loadedAdded, added);
  ASSERT_EQ(loadedExtra.size(), 2u);
  EXPECT_EQ(loadedExtra.begin()->strName, "Alpha & <Co>");
  EXPECT_EQ(loadedExtra.begin()->strJDKPath, "");
  EXPECT_EQ(std::next(loadedExtra.begin())->strJREPath, "/z/jre");
}

TEST_F(GlobalSettingsTest, TheFileHasTheProjectLayout) {
  const std::string jre = makeJre();
  JvmDefinition current{"Mine", jre, "/jdk", {}, {}};
  globalsettings::write(document, file, current, {{"Other", "/o/jre", "/o", {}, {}}}, {"/added.jar"});

  IXMLDOMDocumentPtr check = settingsxml::newDocument();
  ASSERT_EQ(settingsxml::loadFile(check, file).status, settingsxml::LoadStatus::Loaded);
  IXMLDOMElementPtr root;
  check->get_documentElement(&root);
  EXPECT_EQ(settingsxml::nodeName(root), "Project");
  std::vector<std::string> top;
  for (const IXMLDOMNodePtr& child : settingsxml::children(root)) top.push_back(settingsxml::nodeName(child));
  EXPECT_EQ(top, (std::vector<std::string>{"CurrentJVM", "ExtraJVMs", "AddedPaths"}));

  IXMLDOMElementPtr jvm = settingsxml::firstElement(root, "CurrentJVM");
  EXPECT_EQ(settingsxml::textAttribute(jvm, "Name"), "Mine");
  EXPECT_EQ(settingsxml::textAttribute(jvm, "JREPath"), jre);
  EXPECT_EQ(settingsxml::textAttribute(jvm, "JDKPath"), "/jdk");
  std::vector<std::string> libraries;
  for (const IXMLDOMNodePtr& child : settingsxml::children(jvm)) {
    DOMNodeType type = NODE_INVALID;
    child->get_nodeType(&type);
    EXPECT_EQ(type, NODE_CDATA_SECTION);
    libraries.push_back(settingsxml::text(child));
  }
  EXPECT_EQ(libraries,
            (std::vector<std::string>{jre + "/lib/ext/a.jar", jre + "/lib/ext/b.zip", jre + "/lib/i18n.JAR",
                                      jre + "/lib/javaws/javaws.jar", jre + "/lib/rt.jar", jre + "/lib/tools.zip"}))
      << "sorted, with lib/ext's a.jar and b.zip";
  std::vector<IXMLDOMElementPtr> extras =
      settingsxml::elements(settingsxml::firstElement(root, "ExtraJVMs"), "ExtraJVM");
  ASSERT_EQ(extras.size(), 1u);
  EXPECT_EQ(settingsxml::textAttribute(extras[0], "JDKPath"), "/o");
  EXPECT_EQ(settingsxml::text(settingsxml::firstElement(root, "AddedPaths")), "/added.jar");
  EXPECT_NE(kavrin_test::readFile(file).find("<![CDATA[/added.jar]]>"), std::string::npos);
}

TEST_F(GlobalSettingsTest, LibrariesOfTheFileAreTakenOnlyByAJvmWithoutAny) {
  kavrin_test::writeFile(file,
                         "<Project><CurrentJVM Name='J' JREPath='/j' JDKPath='/k'><![CDATA[/j/lib/a.jar]]>"
                         "<![CDATA[]]><![CDATA[/j/lib/b.jar]]></CurrentJVM><ExtraJVMs/><AddedPaths/></Project>");
  JvmDefinition empty;
  JvmDefinitionSet extra;
  std::set<std::string> added;
  ASSERT_EQ(read(empty, extra, added).status, settingsxml::LoadStatus::Loaded);
  EXPECT_EQ(empty.setLibraries, (std::set<std::string>{"/j/lib/a.jar", "/j/lib/b.jar"}));

  JvmDefinition scanned{"", "", "", {"/mine.jar"}, {}};
  ASSERT_EQ(read(scanned, extra, added).status, settingsxml::LoadStatus::Loaded);
  EXPECT_EQ(scanned.strName, "J");
  EXPECT_EQ(scanned.setLibraries, std::set<std::string>{"/mine.jar"});
}

TEST_F(GlobalSettingsTest, MissingElementsReadAsEmpty) {
  kavrin_test::writeFile(file, "<Project><CurrentJVM Name='J' JREPath='' JDKPath=''/></Project>");
  JvmDefinition current;
  JvmDefinitionSet extra{{"x", "", "", {}, {}}};
  std::set<std::string> added;
  ASSERT_EQ(read(current, extra, added).status, settingsxml::LoadStatus::Loaded);
  EXPECT_EQ(current.strName, "J");
  EXPECT_TRUE(extra.empty());
  EXPECT_TRUE(added.empty());
}

TEST_F(GlobalSettingsTest, AMissingOrBlankFileIsNotAnError) {
  JvmDefinition current;
  JvmDefinitionSet extra;
  std::set<std::string> added;
  EXPECT_EQ(read(current, extra, added).status, settingsxml::LoadStatus::Missing);
  kavrin_test::writeFile(file, " \n\t\n");
  EXPECT_EQ(read(current, extra, added).status, settingsxml::LoadStatus::Missing);
}

TEST_F(GlobalSettingsTest, AFileThatCannotBeReadSaysWhyAndIsKept) {
  const std::string broken = "<Project>\n  <CurrentJVM Name='J'\n</Project>\n";
  kavrin_test::writeFile(file, broken);
  JvmDefinition current;
  JvmDefinitionSet extra;
  std::set<std::string> added;
  settingsxml::LoadResult result = read(current, extra, added);
  EXPECT_EQ(result.status, settingsxml::LoadStatus::Unreadable);
  EXPECT_NE(result.problem.find("line 3"), std::string::npos) << result.problem;
  EXPECT_EQ(kavrin_test::readFile(file), broken);
  const std::string copy = settingsxml::keepCopy(file);
  EXPECT_EQ(copy, file + ".bak");
  EXPECT_EQ(kavrin_test::readFile(copy), broken);
  EXPECT_EQ(settingsxml::keepCopy(file), copy) << "the same content is kept once";
  // Another incident never overwrites an earlier copy.
  kavrin_test::writeFile(file, "<Project");
  EXPECT_EQ(settingsxml::keepCopy(file), file + ".bak.1");
  EXPECT_EQ(kavrin_test::readFile(copy), broken);
  EXPECT_EQ(kavrin_test::readFile(file + ".bak.1"), "<Project");

  kavrin_test::writeFile(file, "<Settings/>");
  result = read(current, extra, added);
  EXPECT_EQ(result.status, settingsxml::LoadStatus::Unreadable);
  EXPECT_NE(result.problem.find("root element is not Project"), std::string::npos) << result.problem;

  kavrin_test::writeFile(file, "<Project><ExtraJVMs><ExtraJVM Name='A' JREPath='/a'/></ExtraJVMs></Project>");
  result = read(current, extra, added);
  EXPECT_EQ(result.status, settingsxml::LoadStatus::Unreadable);
  EXPECT_NE(result.problem.find("\"JDKPath\" of the element ExtraJVM is missing"), std::string::npos) << result.problem;

  ASSERT_EQ(unlink(file.c_str()), 0);
  mkdir(file.c_str(), 0755);
  EXPECT_EQ(read(current, extra, added).status, settingsxml::LoadStatus::Unreadable);
}

TEST_F(GlobalSettingsTest, AFailedWriteLeavesTheFileAsItWas) {
  kavrin_test::writeFile(file, "<Project/>");
  JvmDefinition current{"J", "", "", {}, {}};
  EXPECT_THROW(globalsettings::write(document, path("missing-folder/kavringlobals.xml"), current, {}, {}), _com_error);
  EXPECT_THROW(globalsettings::write(document, "", current, {}, {}), _com_error);
  EXPECT_THROW(globalsettings::write(nullptr, file, current, {}, {}), _com_error);
  EXPECT_EQ(kavrin_test::readFile(file), "<Project/>");
}

// --- The JVM job's pieces ------------------------------------------------------------------------
class JvmJobPiecesTest : public AddinTest {
 protected:
  void TearDown() override {
    ClassRepository::resetModules("");
    AddinTest::TearDown();
  }
  static ClassSettings recheck(const std::string& name, ClassSettings settings = ClassSettings()) {
    ClassRepository repository;
    globalsettings::recheckClass(repository, name, settings);
    return settings;
  }
};

TEST_F(JvmJobPiecesTest, ClassesAreCheckedAgainstTheJdkAndTheAddedPaths) {
  globalsettings::resetModules(kavrin_test::kJdkHome, {kavrin_test::kFixtureJar});
  ClassSettings string = recheck("java.lang.String");
  EXPECT_FALSE(string.bMissingBytecode);
  EXPECT_TRUE(string.bHasNativeMethods) << "String.intern is native";
  ClassSettings members = recheck("fixtures.Members");
  EXPECT_FALSE(members.bMissingBytecode);
  EXPECT_FALSE(members.bHasNativeMethods);
  EXPECT_TRUE(recheck("fixtures.natives.NativeMethods").bHasNativeMethods);
  ClassSettings stale;
  stale.bHasNativeMethods = true;
  ClassSettings missing = recheck("no.such.Clazz", stale);
  EXPECT_TRUE(missing.bMissingBytecode);
  EXPECT_FALSE(missing.bHasNativeMethods);

  // A JVM change that no longer provides the class marks it; one that does clears the mark.
  globalsettings::resetModules(kavrin_test::kJdkHome, {});
  EXPECT_TRUE(recheck("fixtures.Members").bMissingBytecode);
  ClassSettings withPath;
  withPath.strClassPath = kavrin_test::kFixtureClasses;
  EXPECT_FALSE(recheck("fixtures.Members", withPath).bMissingBytecode) << "the class's own path is searched";
  globalsettings::resetModules(kavrin_test::kJdkHome, {kavrin_test::kFixtureClasses});
  EXPECT_FALSE(recheck("fixtures.Derived").bMissingBytecode);
}

TEST_F(JvmJobPiecesTest, JavaHomeGoesToTheProcessTheWindowsAndTheUser) {
  kavrin_test::ScopedEnv javaHome("JAVA_HOME", std::string("/before"));
  win32::clearJournal();
  globalsettings::setProcessJavaHome(kavrin_test::kJdkHome);
  std::string env;
  ASSERT_TRUE(win32::getEnv("JAVA_HOME", env));
  EXPECT_EQ(env, kavrin_test::kJdkHome);
  bool broadcast = false;
  for (const win32::JournalEntry& e : win32::journal()) {
    broadcast |= e.kind == "Broadcast" && e.caption == std::to_string(WM_SETTINGCHANGE) && e.text == "Environment";
  }
  EXPECT_TRUE(broadcast);

  globalsettings::setProcessJavaHome("");
  ASSERT_TRUE(win32::getEnv("JAVA_HOME", env));
  EXPECT_EQ(env, "") << "an empty JDK path gives an empty JAVA_HOME";

  std::string problem;
  EXPECT_FALSE(globalsettings::setUserJavaHome(kavrin_test::kJdkHome, problem)) << "no Environment key yet";
  EXPECT_NE(problem.find("Environment"), std::string::npos) << problem;
  importReg("[HKEY_CURRENT_USER\\Environment]\n\"PATH\"=\"/bin\"\n");
  EXPECT_TRUE(globalsettings::setUserJavaHome(kavrin_test::kJdkHome, problem));
  EXPECT_EQ(value(HKEY_CURRENT_USER, "Environment", "JAVA_HOME"), std::string(kavrin_test::kJdkHome));
  EXPECT_EQ(value(HKEY_CURRENT_USER, "Environment", "PATH"), "/bin");

  // The registry file cannot be saved (a full disk): the user is told which file, and it keeps
  // what it held.
  const std::string registryFile = registry::registryFilePath();
  const std::string before = kavrin_test::readFile(registryFile);
  win32::injectWriteFailure("registry.reg", ENOSPC, 16);
  EXPECT_FALSE(globalsettings::setUserJavaHome("/elsewhere", problem));
  win32::clearWriteFailures();
  EXPECT_NE(problem.find(registryFile), std::string::npos) << problem;
  EXPECT_NE(problem.find("No space left on device"), std::string::npos) << problem;
  EXPECT_EQ(kavrin_test::readFile(registryFile), before);
}

}  // namespace
