// The "Java modules" page: adding archives, .class files and other files through the file
// dialog, removing rows, and the selected classes kept in step, as a user drives the page.
#include "ClassRepository.h"
#include "ModulesPage.h"
#include "PageTestSupport.h"
#include "TestSupport.h"

#include <filesystem>

using namespace pagetest;

namespace {

const std::string kClasses = kavrin_test::kFixtureClasses;
const std::string kBaseClass = kClasses + "/fixtures/Base.class";    // abstract class, one native method
const std::string kNamedClass = kClasses + "/fixtures/Named.class";  // interface

class ModulesPageTest : public wizardtest::WizardUiTest {
 protected:
  static void SetUpTestSuite() {
    s_dir = std::make_unique<kavrin_test::TempDir>("modules-page");
    s_jar = s_dir->file("Fixtures.JAR");
    kavrin_test::CommandResult made =
        kavrin_test::runCommand({kavrin_test::kJar, "cf", s_jar, "-C", kClasses, "fixtures/Base.class", "-C", kClasses,
                                 "fixtures/Named.class"});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    s_other = s_dir->file("notes.txt");
    kavrin_test::writeFile(s_other, std::string("not a module"));
    std::filesystem::create_directories(s_dir->file("sub"));
  }
  static void TearDownTestSuite() { s_dir.reset(); }

  void SetUp() override {
    WizardUiTest::SetUp();
    registerModulesPageTemplate();
    host.page.SetModel(&host.bar, &modules, &classes);
    ASSERT_TRUE(host.open());
  }
  void TearDown() override {
    host.close();
    WizardUiTest::TearDown();
  }

  HWND list() const { return host.control(IDC_MODULE_LIST); }

  // Chooses the files in the file dialog of "Add..." and waits for the job.
  void add(const std::vector<std::string>& paths) {
    ui::answerFileDialog(paths);
    ASSERT_TRUE(host.click(IDC_ADD));
    ASSERT_TRUE(host.waitForJob());
  }
  void removeRows(const std::vector<int>& rows) {
    selectRows(list(), rows);
    ASSERT_TRUE(host.click(IDC_REMOVE));
    ASSERT_TRUE(host.waitForJob());
  }

  static std::unique_ptr<kavrin_test::TempDir> s_dir;
  static std::string s_jar;
  static std::string s_other;

  ModuleMap modules;
  ClassSettingsMap classes;
  PageHost<CModulesPage> host;
};

std::unique_ptr<kavrin_test::TempDir> ModulesPageTest::s_dir;
std::string ModulesPageTest::s_jar;
std::string ModulesPageTest::s_other;

TEST_F(ModulesPageTest, OpensWithOneColumnAndRemoveDisabled) {
  ui::ListState state = ui::listState(list());
  ASSERT_EQ(state.columns.size(), 1u);
  EXPECT_EQ(state.columns[0].text, "Java modules");
  EXPECT_EQ(state.columns[0].width, 400);
  EXPECT_NE(state.extendedStyle & LVS_EX_FULLROWSELECT, 0u);
  ASSERT_NE(state.smallImages, nullptr);
  EXPECT_EQ(ui::imageListState(state.smallImages).cx, 16);
  EXPECT_TRUE(host.enabled(IDC_ADD));
  EXPECT_FALSE(host.enabled(IDC_REMOVE));
}

TEST_F(ModulesPageTest, TheFileDialogOffersJavaFilesSeveralAtOnceAndCancelChangesNothing) {
  ui::cancelFileDialog();
  ASSERT_TRUE(host.click(IDC_ADD));
  ui::pumpMessages();
  ASSERT_EQ(ui::fileDialogRecords().size(), 1u);
  ui::FileDialogRecord dialog = ui::fileDialogRecords()[0];
  EXPECT_TRUE(dialog.open);
  std::vector<std::pair<std::string, std::string>> filters = {
      {"Java Files(*.jar *.zip *.class)", "*.jar;*.zip;*.class"},
      {"Jar Files (*.jar)", "*.jar"},
      {"Zip Files (*.zip)", "*.zip"},
      {"Class Files (*.class)", "*.class"}};
  EXPECT_EQ(dialog.filters, filters);
  EXPECT_NE(dialog.flags & OFN_ALLOWMULTISELECT, 0u);
  EXPECT_NE(dialog.flags & OFN_HIDEREADONLY, 0u);
  EXPECT_EQ(dialog.bufferSize, 200000u);
  EXPECT_FALSE(host.page.IsJobRunning());
  EXPECT_TRUE(modules.empty());
  EXPECT_TRUE(ui::listState(list()).items.empty());
}

TEST_F(ModulesPageTest, AddsAnArchiveAFolderAndAnotherFileWithTheirKindsAndProgress) {
  add({s_jar, s_other, s_dir->file("sub")});  // one dialog, one folder; "sub" is a folder

  // Rows in the order of the chosen paths (set order), images by kind.
  std::vector<std::string> rows = {s_jar, s_other, s_dir->file("sub")};
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(columnTexts(list()), rows);
  ModuleMap expected = {
      {CString(s_jar), kModuleArchive}, {CString(s_other), kModuleOther}, {CString(s_dir->file("sub")), kModuleOther}};
  EXPECT_EQ(modules, expected);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(ui::listState(list()).items[i].image, modules[CString(rows[i])]) << rows[i];
  }
  EXPECT_TRUE(classes.empty());

  std::vector<std::string> texts = {"Processed 1 of 3 modules", "Processed 2 of 3 modules", "Processed 3 of 3 modules"};
  EXPECT_EQ(host.bar.shownTexts(), texts);
  std::vector<int> positions = {33, 66, 100, 0};
  EXPECT_EQ(host.bar.positions, positions);
  EXPECT_EQ(host.bar.texts.back(), "") << "the text is cleared at the end";
  EXPECT_TRUE(host.wizardEnabled());
  EXPECT_TRUE(host.enabled(IDC_ADD));
}

TEST_F(ModulesPageTest, AClassFileSelectsItsClassWithRootKindAndNativeFlag) {
  classes[CString("fixtures.Base")].members = {"level()Ljava/lang/String;"};
  add({kBaseClass, kNamedClass});

  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{kBaseClass, kNamedClass}));
  EXPECT_EQ(rowImages(list()), (std::vector<int>{kImageClass, kImageInterface}));
  EXPECT_EQ(modules[CString(kBaseClass)], kModuleClass);
  EXPECT_EQ(modules[CString(kNamedClass)], kModuleInterface);

  ASSERT_EQ(classes.size(), 2u);
  const ClassSettings& base = classes[CString("fixtures.Base")];
  EXPECT_EQ(base.strClassPath, kClasses);
  EXPECT_EQ(base.TYPE, 0);
  EXPECT_TRUE(base.bHasNativeMethods);
  EXPECT_EQ(base.members.size(), 1u) << "an entry that exists is updated, not replaced";
  const ClassSettings& named = classes[CString("fixtures.Named")];
  EXPECT_EQ(named.strClassPath, kClasses);
  EXPECT_EQ(named.TYPE, 1);
  EXPECT_FALSE(named.bHasNativeMethods);
  EXPECT_TRUE(named.bUseGlobalFilter) << "a new entry has the defaults";
  EXPECT_FALSE(named.bMissingBytecode);
}

TEST_F(ModulesPageTest, AddingAListedModuleAgainKeepsOneRow) {
  add({s_jar});
  host.bar.forget();
  add({s_jar, s_other});
  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{s_jar, s_other}));
  EXPECT_EQ(modules.size(), 2u);
  // The listed one still counts in the progress.
  EXPECT_EQ(host.bar.shownTexts(), (std::vector<std::string>{"Processed 1 of 2 modules", "Processed 2 of 2 modules"}));
}

TEST_F(ModulesPageTest, AClassFileThatCannotBeParsedIsReportedOnceAndTheJobGoesOn) {
  kavrin_test::TempDir dir("modules-broken");
  const std::string garbage = dir.file("Garbage.class");
  kavrin_test::writeFile(garbage, std::string("\xCA\xFE\xBA\xBE not really a class"));
  // A good class file away from its package folders does not tell its class path.
  const std::string misplaced = dir.file("Base.class");
  std::filesystem::copy_file(kBaseClass, misplaced);
  const std::string archive = dir.file("lib.zip");
  std::filesystem::copy_file(s_jar, archive);

  add({garbage, misplaced, archive});

  EXPECT_EQ(messageBoxTexts("KAVRIN Error"),
            (std::vector<std::string>{"There are problems in parsing Class: " + misplaced,
                                      "There are problems in parsing Class: " + garbage}));
  for (const win32::JournalEntry& entry : win32::journal()) {
    if (entry.caption == "KAVRIN Error") {
      EXPECT_EQ(entry.type & MB_ICONERROR, MB_ICONERROR);
    }
  }
  EXPECT_EQ(columnTexts(list()), std::vector<std::string>{archive});
  EXPECT_EQ(modules.size(), 1u);
  EXPECT_TRUE(classes.empty()) << "a failed file is not taken for the class loaded before it";
  EXPECT_TRUE(host.wizardEnabled());
}

TEST_F(ModulesPageTest, RemovingAnArchiveDropsTheClassesTakenFromItOnly) {
  add({s_jar, s_other});
  classes[CString("fixtures.Base")].strClassPath = s_jar;
  classes[CString("fixtures.Named")].strClassPath = s_jar;
  classes[CString("other.Kept")].strClassPath = s_other;
  host.bar.forget();

  removeRows({0});

  EXPECT_EQ(columnTexts(list()), std::vector<std::string>{s_other});
  EXPECT_EQ(modules.count(CString(s_jar)), 0u);
  ASSERT_EQ(classes.size(), 1u);
  EXPECT_EQ(classes.count(CString("other.Kept")), 1u);
  EXPECT_EQ(host.bar.shownTexts(), std::vector<std::string>{"Removed 1 of 1 modules"});
  EXPECT_EQ(host.bar.positions, (std::vector<int>{0, 0}));
  EXPECT_EQ(host.bar.texts.back(), "");
  EXPECT_FALSE(host.enabled(IDC_REMOVE)) << "no row is selected any more";
  EXPECT_TRUE(host.enabled(IDC_ADD));
  EXPECT_TRUE(host.wizardEnabled());

  // Selecting a row enables Remove again.
  ASSERT_TRUE(ui::clickListItem(list(), 0));
  EXPECT_TRUE(host.enabled(IDC_REMOVE));
}

TEST_F(ModulesPageTest, RemovingSeveralRowsRunsTheBarFromFullToEmpty) {
  kavrin_test::TempDir dir("modules-several");
  std::vector<std::string> files;
  for (const char* name : {"a.jar", "b.jar", "c.jar", "d.jar"}) {
    files.push_back(dir.file(name));
    kavrin_test::writeFile(files.back(), std::string("x"));
  }
  add(files);
  host.bar.forget();

  removeRows({0, 2, 3});

  EXPECT_EQ(host.bar.shownTexts(),
            (std::vector<std::string>{"Removed 1 of 3 modules", "Removed 2 of 3 modules", "Removed 3 of 3 modules"}));
  EXPECT_EQ(host.bar.positions, (std::vector<int>{100, 50, 0, 0}));
  EXPECT_EQ(columnTexts(list()), std::vector<std::string>{files[1]});
  EXPECT_EQ(modules.size(), 1u);
}

TEST_F(ModulesPageTest, RemovingAClassFileDropsItsClassAndItsCachedTree) {
  add({kNamedClass});
  ASSERT_EQ(classes.count(CString("fixtures.Named")), 1u);
  ASSERT_EQ(ClassRepository::classCache.count("fixtures/Named"), 1u);

  removeRows({0});

  EXPECT_TRUE(modules.empty());
  EXPECT_TRUE(classes.empty());
  EXPECT_EQ(ClassRepository::classCache.count("fixtures/Named"), 0u);
  EXPECT_TRUE(ui::listState(list()).items.empty());
}

TEST_F(ModulesPageTest, AClassFileThatVanishedIsReportedAndItsModuleStillRemoved) {
  kavrin_test::TempDir dir("modules-vanished");
  const std::string gone = dir.file("fixtures/Base.class");
  std::filesystem::create_directories(dir.file("fixtures"));
  std::filesystem::copy_file(kBaseClass, gone);
  add({gone});
  ASSERT_EQ(classes[CString("fixtures.Base")].strClassPath, dir.path());
  std::filesystem::remove(gone);

  removeRows({0});

  EXPECT_EQ(messageBoxTexts("KAVRIN Error"), std::vector<std::string>{"There are problems in parsing Class: " + gone});
  EXPECT_TRUE(modules.empty()) << "the user can still get rid of the module";
  EXPECT_TRUE(ui::listState(list()).items.empty());
  EXPECT_EQ(classes.count(CString("fixtures.Base")), 1u) << "its class cannot be told, so it stays selected";
}

TEST_F(ModulesPageTest, ShowingThePageListsTheModulesInPathOrder) {
  modules = {{CString("/z/last.zip"), kModuleArchive},
             {CString("/a/A.class"), kModuleClass},
             {CString("/m/I.class"), kModuleInterface},
             {CString("/m/readme"), kModuleOther}};
  host.showAgain();
  EXPECT_EQ(columnTexts(list()), (std::vector<std::string>{"/a/A.class", "/m/I.class", "/m/readme", "/z/last.zip"}));
  EXPECT_EQ(rowImages(list()), (std::vector<int>{0, 1, 3, 2}));
  EXPECT_FALSE(host.enabled(IDC_REMOVE));
}

TEST_F(ModulesPageTest, ClosingThePageWhileAJobRunsStopsItBeforeItChangesAnything) {
  ui::answerFileDialog({s_jar, s_other});
  ASSERT_TRUE(host.click(IDC_ADD));
  // The worker waits for the dialog's thread to disable the controls; the page goes first.
  ASSERT_TRUE(host.page.IsJobRunning());
  host.page.DestroyWindow();
  EXPECT_FALSE(host.page.IsJobRunning()) << "the page waited for its job";
  EXPECT_TRUE(modules.empty());
  EXPECT_FALSE(host.dialog->enabled(IDOK)) << "a stopped job leaves the controls to the closing dialog";
}

TEST_F(ModulesPageTest, SizingKeepsTheButtonsAtTheRightEdgeAndStretchesTheList) {
  host.page.MoveWindow(0, 0, 600, 400);
  ui::pumpMessages();
  RECT add = ui::windowState(host.control(IDC_ADD)).rect;
  RECT remove = ui::windowState(host.control(IDC_REMOVE)).rect;
  RECT info = ui::windowState(host.control(IDC_DESCRIPTION)).rect;
  RECT rows = ui::windowState(list()).rect;
  EXPECT_EQ(add.right, 600);
  EXPECT_EQ(remove.right, 600);
  EXPECT_EQ(info.right, 600);
  EXPECT_EQ(rows.right, add.left - 5);
  EXPECT_EQ(rows.bottom, 400);
}

TEST_F(ModulesPageTest, TheDescriptionIsPaintedInTheCaptionFont) {
  host.page.Invalidate();
  ui::pumpMessages();
  ui::FontState font = ui::fontState(ui::windowState(host.control(IDC_DESCRIPTION)).font);
  ASSERT_TRUE(font.alive);
  EXPECT_STREQ(font.logFont.lfFaceName, "Times New Roman");
  EXPECT_EQ(font.logFont.lfHeight, -12);
}

}  // namespace
