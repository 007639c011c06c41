// The "Installed JVMs" page and the JVM dialog: the JVM rows and their radio-like check boxes,
// adding, editing and removing JVM definitions, and the dialog's folder pickers, library scan,
// added archives and input checks, as a user drives them.
#include "JvmDlg.h"
#include "JvmListPage.h"
#include "PageTestSupport.h"
#include "TestSupport.h"

#include <unistd.h>

#include <filesystem>

using namespace pagetest;

namespace {

// A JDK home with a classic embedded runtime: archives in jre/lib, jre/lib/ext and jre/javaws.
void makeJdk(const std::string& home) {
  for (const char* file : {"jre/lib/b.zip", "jre/lib/a.jar", "jre/lib/c.jar", "jre/lib/ext/e.jar", "jre/javaws/w.jar",
                           "jre/lib/notes.txt"}) {
    kavrin_test::writeFile(home + "/" + file, std::string("x"));
  }
}

// Keeps the process's current directory, which the folder pickers change.
class CurrentDirectory {
 public:
  CurrentDirectory() {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) != nullptr) m_path = buffer;
  }
  ~CurrentDirectory() {
    if (!m_path.empty() && chdir(m_path.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << m_path;
  }

 private:
  std::string m_path;
};

std::string cwd() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

// --- The JVM dialog ---------------------------------------------------------------------------------

class JvmDialogTest : public wizardtest::WizardUiTest {
 protected:
  void SetUp() override {
    WizardUiTest::SetUp();
    ui::setModalIdleLimit(10000);
    registerJvmDialogTemplate();
    jdk = dir.file("jdk1.4");
    makeJdk(jdk);
  }

  // Runs the dialog with `script`; returns its result.
  INT_PTR run(std::function<void(HWND dialog)> script) {
    ui::onModalDialog([script](CDialog& dialog) { script(dialog.m_hWnd); }, IDD_JVM_DIALOG);
    return dialog.DoModal();
  }
  static HWND item(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }
  static std::string text(HWND dialog, int id) { return ui::windowState(item(dialog, id)).text; }
  static bool enabled(HWND dialog, int id) { return ::IsWindowEnabled(item(dialog, id)) != FALSE; }
  static std::vector<std::string> libraries(HWND dialog) { return columnTexts(item(dialog, IDC_LIBRARY_LIST)); }

  CurrentDirectory keepDirectory;
  kavrin_test::TempDir dir{"jvm-dialog"};
  std::string jdk;
  CJvmDlg dialog;
};

TEST_F(JvmDialogTest, OpensWithTheDefinitionItsLibrariesAndAddedPaths) {
  JvmDefinition jvm{"SUN1.4", "/j/jre", "/j", {"/j/jre/lib/rt.jar", "/j/jre/lib/ext/x.jar"}, {}};
  std::set<std::string> added = {"/mine/b.jar", "/mine/a.zip"};
  dialog.SetJvm("Edit JDK", &added, jvm);

  INT_PTR result = run([&](HWND d) {
    EXPECT_EQ(ui::windowState(d).text, "Edit JDK");
    EXPECT_EQ(text(d, IDC_JVM_NAME), "SUN1.4");
    EXPECT_EQ(text(d, IDC_JRE_HOME), "/j/jre");
    EXPECT_EQ(text(d, IDC_JDK_HOME), "/j");
    EXPECT_TRUE(enabled(d, IDC_JRE_HOME));
    EXPECT_EQ(libraries(d),
              (std::vector<std::string>{"/j/jre/lib/ext/x.jar", "/j/jre/lib/rt.jar", "/mine/a.zip", "/mine/b.jar"}));
    ui::ListState list = ui::listState(item(d, IDC_LIBRARY_LIST));
    ASSERT_EQ(list.items.size(), 4u);
    EXPECT_TRUE(list.items[0].selected);
    for (const ui::ListItemState& row : list.items) EXPECT_EQ(row.image, kImageArchive);
    ASSERT_EQ(list.columns.size(), 1u);
    EXPECT_EQ(list.columns[0].width, 500);
    // A JRE library cannot be edited or removed, an added path can.
    EXPECT_FALSE(enabled(d, IDC_EDIT_JAR));
    EXPECT_FALSE(enabled(d, IDC_REMOVE_JAR));
    ASSERT_TRUE(ui::clickListItem(item(d, IDC_LIBRARY_LIST), 3));
    EXPECT_TRUE(enabled(d, IDC_EDIT_JAR));
    EXPECT_TRUE(enabled(d, IDC_REMOVE_JAR));
    ASSERT_TRUE(ui::clickListItem(item(d, IDC_LIBRARY_LIST), 1));
    EXPECT_FALSE(enabled(d, IDC_REMOVE_JAR));
    ASSERT_TRUE(ui::clickButton(item(d, IDCANCEL)));
  });
  EXPECT_EQ(result, IDCANCEL);
}

TEST_F(JvmDialogTest, WithoutAJdkTheJreCannotBeChosenFirst) {
  dialog.SetJvm("Add JDK", nullptr, JvmDefinition());
  run([&](HWND d) {
    EXPECT_EQ(ui::windowState(d).text, "Add JDK");
    EXPECT_FALSE(enabled(d, IDC_JRE_HOME));
    EXPECT_FALSE(enabled(d, IDC_BROWSE_JRE));
    EXPECT_TRUE(libraries(d).empty());
    EXPECT_FALSE(enabled(d, IDC_EDIT_JAR));
    ui::clickButton(item(d, IDCANCEL));
  });
}

TEST_F(JvmDialogTest, OkNamesTheFirstMissingEntryAndStaysOpen) {
  dialog.SetJvm("Add JDK", nullptr, JvmDefinition());
  INT_PTR result = run([&](HWND d) {
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    EXPECT_EQ(text(d, IDC_JVM_MESSAGE), "Enter JVM Name");
    ASSERT_TRUE(ui::typeText(item(d, IDC_JVM_NAME), "Mine"));
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    EXPECT_EQ(text(d, IDC_JVM_MESSAGE), "Enter JDK Path");
    ASSERT_TRUE(ui::typeText(item(d, IDC_JDK_HOME), "/mine"));
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    EXPECT_EQ(text(d, IDC_JVM_MESSAGE), "Enter JRE Path");
    EXPECT_TRUE(::IsWindowVisible(d));
    ui::clickButton(item(d, IDCANCEL));
  });
  EXPECT_EQ(result, IDCANCEL) << "never accepted";
  EXPECT_EQ(ui::modalRecords().back().idleTimeout, false);
}

TEST_F(JvmDialogTest, OkAfterChangingOnlyTheNameGivesADefinitionWithoutLibraries) {
  JvmDefinition jvm{"Old", "/j/jre", "/j", {"/j/jre/lib/rt.jar"}, {"/mine/a.jar"}};
  std::set<std::string> added = {"/mine/a.jar"};
  dialog.SetJvm("Edit JDK", &added, jvm);
  INT_PTR result = run([&](HWND d) {
    ASSERT_TRUE(ui::typeText(item(d, IDC_JVM_NAME), "New"));
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(dialog.GetJvm().strName, "New");
  EXPECT_EQ(dialog.GetJvm().strJREPath, "/j/jre");
  EXPECT_EQ(dialog.GetJvm().strJDKPath, "/j");
  EXPECT_TRUE(dialog.GetJvm().setLibraries.empty());
  EXPECT_TRUE(dialog.GetJvm().setAddedPaths.empty());
  EXPECT_EQ(dialog.GetAddedPaths(), added);
}

TEST_F(JvmDialogTest, BrowsingToAJdkFillsBothHomesAndScansTheRuntime) {
  std::set<std::string> added = {"/mine/a.jar", "/mine/b.jar"};
  JvmDefinition jvm;
  jvm.strJDKPath = dir.path();  // the browser starts here
  dialog.SetJvm("Add JDK", &added, jvm);
  std::string initialSelection, statusText;
  ui::onFolderBrowser([&](ui::FolderBrowser& browser) {
    EXPECT_EQ(browser.title(), "Select JDK Home");
    EXPECT_EQ(browser.flags(), static_cast<UINT>(BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_VALIDATE));
    initialSelection = browser.selection();
    ASSERT_TRUE(browser.select(jdk));
    statusText = browser.statusText();
    ASSERT_TRUE(browser.ok());
  });
  INT_PTR result = run([&](HWND d) {
    ASSERT_TRUE(ui::typeText(item(d, IDC_JVM_NAME), "Mine"));
    ASSERT_TRUE(ui::clickButton(item(d, IDC_BROWSE_JDK)));
    EXPECT_EQ(text(d, IDC_JDK_HOME), jdk);
    EXPECT_EQ(text(d, IDC_JRE_HOME), jdk + "/jre");
    EXPECT_TRUE(enabled(d, IDC_JRE_HOME));
    EXPECT_TRUE(enabled(d, IDC_BROWSE_JRE));
    // Inserted at the top: the added paths, then javaws, ext and lib.
    EXPECT_EQ(libraries(d), (std::vector<std::string>{"/mine/b.jar", "/mine/a.jar", jdk + "/jre/javaws/w.jar",
                                                      jdk + "/jre/lib/ext/e.jar", jdk + "/jre/lib/c.jar",
                                                      jdk + "/jre/lib/a.jar", jdk + "/jre/lib/b.zip"}));
    EXPECT_TRUE(ui::listState(item(d, IDC_LIBRARY_LIST)).items[0].selected);
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(initialSelection, dir.path());
  EXPECT_EQ(statusText, jdk);
  EXPECT_EQ(cwd(), dir.path()) << "the browser starts in the process's current directory";
  const JvmDefinition& made = dialog.GetJvm();
  EXPECT_EQ(made.strName, "Mine");
  EXPECT_EQ(made.strJDKPath, jdk);
  EXPECT_EQ(made.strJREPath, jdk + "/jre");
  EXPECT_EQ(made.setLibraries,
            (std::set<std::string>{jdk + "/jre/javaws/w.jar", jdk + "/jre/lib/ext/e.jar", jdk + "/jre/lib/c.jar",
                                   jdk + "/jre/lib/a.jar", jdk + "/jre/lib/b.zip"}));
  EXPECT_TRUE(made.setAddedPaths.empty());
}

TEST_F(JvmDialogTest, AJdkWithoutAJreFolderIsItsOwnRuntime) {
  // A run-time image without jmods: its class library is the modules of its image.
  const std::string image = kavrin_test::kJlinkImage;
  dialog.SetJvm("Add JDK", nullptr, JvmDefinition());
  ui::answerFolderBrowser(image);
  INT_PTR result = run([&](HWND d) {
    ASSERT_TRUE(ui::typeText(item(d, IDC_JVM_NAME), "Linked"));
    ASSERT_TRUE(ui::clickButton(item(d, IDC_BROWSE_JDK)));
    EXPECT_EQ(text(d, IDC_JDK_HOME), image);
    EXPECT_EQ(text(d, IDC_JRE_HOME), image);
    EXPECT_TRUE(enabled(d, IDC_BROWSE_JRE));
    EXPECT_EQ(libraries(d), (std::vector<std::string>{image + "/lib/jrt-fs.jar", image + "/lib/modules/java.logging",
                                                      image + "/lib/modules/java.base"}));
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(dialog.GetJvm().strJREPath, image);
  EXPECT_EQ(dialog.GetJvm().setLibraries.count(image + "/lib/modules/java.base"), 1u);

  // A folder with a VM library but no class library is no JDK.
  kavrin_test::writeFile(dir.file("vm-only/lib/server/libjvm.so"), std::string("ELF"));
  dialog.SetJvm("Add JDK", nullptr, JvmDefinition());
  ui::answerFolderBrowser(dir.file("vm-only"));
  run([&](HWND d) {
    ASSERT_TRUE(ui::clickButton(item(d, IDC_BROWSE_JDK)));
    EXPECT_EQ(text(d, IDC_JDK_HOME), "");
    EXPECT_FALSE(enabled(d, IDC_JRE_HOME));
    ui::clickButton(item(d, IDCANCEL));
  });
}

TEST_F(JvmDialogTest, AFolderWithoutARuntimeIsNoJdkAndCancelledBrowsersChangeNothing) {
  JvmDefinition jvm{"Mine", "/keep/jre", "/keep", {}, {}};
  dialog.SetJvm("Edit JDK", nullptr, jvm);
  ui::answerFolderBrowser(dir.path());  // no jre/lib in it
  ui::cancelFolderBrowser();
  run([&](HWND d) {
    ASSERT_TRUE(ui::clickButton(item(d, IDC_BROWSE_JDK)));
    EXPECT_EQ(text(d, IDC_JDK_HOME), "/keep");
    ASSERT_TRUE(ui::clickButton(item(d, IDC_BROWSE_JRE)));
    EXPECT_EQ(text(d, IDC_JRE_HOME), "/keep/jre");
    ui::clickButton(item(d, IDCANCEL));
  });
  ASSERT_EQ(ui::folderBrowserRecords().size(), 2u);
  EXPECT_EQ(ui::folderBrowserRecords()[1].title, "Select JRE Home");
}

TEST_F(JvmDialogTest, BrowsingToAJreScansItWithoutCheckingIt) {
  JvmDefinition jvm{"Mine", "/nowhere", jdk, {}, {}};
  dialog.SetJvm("Edit JDK", nullptr, jvm);
  ui::answerFolderBrowser(jdk + "/jre/lib");  // a folder that is no runtime: still taken
  ui::answerFolderBrowser(jdk + "/jre");
  INT_PTR result = run([&](HWND d) {
    ASSERT_TRUE(ui::clickButton(item(d, IDC_BROWSE_JRE)));
    EXPECT_EQ(text(d, IDC_JRE_HOME), jdk + "/jre/lib");
    EXPECT_TRUE(libraries(d).empty());
    ASSERT_TRUE(ui::clickButton(item(d, IDC_BROWSE_JRE)));
    EXPECT_EQ(libraries(d).size(), 5u);
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(dialog.GetJvm().strJREPath, jdk + "/jre");
  EXPECT_EQ(dialog.GetJvm().setLibraries.size(), 5u);
}

TEST_F(JvmDialogTest, ExternalArchivesAreAddedEditedAndRemoved) {
  JvmDefinition jvm{"Mine", "/j/jre", "/j", {"/j/jre/lib/rt.jar"}, {}};
  std::set<std::string> added = {"/lib/Old.jar"};
  dialog.SetJvm("Edit JDK", &added, jvm);

  ui::answerFileDialog({"/work/New.jar"});
  ui::answerFileDialog({"/LIB/old.JAR"});  // a listed archive in another case
  ui::answerFileDialog({"/work/Other.zip"});
  INT_PTR result = run([&](HWND d) {
    HWND list = item(d, IDC_LIBRARY_LIST);
    ASSERT_TRUE(ui::clickButton(item(d, IDC_ADD_JARS)));
    EXPECT_EQ(libraries(d), (std::vector<std::string>{"/j/jre/lib/rt.jar", "/lib/Old.jar", "/work/New.jar"}));

    ASSERT_TRUE(ui::clickButton(item(d, IDC_ADD_JARS)));
    EXPECT_EQ(libraries(d).size(), 3u) << "nothing added";
    EXPECT_TRUE(ui::listState(list).items[1].selected) << "the listed row is selected";

    // Edit the selected added path: its row takes the new path.
    ASSERT_TRUE(ui::clickButton(item(d, IDC_EDIT_JAR)));
    EXPECT_EQ(libraries(d), (std::vector<std::string>{"/j/jre/lib/rt.jar", "/work/Other.zip", "/work/New.jar"}));
    EXPECT_TRUE(ui::listState(list).items[1].selected);

    ASSERT_TRUE(ui::clickListItem(list, 2));
    ASSERT_TRUE(ui::clickButton(item(d, IDC_REMOVE_JAR)));
    EXPECT_EQ(libraries(d), (std::vector<std::string>{"/j/jre/lib/rt.jar", "/work/Other.zip"}));
    EXPECT_TRUE(ui::listState(list).items[1].selected) << "the last row is selected";
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(dialog.GetAddedPaths(), std::set<std::string>{"/work/Other.zip"});

  std::vector<ui::FileDialogRecord> dialogs = ui::fileDialogRecords();
  ASSERT_EQ(dialogs.size(), 3u);
  std::vector<std::pair<std::string, std::string>> filters = {
      {"Java Files(*.jar *.zip)", "*.jar;*.zip"}, {"Jar Files (*.jar)", "*.jar"}, {"Zip Files (*.zip)", "*.zip"}};
  EXPECT_EQ(dialogs[0].filters, filters);
  EXPECT_EQ(dialogs[0].bufferSize, 200000u);
  EXPECT_EQ(dialogs[0].flags & OFN_ALLOWMULTISELECT, 0u);
  EXPECT_EQ(dialogs[0].initialFile, "");
  EXPECT_EQ(dialogs[2].initialFile, "/lib/Old.jar") << "Edit starts at the row's archive";
}

// --- The page ---------------------------------------------------------------------------------------

const char kSettingsFile[] = "kavringlobals.xml";

class JvmListPageTest : public wizardtest::WizardUiTest {
 protected:
  void SetUp() override {
    WizardUiTest::SetUp();
    ui::setModalIdleLimit(10000);
    registerJvmListPageTemplate();
    registerJvmDialogTemplate();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(document.CreateInstance(CLSID_DOMDocument)));
    sun.strName = "SUN1.4";
    sun.strJREPath = dir.file("sun/jre");
    sun.strJDKPath = dir.file("sun");
    ibm.strName = "IBM1.3";
    ibm.strJREPath = dir.file("ibm/jre");
    ibm.strJDKPath = dir.file("ibm");
    jdk = dir.file("jdk-custom");
    makeJdk(jdk);
  }
  void TearDown() override {
    host.close();
    document = nullptr;
    CoUninitialize();
    WizardUiTest::TearDown();
  }

  // Writes the global settings file: the current JVM and the user-defined JVMs.
  void writeSettings(const JvmDefinition& current, const std::vector<JvmDefinition>& extras) {
    auto attributes = [](const JvmDefinition& jvm) {
      return " Name=\"" + jvm.strName + "\" JREPath=\"" + jvm.strJREPath + "\" JDKPath=\"" + jvm.strJDKPath + "\"";
    };
    std::string xml = "<Project><CurrentJVM" + attributes(current) + "/><ExtraJVMs>";
    for (const JvmDefinition& jvm : extras) xml += "<ExtraJVM" + attributes(jvm) + "/>";
    xml += "</ExtraJVMs><AddedPaths/></Project>";
    kavrin_test::writeFile(dir.file(kSettingsFile), xml);
  }
  std::string settings() const { return kavrin_test::readFile(dir.file(kSettingsFile)); }

  void open(const JvmDefinitionSet& installed) {
    ASSERT_TRUE(host.open());
    host.page.SetJvmData(&host.bar, &classes, installed, document);
    ASSERT_TRUE(host.waitForJob());
  }
  HWND list() const { return host.control(IDC_JVM_LIST); }
  std::vector<bool> checks() const {
    std::vector<bool> result;
    for (const ui::ListItemState& row : ui::listState(list()).items) result.push_back(row.checked);
    return result;
  }
  int rowOf(const std::string& name) const {
    std::vector<std::string> names = columnTexts(list());
    auto at = std::find(names.begin(), names.end(), name);
    return at == names.end() ? -1 : static_cast<int>(at - names.begin());
  }
  // Runs the JVM dialog that `button` opens with `script`.
  void throughDialog(int button, std::function<void(HWND dialog)> script) {
    ui::onModalDialog([script](CDialog& dialog) { script(dialog.m_hWnd); }, IDD_JVM_DIALOG);
    ASSERT_TRUE(host.click(button));
    ASSERT_TRUE(host.waitForJob());
  }
  // Adds a JVM through the JVM dialog: `name` typed, `jdkHome` picked as its JDK, OK;
  // `opened` looks at the dialog first.
  void addJvm(
      const std::string& name, const std::string& jdkHome,
      const std::function<void(HWND dialog)>& opened = [](HWND) {}) {
    throughDialog(IDC_ADD, [&](HWND d) {
      opened(d);
      ASSERT_TRUE(ui::typeText(::GetDlgItem(d, IDC_JVM_NAME), name));
      ui::answerFolderBrowser(jdkHome);
      ASSERT_TRUE(ui::clickButton(::GetDlgItem(d, IDC_BROWSE_JDK)));
      ASSERT_TRUE(ui::clickButton(::GetDlgItem(d, IDOK)));
    });
  }

  CurrentDirectory keepDirectory;
  kavrin_test::TempDir dir{"jvm-page"};
  kavrin_test::ScopedEnv installFolder{"KAVRINVC6", dir.path()};
  kavrin_test::ScopedEnv registry{"KAVRIN_REGISTRY", dir.file("registry.reg")};
  kavrin_test::ScopedEnv javaHome{"JAVA_HOME", std::nullopt};
  IXMLDOMDocumentPtr document;
  JvmDefinition sun, ibm;
  std::string jdk;
  ClassSettingsMap classes;
  PageHost<CJvmListPage> host;
};

TEST_F(JvmListPageTest, WithNothingInstalledAndNoSettingsTheListIsEmptyAndNothingChecked) {
  open({});
  ui::ListState state = ui::listState(list());
  EXPECT_TRUE(state.items.empty());
  ASSERT_EQ(state.columns.size(), 3u);
  EXPECT_EQ(state.columns[0].text, "Name");
  EXPECT_EQ(state.columns[0].width, 90);
  EXPECT_EQ(state.columns[1].text, "JRE Location");
  EXPECT_EQ(state.columns[2].text, "JDK Location");
  EXPECT_EQ(state.columns[2].width, 180);
  const DWORD styles = LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
  EXPECT_EQ(state.extendedStyle & styles, styles);
  EXPECT_EQ(host.page.m_installFolder, CString(dir.path()));
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "");
  EXPECT_FALSE(std::filesystem::exists(dir.file(kSettingsFile))) << "nothing changed, nothing saved";
  EXPECT_TRUE(host.wizardEnabled());
}

TEST_F(JvmListPageTest, ListsInstalledThenUserDefinedJvmsAndChecksTheCurrentOne) {
  JvmDefinition mine{"Mine", dir.file("mine/jre"), dir.file("mine"), {}, {}};
  JvmDefinition shadow{"SUN1.4", "/shadow/jre", "/shadow", {}, {}};
  writeSettings(sun, {mine, shadow});
  open({sun, ibm});

  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{"IBM1.3", "SUN1.4", "Mine"}))
      << "a user-defined JVM with an installed name is shown once";
  EXPECT_EQ(columnTexts(list(), 1), (std::vector<std::string>{ibm.strJREPath, sun.strJREPath, mine.strJREPath}));
  EXPECT_EQ(columnTexts(list(), 2), (std::vector<std::string>{ibm.strJDKPath, sun.strJDKPath, mine.strJDKPath}));
  EXPECT_EQ(checks(), (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(ui::listState(list()).items[1].selected);
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "SUN1.4");
  EXPECT_TRUE(host.enabled(IDC_EDIT)) << "the selected row is the current JVM";
}

TEST_F(JvmListPageTest, ACurrentJvmWhoseRowShowsOtherPathsTakesThemAfterTheFirstJobAndAppliesThem) {
  JvmDefinition moved = sun;
  moved.strJDKPath = "/moved";
  moved.strJREPath = "/moved/jre";
  writeSettings(moved, {});
  open({sun, ibm});

  EXPECT_EQ(checks(), (std::vector<bool>{false, true}));
  const JvmDefinition& current = host.page.GetCurrentJvmName();
  EXPECT_EQ(current.strJDKPath, sun.strJDKPath);
  EXPECT_EQ(current.strJREPath, sun.strJREPath);
  EXPECT_NE(settings().find("JDKPath=\"" + sun.strJDKPath + "\""), std::string::npos) << settings();
  const char* javaHome = getenv("JAVA_HOME");
  EXPECT_EQ(javaHome != nullptr ? javaHome : "", sun.strJDKPath) << "a second job applied the row's JVM";
}

TEST_F(JvmListPageTest, CheckingAnotherRowMakesItTheOnlyCheckedAndTheCurrentJvm) {
  writeSettings(sun, {});
  open({sun, ibm});
  host.bar.forget();

  ASSERT_TRUE(ui::setListItemChecked(list(), rowOf("IBM1.3"), true));
  ASSERT_TRUE(host.waitForJob());

  EXPECT_EQ(checks(), (std::vector<bool>{true, false}));
  EXPECT_TRUE(ui::listState(list()).items[0].selected);
  const JvmDefinition& current = host.page.GetCurrentJvmName();
  EXPECT_EQ(current.strName, "IBM1.3");
  EXPECT_EQ(current.strJREPath, ibm.strJREPath);
  EXPECT_EQ(current.strJDKPath, ibm.strJDKPath);
  EXPECT_NE(settings().find("<CurrentJVM Name=\"IBM1.3\""), std::string::npos) << settings();
  EXPECT_EQ(host.bar.positions.back(), 0) << "the JVM job ran again";
  const char* javaHome = getenv("JAVA_HOME");
  EXPECT_EQ(javaHome != nullptr ? javaHome : "", ibm.strJDKPath);

  // Unchecking the only checked row checks it again.
  ASSERT_TRUE(ui::setListItemChecked(list(), 0, false));
  ASSERT_TRUE(host.waitForJob());
  EXPECT_EQ(checks(), (std::vector<bool>{true, false}));
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "IBM1.3");
}

TEST_F(JvmListPageTest, EditFollowsTheCurrentRowAndRemoveTheUserDefinedOnes) {
  JvmDefinition mine{"Mine", dir.file("mine/jre"), dir.file("mine"), {}, {}};
  writeSettings(sun, {mine});
  open({sun, ibm});
  ASSERT_TRUE(ui::clickListItem(list(), rowOf("IBM1.3")));
  EXPECT_FALSE(host.enabled(IDC_EDIT));
  EXPECT_FALSE(host.enabled(IDC_REMOVE));
  ASSERT_TRUE(ui::clickListItem(list(), rowOf("Mine")));
  EXPECT_FALSE(host.enabled(IDC_EDIT));
  EXPECT_TRUE(host.enabled(IDC_REMOVE));
  ASSERT_TRUE(ui::clickListItem(list(), rowOf("SUN1.4")));
  EXPECT_TRUE(host.enabled(IDC_EDIT));
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "SUN1.4") << "selecting does not change the current JVM";
}

TEST_F(JvmListPageTest, AddListsTheNewJvmChecksItAndSavesIt) {
  writeSettings(sun, {});
  open({sun});
  addJvm("Custom", jdk, [](HWND d) {
    EXPECT_EQ(ui::windowState(d).text, "Add JDK");
    EXPECT_EQ(ui::windowState(::GetDlgItem(d, IDC_JVM_NAME)).text, "");
  });

  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{"SUN1.4", "Custom"}));
  EXPECT_EQ(columnTexts(list(), 1)[1], jdk + "/jre");
  EXPECT_EQ(checks(), (std::vector<bool>{false, true}));
  const JvmDefinition& current = host.page.GetCurrentJvmName();
  EXPECT_EQ(current.strName, "Custom");
  EXPECT_EQ(current.strJDKPath, jdk);
  EXPECT_EQ(host.page.m_extraJvms.count(std::string("Custom")), 1u);
  std::string saved = settings();
  EXPECT_NE(saved.find("<CurrentJVM Name=\"Custom\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("<ExtraJVM Name=\"Custom\""), std::string::npos) << saved;
  EXPECT_TRUE(host.enabled(IDC_EDIT));
}

TEST_F(JvmListPageTest, AddTakesTheHomeOfJdk17AsItsOwnRuntime) {
  const std::string jdk17 = kavrin_test::kJdkHome;
  writeSettings(sun, {});
  open({sun});
  addJvm("JDK17", jdk17);
  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{"SUN1.4", "JDK17"}));
  EXPECT_EQ(columnTexts(list(), 1)[1], jdk17);
  const JvmDefinition& current = host.page.GetCurrentJvmName();
  EXPECT_EQ(current.strJREPath, jdk17);
  EXPECT_EQ(current.strJDKPath, jdk17);
  EXPECT_EQ(current.setLibraries.count(jdk17 + "/jmods/java.base.jmod"), 1u);
  EXPECT_NE(settings().find("<![CDATA[" + jdk17 + "/jmods/java.base.jmod]]>"), std::string::npos);
}

TEST_F(JvmListPageTest, AddWithAnInstalledNameAddsNoRowAndLeavesTheInstalledJvmAsItIs) {
  writeSettings(sun, {});
  open({sun, ibm});
  addJvm("ibm1.3", jdk);
  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{"IBM1.3", "SUN1.4"}));
  EXPECT_EQ(columnTexts(list(), 2), (std::vector<std::string>{ibm.strJDKPath, sun.strJDKPath}))
      << "the installed row keeps its paths";
  EXPECT_TRUE(host.page.m_extraJvms.empty());
  EXPECT_EQ(checks(), (std::vector<bool>{true, false})) << "the list shows which JVM is current";
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "IBM1.3");
  EXPECT_EQ(host.page.GetCurrentJvmName().strJDKPath, ibm.strJDKPath);
  EXPECT_NE(settings().find("<CurrentJVM Name=\"IBM1.3\" JREPath=\"" + ibm.strJREPath), std::string::npos)
      << settings();
  const std::vector<std::string> notes = messageBoxTexts("KAVRIN Add-In");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("\"IBM1.3\" is the name of an installed JVM"), std::string::npos) << notes[0];
}

TEST_F(JvmListPageTest, RemoveIsOfferedForUserDefinedJvmsOnlyAlsoAfterTheJob) {
  JvmDefinition mine{"Mine", dir.file("mine/jre"), dir.file("mine"), {}, {}};
  JvmDefinition shadow{"SUN1.4", "/shadow/jre", "/shadow", {}, {}};
  writeSettings(sun, {mine, shadow});
  open({sun, ibm});
  EXPECT_FALSE(host.enabled(IDC_REMOVE)) << "the installed current JVM's row, after the job";
  ASSERT_TRUE(ui::setListItemChecked(list(), rowOf("IBM1.3"), true));
  ASSERT_TRUE(host.waitForJob());
  EXPECT_FALSE(host.enabled(IDC_REMOVE));
  ASSERT_TRUE(ui::clickListItem(list(), rowOf("Mine")));
  EXPECT_TRUE(host.enabled(IDC_REMOVE));
  ASSERT_TRUE(ui::clickListItem(list(), rowOf("SUN1.4")));
  EXPECT_FALSE(host.enabled(IDC_REMOVE)) << "shown as the installed JVM of that name";
  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{"IBM1.3", "SUN1.4", "Mine"}));
}

TEST_F(JvmListPageTest, WhileNoRowIsCheckedAClickOnARowChecksIt) {
  open({sun, ibm});
  ASSERT_EQ(checks(), (std::vector<bool>{false, false}));
  ASSERT_TRUE(ui::clickListItem(list(), rowOf("SUN1.4")));
  ASSERT_TRUE(host.waitForJob());
  EXPECT_EQ(checks(), (std::vector<bool>{false, true}));
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "SUN1.4");
  const char* javaHome = getenv("JAVA_HOME");
  EXPECT_EQ(javaHome != nullptr ? javaHome : "", sun.strJDKPath);

  // Once a row is checked, a click only selects.
  ASSERT_TRUE(ui::clickListItem(list(), rowOf("IBM1.3")));
  EXPECT_EQ(checks(), (std::vector<bool>{false, true}));
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "SUN1.4");
}

TEST_F(JvmListPageTest, TickingABoxWhileNoRowIsCheckedMakesItsJvmCurrent) {
  open({sun, ibm});
  ASSERT_EQ(checks(), (std::vector<bool>{false, false}));
  ASSERT_TRUE(ui::setListItemChecked(list(), rowOf("SUN1.4"), true));
  ASSERT_TRUE(host.waitForJob());
  EXPECT_EQ(checks(), (std::vector<bool>{false, true}));
  EXPECT_TRUE(ui::listState(list()).items[static_cast<size_t>(rowOf("SUN1.4"))].selected);
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "SUN1.4");
  EXPECT_NE(settings().find("<CurrentJVM Name=\"SUN1.4\""), std::string::npos) << settings();
  const char* javaHome = getenv("JAVA_HOME");
  EXPECT_EQ(javaHome != nullptr ? javaHome : "", sun.strJDKPath);
}

TEST_F(JvmListPageTest, CancelledDialogsChangeNothing) {
  writeSettings(sun, {});
  open({sun});
  const std::string before = settings();
  ui::onModalDialog([](CDialog& d) { ui::clickButton(::GetDlgItem(d.m_hWnd, IDCANCEL)); }, IDD_JVM_DIALOG);
  ui::onModalDialog([](CDialog& d) { ui::clickButton(::GetDlgItem(d.m_hWnd, IDCANCEL)); }, IDD_JVM_DIALOG);
  ASSERT_TRUE(host.click(IDC_ADD));
  ASSERT_TRUE(host.click(IDC_EDIT));
  ui::pumpMessages();
  EXPECT_EQ(columnTexts(list()), std::vector<std::string>{"SUN1.4"});
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "SUN1.4");
  EXPECT_EQ(settings(), before);
}

TEST_F(JvmListPageTest, EditChangesTheCurrentJvmAndItsRowAndAppliesIt) {
  JvmDefinition mine{"Mine", dir.file("mine/jre"), dir.file("mine"), {}, {}};
  writeSettings(mine, {mine});
  open({sun});
  ASSERT_EQ(checks(), (std::vector<bool>{false, true}));

  throughDialog(IDC_EDIT, [&](HWND d) {
    EXPECT_EQ(ui::windowState(d).text, "Edit JDK");
    EXPECT_EQ(ui::windowState(::GetDlgItem(d, IDC_JVM_NAME)).text, "Mine");
    EXPECT_EQ(ui::windowState(::GetDlgItem(d, IDC_JDK_HOME)).text, mine.strJDKPath);
    ASSERT_TRUE(ui::typeText(::GetDlgItem(d, IDC_JVM_NAME), "Renamed"));
    ASSERT_TRUE(ui::typeText(::GetDlgItem(d, IDC_JDK_HOME), jdk));
    ASSERT_TRUE(ui::clickButton(::GetDlgItem(d, IDOK)));
  });

  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{"SUN1.4", "Renamed"}));
  EXPECT_EQ(columnTexts(list(), 2)[1], jdk);
  EXPECT_EQ(checks(), (std::vector<bool>{false, true}));
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "Renamed");
  EXPECT_EQ(host.page.GetCurrentJvmName().strJDKPath, jdk);
  EXPECT_EQ(host.page.m_extraJvms.size(), 1u);
  EXPECT_EQ(host.page.m_extraJvms.count(std::string("Renamed")), 1u) << "the user's JVM was renamed";
  EXPECT_NE(settings().find("<CurrentJVM Name=\"Renamed\""), std::string::npos);
  const char* javaHome = getenv("JAVA_HOME");
  EXPECT_EQ(javaHome != nullptr ? javaHome : "", jdk) << "the edited JVM is applied";

  // A later click on the row keeps the edit.
  ASSERT_TRUE(ui::clickListItem(list(), 0));
  ASSERT_TRUE(ui::clickListItem(list(), 1));
  EXPECT_EQ(host.page.GetCurrentJvmName().strJDKPath, jdk);
}

TEST_F(JvmListPageTest, RemoveDropsAUserDefinedJvmAndTheLastRowTakesOverTheCheck) {
  JvmDefinition mine{"Mine", dir.file("mine/jre"), dir.file("mine"), {}, {}};
  JvmDefinition other{"Other", dir.file("other/jre"), dir.file("other"), {}, {}};
  writeSettings(mine, {mine, other});
  open({sun});
  ASSERT_EQ(columnTexts(list()), (std::vector<std::string>{"SUN1.4", "Mine", "Other"}));

  // A JVM that is not the current one goes without changing the current one.
  ASSERT_TRUE(ui::clickListItem(list(), 2));
  ASSERT_TRUE(host.click(IDC_REMOVE));
  ASSERT_TRUE(host.waitForJob());
  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{"SUN1.4", "Mine"}));
  EXPECT_EQ(host.page.m_extraJvms.count(std::string("Other")), 0u);
  EXPECT_EQ(settings().find("Other"), std::string::npos);
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "Mine");

  // The current one: the last row is checked and becomes current.
  ASSERT_TRUE(ui::clickListItem(list(), 1));
  ASSERT_TRUE(host.click(IDC_REMOVE));
  ASSERT_TRUE(host.waitForJob());
  EXPECT_EQ(columnTexts(list()), std::vector<std::string>{"SUN1.4"});
  EXPECT_EQ(checks(), std::vector<bool>{true});
  EXPECT_EQ(host.page.GetCurrentJvmName().strName, "SUN1.4");
  EXPECT_TRUE(host.page.m_extraJvms.empty());
  EXPECT_NE(settings().find("<CurrentJVM Name=\"SUN1.4\""), std::string::npos);
}

TEST_F(JvmListPageTest, SizingKeepsTheThreeButtonsAtTheRightEdgeAndStretchesTheList) {
  open({});
  host.page.MoveWindow(0, 0, 640, 420);
  ui::pumpMessages();
  RECT add = ui::windowState(host.control(IDC_ADD)).rect;
  for (int id : {IDC_ADD, IDC_EDIT, IDC_REMOVE, IDC_DESCRIPTION}) {
    EXPECT_EQ(ui::windowState(host.control(id)).rect.right, 640) << id;
  }
  RECT rows = ui::windowState(list()).rect;
  EXPECT_EQ(rows.right, add.left - 5);
  EXPECT_EQ(rows.bottom, 420);
}

}  // namespace
