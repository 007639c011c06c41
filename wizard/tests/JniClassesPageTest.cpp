// The "Select Classes" page and the "Add Java Classes" dialog: picking classes from a project
// archive or from the current JVM's archives, the job that loads each new class once, and
// removing classes, as a user drives them.
#include "AddClassesDlg.h"
#include "ClassRepository.h"
#include "GlobalSettings.h"
#include "JniClassesPage.h"
#include "PageTestSupport.h"
#include "TestSupport.h"

#include <algorithm>
#include <filesystem>

using namespace pagetest;

namespace {

const std::string kClasses = kavrin_test::kFixtureClasses;

class JniClassesPageTest : public wizardtest::WizardUiTest {
 protected:
  static void SetUpTestSuite() {
    s_dir = std::make_unique<kavrin_test::TempDir>("jni-classes-page");
    s_jar = s_dir->file("fixtures.jar");
    // Beside the classes, the class files a jar holds that are no classes.
    const std::string infos = s_dir->file("infos");
    std::filesystem::create_directories(infos + "/fixtures");
    const std::string bytes = kavrin_test::readFile(kClasses + "/fixtures/Base.class");
    kavrin_test::writeFile(infos + "/fixtures/package-info.class", bytes);
    kavrin_test::writeFile(infos + "/module-info.class", bytes);
    kavrin_test::CommandResult made =
        kavrin_test::runCommand({kavrin_test::kJar, "cf", s_jar, "-C", kClasses, "fixtures/Base.class", "-C", kClasses,
                                 "fixtures/Named.class", "-C", kClasses, "fixtures/natives/NativeMethods.class", "-C",
                                 kClasses, "fixtures/natives/NativeMethods$Inner.class"});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    // zip, as jar would read the module descriptor.
    made = kavrin_test::runCommand(
        {"sh", "-c", "cd '" + infos + "' && zip -q '" + s_jar + "' fixtures/package-info.class module-info.class"});
    ASSERT_EQ(made.exitCode, 0) << made.output;
  }
  static void TearDownTestSuite() { s_dir.reset(); }

  void SetUp() override {
    WizardUiTest::SetUp();
    ui::setModalIdleLimit(10000);
    registerJniClassesPageTemplate();
    registerAddClassesDialogTemplate();
    ClassRepository::resetModules("");
  }
  void TearDown() override {
    host.close();
    ClassRepository::resetModules("");
    WizardUiTest::TearDown();
  }

  void open() {
    ASSERT_TRUE(host.open());
    host.page.SetModel(&host.bar, &modules, &classes, &jvm);
  }
  HWND list() const { return host.control(IDC_CLASS_LIST); }

  // Opens "Add Java Classes", runs `script` in it and waits for the job that OK starts.
  void addThrough(std::function<void(HWND dialog)> script) {
    ui::onModalDialog([script](CDialog& dialog) { script(dialog.m_hWnd); }, IDD_ADD_CLASSES_DIALOG);
    ASSERT_TRUE(host.click(IDC_ADD));
    ASSERT_TRUE(host.waitForJob());
  }
  // Picks the classes of `module` with these names and presses OK.
  void add(const std::string& module, const std::vector<std::string>& names) {
    addThrough([module, names](HWND dialog) {
      HWND combo = ::GetDlgItem(dialog, IDC_MODULE_COMBO);
      HWND classList = ::GetDlgItem(dialog, IDC_CLASS_LIST);
      ASSERT_TRUE(ui::chooseComboItem(combo, module));
      std::vector<std::string> offered = columnTexts(classList);
      std::vector<int> rows;
      for (const std::string& name : names) {
        auto at = std::find(offered.begin(), offered.end(), name);
        ASSERT_NE(at, offered.end()) << name;
        rows.push_back(static_cast<int>(at - offered.begin()));
      }
      selectRows(classList, rows);
      ASSERT_TRUE(ui::clickButton(::GetDlgItem(dialog, IDOK)));
    });
  }

  static std::unique_ptr<kavrin_test::TempDir> s_dir;
  static std::string s_jar;

  ModuleMap modules;
  ClassSettingsMap classes;
  JvmDefinition jvm;
  PageHost<CJniClassesPage> host;
};

std::unique_ptr<kavrin_test::TempDir> JniClassesPageTest::s_dir;
std::string JniClassesPageTest::s_jar;

TEST_F(JniClassesPageTest, AddIsEnabledOnlyWithSomethingToAddFrom) {
  open();
  EXPECT_FALSE(host.enabled(IDC_ADD)) << "no JVM libraries, no added paths, no modules";
  EXPECT_FALSE(host.enabled(IDC_REMOVE));
  host.showAgain();
  EXPECT_FALSE(host.enabled(IDC_ADD));

  jvm.setAddedPaths = {s_jar};
  host.showAgain();
  EXPECT_TRUE(host.enabled(IDC_ADD));
  jvm.setAddedPaths.clear();
  jvm.setLibraries = {kavrin_test::kFakeJreExtJar};
  host.showAgain();
  EXPECT_TRUE(host.enabled(IDC_ADD));
  jvm.setLibraries.clear();
  modules[CString(s_jar)] = kModuleArchive;
  host.showAgain();
  EXPECT_TRUE(host.enabled(IDC_ADD));

  ui::ListState state = ui::listState(list());
  ASSERT_EQ(state.columns.size(), 2u);
  EXPECT_EQ(state.columns[0].text, "Class name");
  EXPECT_EQ(state.columns[0].width, 210);
  EXPECT_EQ(state.columns[1].text, "Location");
  EXPECT_EQ(state.columns[1].width, 220);
}

TEST_F(JniClassesPageTest, TheDialogOffersProjectArchivesThenJvmLibrariesThenAddedPaths) {
  modules = {
      {CString(s_jar), kModuleArchive}, {CString("/p/One.class"), kModuleClass}, {CString("/p/readme"), kModuleOther}};
  jvm.setLibraries = {kavrin_test::kFakeJreExtJar};
  jvm.setAddedPaths = {"/added/missing.jar"};
  open();

  std::vector<std::string> entries, firstRows, extRows, missingRows;
  int selection = -1;
  ui::onModalDialog(
      [&](CDialog& dialog) {
        HWND combo = ::GetDlgItem(dialog.m_hWnd, IDC_MODULE_COMBO);
        HWND classList = ::GetDlgItem(dialog.m_hWnd, IDC_CLASS_LIST);
        ui::ComboState state = ui::comboState(combo);
        entries = state.items;
        selection = state.selection;
        firstRows = columnTexts(classList);
        ui::ListState rows = ui::listState(classList);
        EXPECT_EQ(rows.columns.size(), 1u);
        if (!rows.columns.empty()) {
          EXPECT_EQ(rows.columns[0].text, "Class Name");
        }
        ASSERT_TRUE(ui::chooseComboItem(combo, kavrin_test::kFakeJreExtJar));
        extRows = columnTexts(classList);
        ASSERT_TRUE(ui::chooseComboItem(combo, "/added/missing.jar"));
        missingRows = columnTexts(classList);
        ASSERT_TRUE(ui::clickButton(::GetDlgItem(dialog.m_hWnd, IDCANCEL)));
      },
      IDD_ADD_CLASSES_DIALOG);
  ASSERT_TRUE(host.click(IDC_ADD));
  ui::pumpMessages();

  EXPECT_EQ(entries, (std::vector<std::string>{s_jar, kavrin_test::kFakeJreExtJar, "/added/missing.jar"}));
  EXPECT_EQ(selection, 0);
  // Dotted names, sorted; inner classes, package-info and module-info left out.
  EXPECT_EQ(firstRows, (std::vector<std::string>{"fixtures.Base", "fixtures.Named", "fixtures.natives.NativeMethods"}));
  EXPECT_EQ(extRows, std::vector<std::string>{"fixtures.ext.ExtensionClass"});
  EXPECT_TRUE(missingRows.empty()) << "a module that cannot be read lists nothing";
  EXPECT_GE(ui::waitCursorShows(), 3);
  // Cancel starts nothing.
  EXPECT_FALSE(host.page.IsJobRunning());
  EXPECT_TRUE(classes.empty());
  EXPECT_EQ(ui::modalRecords().back().result, IDCANCEL);
}

TEST_F(JniClassesPageTest, ClassesOfAProjectArchiveKeepTheArchiveAsTheirLocation) {
  modules[CString(s_jar)] = kModuleArchive;
  open();
  add(s_jar, {"fixtures.Named", "fixtures.natives.NativeMethods"});

  EXPECT_EQ(columnTexts(list(), 0), (std::vector<std::string>{"fixtures.Named", "fixtures.natives.NativeMethods"}));
  EXPECT_EQ(columnTexts(list(), 1), (std::vector<std::string>{s_jar, s_jar}));
  EXPECT_EQ(rowImages(list()), (std::vector<int>{kImageInterface, kImageClass}));

  ASSERT_EQ(classes.size(), 2u);
  const ClassSettings& named = classes[CString("fixtures.Named")];
  EXPECT_EQ(named.strClassPath, s_jar);
  EXPECT_EQ(named.TYPE, 1);
  EXPECT_FALSE(named.bMissingBytecode);
  EXPECT_FALSE(named.bHasNativeMethods);
  EXPECT_TRUE(named.bUseGlobalFilter);
  const ClassSettings& natives = classes[CString("fixtures.natives.NativeMethods")];
  EXPECT_EQ(natives.TYPE, 0);
  EXPECT_TRUE(natives.bHasNativeMethods);
  EXPECT_FALSE(natives.bMissingBytecode);

  EXPECT_EQ(host.bar.shownTexts(), (std::vector<std::string>{"Processed 1 of 2 classes", "Processed 2 of 2 classes"}));
  EXPECT_EQ(host.bar.positions, (std::vector<int>{50, 100, 0}));
  EXPECT_EQ(host.bar.texts.back(), "");
  EXPECT_TRUE(host.wizardEnabled());
  EXPECT_TRUE(host.enabled(IDC_ADD));
}

TEST_F(JniClassesPageTest, AClassOfTheJvmHasNoLocationAndIsMarkedWhenItsBytesAreNotFound) {
  jvm.setLibraries = {kavrin_test::kFakeJreExtJar};
  open();
  // The JVM's modules are not set up: the class cannot be found.
  add(kavrin_test::kFakeJreExtJar, {"fixtures.ext.ExtensionClass"});
  ASSERT_EQ(classes.count(CString("fixtures.ext.ExtensionClass")), 1u);
  const ClassSettings& missing = classes[CString("fixtures.ext.ExtensionClass")];
  EXPECT_TRUE(missing.bMissingBytecode);
  EXPECT_EQ(missing.strClassPath, "");
  EXPECT_EQ(missing.TYPE, 0);
  EXPECT_FALSE(missing.bHasNativeMethods);
  EXPECT_EQ(columnTexts(list(), 1), std::vector<std::string>{""});
  EXPECT_EQ(rowImages(list()), std::vector<int>{kImageClass});
}

TEST_F(JniClassesPageTest, AClassOfTheJvmIsFoundThroughTheJvmModules) {
  jvm.setAddedPaths = {s_jar};
  ClassRepository::addModule(s_jar);  // as the JVM job sets the modules up
  open();
  add(s_jar, {"fixtures.Base"});
  const ClassSettings& base = classes[CString("fixtures.Base")];
  EXPECT_FALSE(base.bMissingBytecode);
  EXPECT_EQ(base.strClassPath, "") << "an added path is found through the JVM's modules";
  EXPECT_TRUE(base.bHasNativeMethods);
}

TEST_F(JniClassesPageTest, AJdkWithoutJmodsOffersTheClassesOfEachModuleOfItsImage) {
  // The current JVM's libraries as the JVM page scans them, its modules as the JVM job sets them.
  const std::string home = kavrin_test::kJlinkImage;
  jvm.strJREPath = jvm.strJDKPath = home;
  jvm.setLibraries = globalsettings::scanJreLibraries(home);
  ClassRepository::resetModules(home);
  open();
  std::vector<std::string> offered;
  std::vector<std::string> logging;
  addThrough([&](HWND dialog) {
    HWND combo = ::GetDlgItem(dialog, IDC_MODULE_COMBO);
    ASSERT_TRUE(ui::chooseComboItem(combo, home + "/lib/modules/java.logging"));
    logging = columnTexts(::GetDlgItem(dialog, IDC_CLASS_LIST));
    ASSERT_TRUE(ui::chooseComboItem(combo, home + "/lib/modules/java.base"));
    offered = columnTexts(::GetDlgItem(dialog, IDC_CLASS_LIST));
    auto list = std::find(offered.begin(), offered.end(), "java.util.ArrayList");
    ASSERT_NE(list, offered.end());
    selectRows(::GetDlgItem(dialog, IDC_CLASS_LIST), {static_cast<int>(list - offered.begin())});
    ASSERT_TRUE(ui::clickButton(::GetDlgItem(dialog, IDOK)));
  });
  EXPECT_GT(offered.size(), 3000u);
  EXPECT_NE(std::find(logging.begin(), logging.end(), "java.util.logging.Logger"), logging.end());
  EXPECT_EQ(std::find(logging.begin(), logging.end(), "java.util.ArrayList"), logging.end());
  const ClassSettings& arrayList = classes[CString("java.util.ArrayList")];
  EXPECT_FALSE(arrayList.bMissingBytecode);
  EXPECT_EQ(arrayList.strClassPath, "") << "found through the JVM's modules";
}

TEST_F(JniClassesPageTest, AClassThatIsSelectedAlreadyIsLeftAsItIs) {
  modules[CString(s_jar)] = kModuleArchive;
  classes[CString("fixtures.Base")].members = {"level()Ljava/lang/String;"};
  classes[CString("fixtures.Base")].strClassPath = "/elsewhere";
  open();
  host.showAgain();
  ASSERT_EQ(columnTexts(list()), std::vector<std::string>{"fixtures.Base"});

  add(s_jar, {"fixtures.Base"});

  EXPECT_EQ(columnTexts(list()), std::vector<std::string>{"fixtures.Base"});
  EXPECT_EQ(classes[CString("fixtures.Base")].strClassPath, "/elsewhere");
  EXPECT_EQ(classes[CString("fixtures.Base")].members.size(), 1u);
  EXPECT_FALSE(classes[CString("fixtures.Base")].bHasNativeMethods) << "not loaded again";
}

TEST_F(JniClassesPageTest, ADoubleClickOnAClassAddsIt) {
  modules[CString(s_jar)] = kModuleArchive;
  open();
  addThrough([](HWND dialog) {
    HWND classList = ::GetDlgItem(dialog, IDC_CLASS_LIST);
    ASSERT_TRUE(ui::doubleClickListItem(classList, 1));
  });
  EXPECT_EQ(columnTexts(list()), std::vector<std::string>{"fixtures.Named"});
  EXPECT_EQ(ui::modalRecords().back().result, IDOK);
}

TEST_F(JniClassesPageTest, RemovingAClassOfAClassModuleTakesTheModuleAlongButLeavesArchives) {
  const std::string classModule = kClasses + "/fixtures/Named.class";
  modules = {{CString(s_jar), kModuleArchive}, {CString(classModule), kModuleInterface}};
  classes[CString("fixtures.Named")].strClassPath = kClasses;
  classes[CString("fixtures.Named")].TYPE = 1;
  classes[CString("fixtures.Base")].strClassPath = s_jar;
  classes[CString("fixtures.Gone")].strClassPath = s_jar;
  open();
  host.showAgain();
  ASSERT_EQ(columnTexts(list()), (std::vector<std::string>{"fixtures.Base", "fixtures.Gone", "fixtures.Named"}));
  EXPECT_EQ(rowImages(list()), (std::vector<int>{kImageClass, kImageClass, kImageInterface}));
  EXPECT_EQ(columnTexts(list(), 1), (std::vector<std::string>{s_jar, s_jar, kClasses}));
  EXPECT_FALSE(host.enabled(IDC_REMOVE)) << "no row is selected yet";
  ASSERT_TRUE(ui::clickListItem(list(), 0));
  EXPECT_TRUE(host.enabled(IDC_REMOVE));

  classes.erase(CString("fixtures.Gone"));  // an entry already gone only loses its row
  selectRows(list(), {0, 1, 2});
  ASSERT_TRUE(host.click(IDC_REMOVE));
  ASSERT_TRUE(host.waitForJob());

  EXPECT_TRUE(classes.empty());
  EXPECT_TRUE(ui::listState(list()).items.empty());
  EXPECT_EQ(modules, (ModuleMap{{CString(s_jar), kModuleArchive}}));
  EXPECT_EQ(host.bar.shownTexts(),
            (std::vector<std::string>{"Removed 1 of 3 classes", "Removed 2 of 3 classes", "Removed 3 of 3 classes"}));
  EXPECT_EQ(host.bar.positions, (std::vector<int>{100, 50, 0, 0}));
  EXPECT_FALSE(host.enabled(IDC_REMOVE));
  EXPECT_TRUE(host.enabled(IDC_ADD));
  EXPECT_TRUE(host.wizardEnabled());
}

TEST_F(JniClassesPageTest, ClosingThePageWhileAJobRunsStopsIt) {
  modules[CString(s_jar)] = kModuleArchive;
  open();
  ui::onModalDialog(
      [](CDialog& dialog) {
        selectRows(::GetDlgItem(dialog.m_hWnd, IDC_CLASS_LIST), {0, 1, 2});
        ASSERT_TRUE(ui::clickButton(::GetDlgItem(dialog.m_hWnd, IDOK)));
      },
      IDD_ADD_CLASSES_DIALOG);
  ASSERT_TRUE(host.click(IDC_ADD));
  ASSERT_TRUE(host.page.IsJobRunning());
  host.page.DestroyWindow();
  EXPECT_FALSE(host.page.IsJobRunning());
  EXPECT_TRUE(classes.empty());
}

}  // namespace
