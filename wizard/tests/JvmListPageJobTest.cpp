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

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <iostream>

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
    kavrin_test::writeFile(settingsFile,
                           "<Project><CurrentJVM Name=\"" + current.strName + "\" JREPath=\"" + current.strJREPath +
                               "\" JDKPath=\"" + current.strJDKPath + "\"/><ExtraJVMs/><AddedPaths>" +
                               (addedPath.empty() ? "" : "<![CDATA[" + addedPath + "]]>") + "</AddedPaths></Project>");
  }
  // Opens the page and hands it its data, which loads the settings and runs the job.
  void open(const JvmDefinitionSet& installed = JvmDefinitionSet()) {
    ASSERT_TRUE(host.open());
    host.page.SetJvmData(&host.bar, &classes, installed, document);
    ASSERT_TRUE(host.waitForJob());
  }
  bool missing(const char* name) { return classes.at(CString(name)).bMissingBytecode; }

  // Opens the page over a JDK home with three JDK classes selected, as the wizard opens, and
  // measures how long the user-interface thread is held, how long the job takes and how long a
  // save (which rescans the JVM's libraries, as Apply, Add, Edit and Remove do) takes.
  void openOver(const std::string& home, const std::string& javaBase) {
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::time_point from, Clock::time_point to) {
      return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
    };
    writeSettings(JvmDefinition{"Today", home, home, {}, {}}, "");
    for (const char* name : {"java.util.ArrayList", "java.lang.String", "java.util.logging.Logger"})
      classes[CString(name)] = ClassSettings();
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(host.open());
    host.page.SetJvmData(&host.bar, &classes, JvmDefinitionSet(), document);
    const Clock::time_point shown = Clock::now();
    ASSERT_TRUE(host.waitForJob());
    const Clock::time_point checked = Clock::now();
    host.page.SaveGlobalSettings();
    const Clock::time_point saved = Clock::now();

    for (const char* name : {"java.util.ArrayList", "java.lang.String", "java.util.logging.Logger"})
      EXPECT_FALSE(missing(name)) << name;
    EXPECT_EQ(host.page.m_currentJvm.setLibraries.count(javaBase), 1u);
    EXPECT_NE(kavrin_test::readFile(settingsFile).find("<![CDATA[" + javaBase + "]]>"), std::string::npos);
    std::cout << home << ": page shown in " << ms(start, shown) << " ms, classes checked in " << ms(shown, checked)
              << " ms, libraries rescanned and saved in " << ms(checked, saved) << " ms" << std::endl;
    // Interactive: the user-interface thread is never held for long.
    EXPECT_LT(ms(start, shown), 1000);
    EXPECT_LT(ms(checked, saved), 1000);
  }

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

TEST_F(JvmListPageJobTest, OpeningOverJdk17WithItsJmodsStaysInteractive) {
  openOver(kavrin_test::kJdkHome, std::string(kavrin_test::kJdkHome) + "/jmods/java.base.jmod");
}

TEST_F(JvmListPageJobTest, OpeningOverJdk25WithoutJmodsStaysInteractive) {
  const std::string home = kavrin_test::kJdk25Home;
  if (!std::filesystem::exists(home + "/lib/modules")) GTEST_SKIP() << "no JDK 25 at " << home << ": not opened";
  openOver(home, home + "/lib/modules/java.base");
}

TEST_F(JvmListPageJobTest, WithoutAJdkTheJobLeavesJavaHomeAsItIs) {
  // The first start: no settings file, nothing installed, so no current JVM.
  open();
  EXPECT_EQ(host.page.m_currentJvm.strName, "");
  EXPECT_EQ(processJavaHome(), "/before");
  EXPECT_EQ(userJavaHome(), "<none>");
  EXPECT_TRUE(host.wizardEnabled());

  // A JVM defined without a JDK.
  host.page.m_currentJvm = jdk;
  host.page.m_currentJvm.strJDKPath.clear();
  ASSERT_TRUE(host.page.StartJob());
  ASSERT_TRUE(host.waitForJob());
  EXPECT_EQ(processJavaHome(), "/before");
  EXPECT_EQ(userJavaHome(), "<none>");
  EXPECT_TRUE(messageBoxTexts("Error").empty());
}

TEST_F(JvmListPageJobTest, AUserKeyThatCannotBeWrittenIsReportedNamingTheRegistryFile) {
  ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Environment"), ERROR_SUCCESS);
  writeSettings(jdk, "");
  open();
  EXPECT_EQ(processJavaHome(), kavrin_test::kJdkHome) << "set all the same";
  std::vector<std::string> errors = messageBoxTexts("Error");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("Cannot set environment variables!\n", 0), 0u) << errors[0];

  // A full disk: the registry file keeps what it held, and the message names it.
  createUserEnvironmentKey();
  const std::string registryFile = dir.file("registry.reg");
  const std::string before = kavrin_test::readFile(registryFile);
  win32::injectWriteFailure("registry.reg", ENOSPC, 8);
  ASSERT_TRUE(host.page.StartJob());
  ASSERT_TRUE(host.waitForJob());
  win32::clearWriteFailures();
  errors = messageBoxTexts("Error");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[1].find(registryFile), std::string::npos) << errors[1];
  EXPECT_NE(errors[1].find("No space left on device"), std::string::npos) << errors[1];
  EXPECT_EQ(kavrin_test::readFile(registryFile), before);
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

TEST_F(JvmListPageJobTest, ASaveThatFailsTellsTheUserWhichFileAndKeepsIt) {
  writeSettings(jdk, "");
  open();
  const std::string before = kavrin_test::readFile(settingsFile);
  const char* fixedText =
      "There is a problem with initialization of environment variables.\nRestart Microsoft Visual Studio IDE.";

  // A full disk.
  win32::injectWriteFailure("kavringlobals.xml", ENOSPC, 20);
  host.page.SaveGlobalSettings();
  win32::clearWriteFailures();
  std::vector<std::string> boxes = messageBoxTexts("KAVRIN Add-In");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind(fixedText, 0), 0u) << boxes[0];
  EXPECT_NE(boxes[0].find(settingsFile + ": No space left on device"), std::string::npos) << boxes[0];
  EXPECT_EQ(kavrin_test::readFile(settingsFile), before);
  EXPECT_EQ(win32::listFolder(dir.path(), ".xml"), std::vector<std::string>{"kavringlobals.xml"})
      << "no temporary left";

  host.page.m_installFolder = dir.file("no-such-folder");
  host.page.SaveGlobalSettings();
  boxes = messageBoxTexts("KAVRIN Add-In");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[1].find("no-such-folder/kavringlobals.xml"), std::string::npos) << boxes[1];
  EXPECT_EQ(kavrin_test::readFile(settingsFile), before);
}

TEST_F(JvmListPageJobTest, AnUnreadableSettingsFileIsCopiedAndReplacedOnlyWithTheUsersConsent) {
  const std::string broken = "<Project><CurrentJVM Name='J'></Project>";
  kavrin_test::writeFile(settingsFile, broken);
  open(JvmDefinitionSet{jdk});
  ASSERT_EQ(host.page.m_currentJvm.strName, "") << "nothing was read, nothing is checked";
  std::vector<std::string> warnings = messageBoxTexts("KAVRIN Add-In");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("cannot be read"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find(settingsFile + ".bak"), std::string::npos) << warnings[0];
  EXPECT_EQ(kavrin_test::readFile(settingsFile + ".bak"), broken);

  // A click on the row checks it (no row was checked); saving over the file is refused.
  ui::answerMessageBox(IDNO);
  ASSERT_TRUE(ui::clickListItem(host.control(IDC_JVM_LIST), 0));
  ASSERT_TRUE(host.waitForJob());
  warnings = messageBoxTexts("KAVRIN Add-In");
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[1].find("Replace it"), std::string::npos) << warnings[1];
  EXPECT_EQ(kavrin_test::readFile(settingsFile), broken);
  EXPECT_EQ(host.page.m_currentJvm.strName, "SUN17");
  EXPECT_EQ(processJavaHome(), kavrin_test::kJdkHome) << "the checked JVM is applied all the same";

  // The next save asks again; left to its default answer (Enter), the question keeps the file.
  host.page.SaveGlobalSettings();
  EXPECT_EQ(messageBoxTexts("KAVRIN Add-In").size(), 3u);
  EXPECT_EQ(kavrin_test::readFile(settingsFile), broken);
  // Agreed, it replaces the file, and the copy stays.
  ui::answerMessageBox(IDYES);
  host.page.SaveGlobalSettings();
  EXPECT_EQ(messageBoxTexts("KAVRIN Add-In").size(), 4u);
  EXPECT_NE(kavrin_test::readFile(settingsFile).find("Name=\"SUN17\""), std::string::npos);
  EXPECT_EQ(kavrin_test::readFile(settingsFile + ".bak"), broken);
  host.page.SaveGlobalSettings();
  EXPECT_EQ(messageBoxTexts("KAVRIN Add-In").size(), 4u) << "asked once agreed";
}

// Another JVM checked while the settings file cannot be written: the file keeps the JVM it names,
// and so do the page and JAVA_HOME; once the file can be written, the JVM checked is applied.
TEST_F(JvmListPageJobTest, AJvmCheckedWhileTheSettingsCannotBeSavedChangesNothingElse) {
  const JvmDefinition other{"Other", kavrin_test::kJdkHome, dir.path(), {}, {}};
  writeSettings(jdk, "");
  open(JvmDefinitionSet{jdk, other});
  ASSERT_EQ(processJavaHome(), kavrin_test::kJdkHome);
  const std::string before = kavrin_test::readFile(settingsFile);
  const HWND list = host.control(IDC_JVM_LIST);
  auto rowOf = [&](const std::string& name) {
    const std::vector<ui::ListItemState> items = ui::listState(list).items;
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i].texts[0] == name) return static_cast<int>(i);
    }
    return -1;
  };
  auto checked = [&](const std::string& name) {
    return ui::listState(list).items[static_cast<size_t>(rowOf(name))].checked;
  };

  win32::injectWriteFailure("kavringlobals.xml", ENOSPC, 20);
  ASSERT_TRUE(ui::setListItemChecked(list, rowOf("Other"), true));
  ASSERT_TRUE(host.waitForJob());
  win32::clearWriteFailures();
  ASSERT_EQ(messageBoxTexts("KAVRIN Add-In").size(), 1u) << "the save's failure is told";
  EXPECT_EQ(kavrin_test::readFile(settingsFile), before);
  EXPECT_EQ(host.page.m_currentJvm.strName, "SUN17");
  EXPECT_TRUE(checked("SUN17"));
  EXPECT_FALSE(checked("Other"));
  EXPECT_EQ(processJavaHome(), kavrin_test::kJdkHome);
  EXPECT_EQ(userJavaHome(), kavrin_test::kJdkHome);

  ASSERT_TRUE(ui::setListItemChecked(list, rowOf("Other"), true));
  ASSERT_TRUE(host.waitForJob());
  EXPECT_NE(kavrin_test::readFile(settingsFile).find("Name=\"Other\""), std::string::npos);
  EXPECT_EQ(host.page.m_currentJvm.strName, "Other");
  EXPECT_EQ(processJavaHome(), dir.path());
  EXPECT_EQ(userJavaHome(), dir.path());
}

}  // namespace
