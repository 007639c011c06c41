// The "Installed JVMs" page's global settings file and its JVM job over the machine's JDK 17: the
// job re-checks the selected classes against the current JVM and the added paths, reports into
// the progress bar, gives the wizard its controls back and makes the JDK the JAVA_HOME of the
// process and of the user; the settings file is read and written as the page fills and changes.
#include "ClassRepository.h"
#include "GlobalSettings.h"
#include "JvmListPage.h"
#include "PageTestSupport.h"
#include "Registry.h"
#include "TestSupport.h"

using namespace pagetest;

namespace {

class JvmListPageJobTest : public wizardtest::WizardUiTest {
 protected:
  void SetUp() override {
    WizardUiTest::SetUp();
    registerJvmListPageTemplate();
    registerJvmDialogTemplate();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(document.CreateInstance(CLSID_DOMDocument)));
    jdk.strName = "SUN17";
    jdk.strJREPath = kavrin_test::kJdkHome;
    jdk.strJDKPath = kavrin_test::kJdkHome;
    settingsFile = dir.file("kavringlobals.xml");
    createUserEnvironmentKey();
  }
  void TearDown() override {
    host.close();
    document = nullptr;
    ClassRepository::resetModules("");
    CoUninitialize();
    WizardUiTest::TearDown();
  }
  static void createUserEnvironmentKey() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Environment", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static std::string userJavaHome() {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "Environment", 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    const LONG rc = RegQueryValueEx(key, "JAVA_HOME", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? buffer : "<none>";
  }
  static std::string processJavaHome() {
    std::string value;
    return win32::getEnv("JAVA_HOME", value) ? value : "<unset>";
  }
  void writeSettings(const JvmDefinition& current, const std::string& addedPath) {
    kavrin_test::writeFile(settingsFile, "<Project><CurrentJVM Name=\"" + current.strName + "\" JREPath=\"" +
                                             current.strJREPath + "\" JDKPath=\"" + current.strJDKPath +
                                             "\"/><ExtraJVMs/><AddedPaths>" +
                                             (addedPath.empty() ? "" : "<![CDATA[" + addedPath + "]]>") +
                                             "</AddedPaths></Project>");
  }
  // Opens the page and hands it its data, which loads the settings and runs the job.
  void open(const JvmDefinitionSet& installed = JvmDefinitionSet()) {
    ASSERT_TRUE(host.open());
    host.page.SetJvmData(&host.bar, &classes, installed, document);
    ASSERT_TRUE(host.waitForJob());
  }
  bool missing(const char* name) { return classes.at(CString(name)).bMissingBytecode; }

  kavrin_test::TempDir dir{"jvm-job"};
  kavrin_test::ScopedEnv installFolder{"KAVRINVC6", dir.path()};
  kavrin_test::ScopedEnv registry{"KAVRIN_REGISTRY", dir.file("registry.reg")};
  kavrin_test::ScopedEnv javaHome{"JAVA_HOME", std::string("/before")};
  IXMLDOMDocumentPtr document;
  PageHost<CJvmListPage> host;
  ClassSettingsMap classes;
  JvmDefinition jdk;
  std::string settingsFile;
};

TEST_F(JvmListPageJobTest, TheJobChecksTheClassesAgainstTheCurrentJvmAndSetsJavaHome) {
  writeSettings(jdk, kavrin_test::kFixtureJar);
  classes[CString("fixtures.Members")] = ClassSettings();
  classes[CString("no.such.Clazz")] = ClassSettings();
  classes[CString("no.such.Clazz")].bHasNativeMethods = true;
  open();

  EXPECT_FALSE(missing("fixtures.Members"));
  EXPECT_TRUE(missing("no.such.Clazz"));
  EXPECT_FALSE(classes.at(CString("no.such.Clazz")).bHasNativeMethods);
  EXPECT_EQ(host.bar.shownTexts(), (std::vector<std::string>{"Processing bytecode...", "Processing bytecode..."}));
  EXPECT_EQ(host.bar.positions, (std::vector<int>{50, 100, 0})) << "two classes, then the bar is reset";
  EXPECT_EQ(host.bar.texts.back(), "");
  EXPECT_TRUE(host.wizardEnabled());
  EXPECT_TRUE(host.enabled(IDC_ADD));
  EXPECT_TRUE(host.page.m_bStop.load()) << "no job at work any more";
  EXPECT_EQ(processJavaHome(), kavrin_test::kJdkHome);
  EXPECT_EQ(userJavaHome(), kavrin_test::kJdkHome);
  EXPECT_EQ(host.page.m_currentJvm.strName, "SUN17");
  EXPECT_EQ(host.page.m_addedPaths, std::set<std::string>{kavrin_test::kFixtureJar});
  bool broadcast = false;
  for (const win32::JournalEntry& e : win32::journal()) broadcast |= e.kind == "Broadcast" && e.text == "Environment";
  EXPECT_TRUE(broadcast);

  // Without the added archive the fixture class is missing; with its folder again it is not.
  host.page.m_addedPaths.clear();
  ASSERT_TRUE(host.page.StartJob());
  ASSERT_TRUE(host.waitForJob());
  EXPECT_TRUE(missing("fixtures.Members"));
  host.page.m_addedPaths = {kavrin_test::kFixtureClasses};
  ASSERT_TRUE(host.page.StartJob());
  ASSERT_TRUE(host.waitForJob());
  EXPECT_FALSE(missing("fixtures.Members"));
}

TEST_F(JvmListPageJobTest, AJvmWithoutJdkPathEmptiesJavaHomeAndAMissingUserKeyIsReported) {
  ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Environment"), ERROR_SUCCESS);
  JvmDefinition noKit = jdk;
  noKit.strJDKPath.clear();
  writeSettings(noKit, "");
  open();
  EXPECT_EQ(processJavaHome(), "") << "set all the same";
  EXPECT_EQ(messageBoxTexts("Error"), std::vector<std::string>{"Cannot set environment variables!"});
  EXPECT_TRUE(host.wizardEnabled());
}

TEST_F(JvmListPageJobTest, NoSecondJobStartsWhileOneIsAtWork) {
  writeSettings(jdk, "");
  open();
  CRITICAL_SECTION* lock = globalsettings::jvmJobLock();
  EnterCriticalSection(lock);  // the next job waits at its start
  ASSERT_TRUE(host.page.StartJob());
  EXPECT_FALSE(host.page.m_bStop.load());
  EXPECT_FALSE(host.page.StartJob()) << "a job of the page is at work";
  ui::pumpMessages();
  EXPECT_TRUE(host.page.IsJobRunning());
  LeaveCriticalSection(lock);
  ASSERT_TRUE(host.waitForJob());
  EXPECT_TRUE(host.page.m_bStop.load());
  EXPECT_TRUE(host.page.StartJob()) << "the next one may start";
  ASSERT_TRUE(host.waitForJob());
}

TEST_F(JvmListPageJobTest, ClosingThePageStopsTheJobWhichChangesNothingFurther) {
  writeSettings(jdk, "");
  for (int i = 0; i < 50; ++i) classes[CString("no.such.Class" + std::to_string(i))] = ClassSettings();
  ASSERT_TRUE(host.open());
  host.page.SetJvmData(&host.bar, &classes, JvmDefinitionSet(), document);
  host.page.DestroyWindow();  // stops the job and waits for it
  EXPECT_FALSE(host.page.IsJobRunning());
  EXPECT_FALSE(missing("no.such.Class49")) << "the job ended before the last class";
  EXPECT_EQ(processJavaHome(), "/before");
  EXPECT_EQ(userJavaHome(), "<none>");
}

TEST_F(JvmListPageJobTest, SettingsAreSavedOnlyOnceLoadedAndWithTheRescannedLibraries) {
  host.page.SaveGlobalSettings();
  EXPECT_FALSE(win32::fileExists(settingsFile)) << "nothing is saved while the page fills itself";

  // A JRE with one archive in lib/ext.
  const std::string jre = dir.file("jre");
  kavrin_test::writeFile(jre + "/lib/ext/a.jar", "");
  JvmDefinition mine{"Mine", jre, dir.path(), {}, {}};
  writeSettings(mine, "/added.jar");
  open();
  host.page.m_extraJvms.insert(JvmDefinition{"Extra", "/x/jre", "/x", {}, {}});
  host.page.SaveGlobalSettings();
  const std::string text = kavrin_test::readFile(settingsFile);
  EXPECT_NE(text.find("<![CDATA[" + jre + "/lib/ext/a.jar]]>"), std::string::npos) << text;
  EXPECT_NE(text.find("Name=\"Extra\""), std::string::npos) << text;
  EXPECT_NE(text.find("<![CDATA[/added.jar]]>"), std::string::npos) << text;
  EXPECT_EQ(host.page.m_currentJvm.setLibraries, std::set<std::string>{jre + "/lib/ext/a.jar"});
}

TEST_F(JvmListPageJobTest, ASaveThatFailsTellsTheUserAndKeepsTheFile) {
  writeSettings(jdk, "");
  open();
  const std::string before = kavrin_test::readFile(settingsFile);
  host.page.m_installFolder = dir.file("no-such-folder");
  host.page.SaveGlobalSettings();
  EXPECT_EQ(messageBoxTexts("KAVRIN Add-In"),
            std::vector<std::string>{
                "There is a problem with initialization of environment variables.\nRestart Microsoft Visual Studio IDE."});
  EXPECT_EQ(kavrin_test::readFile(settingsFile), before);
}

TEST_F(JvmListPageJobTest, ASettingsFileThatCannotBeReadIsCopiedBeforeTheCheckedJvmIsSavedOverIt) {
  const std::string broken = "<Project><CurrentJVM Name='J'></Project>";
  kavrin_test::writeFile(settingsFile, broken);
  open(JvmDefinitionSet{jdk});
  ASSERT_EQ(host.page.m_currentJvm.strName, "") << "nothing was read, nothing is checked";
  std::vector<std::string> warnings = messageBoxTexts("KAVRIN Add-In");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("cannot be read"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find(settingsFile + ".bak"), std::string::npos) << warnings[0];
  EXPECT_EQ(kavrin_test::readFile(settingsFile + ".bak"), broken);

  // Checking the installed JVM saves a fresh file; the copy keeps the old one.
  ASSERT_TRUE(ui::clickListItem(host.control(IDC_JVM_LIST), 0));
  ASSERT_TRUE(ui::setListItemChecked(host.control(IDC_JVM_LIST), 0, true));
  ASSERT_TRUE(host.waitForJob());
  EXPECT_NE(kavrin_test::readFile(settingsFile).find("Name=\"SUN17\""), std::string::npos);
  EXPECT_EQ(kavrin_test::readFile(settingsFile + ".bak"), broken);
  EXPECT_EQ(processJavaHome(), kavrin_test::kJdkHome);
}

}  // namespace
