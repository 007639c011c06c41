// The wizard's controls as the worker threads switch them, the one published dialog, and the
// folder browser's callback.
#include "WizardResources.h"
#include "WizardTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <unistd.h>

using namespace wizardtest;

namespace {

class WizardControlsTest : public WizardUiTest {};

// The windows that got WM_ENABLE while the log ran, in order, with the state they got.
std::vector<std::pair<HWND, bool>> enableLog() {
  std::vector<std::pair<HWND, bool>> result;
  for (const ui::LoggedMessage& m : ui::messageLog()) {
    if (m.message == WM_ENABLE) result.emplace_back(m.window, m.wParam != 0);
  }
  return result;
}

TEST_F(WizardControlsTest, WithoutDialogNothingHappens) {
  ASSERT_EQ(theGeneratorDlg, nullptr);
  DisableWizardControls();
  EnableWizardControls();

  // A dialog that has no window yet changes nothing either.
  TestWizardDialog dialog;
  EXPECT_EQ(theGeneratorDlg, &dialog);
  DisableWizardControls();
  EnableWizardControls();
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST_F(WizardControlsTest, TheNewestDialogIsPublishedUntilItIsDestroyed) {
  auto first = std::make_unique<TestWizardDialog>();
  EXPECT_EQ(theGeneratorDlg, first.get());
  {
    TestWizardDialog second;
    EXPECT_EQ(theGeneratorDlg, &second);
    first.reset();  // not the published one: the second stays
    EXPECT_EQ(theGeneratorDlg, &second);
  }
  EXPECT_EQ(theGeneratorDlg, nullptr) << "a destroyed dialog is no longer reachable";
}

TEST_F(WizardControlsTest, SwitchesGenerateStoreSettingsTreeAndPageInOrderButNotClose) {
  TestWizardDialog dialog;
  ASSERT_TRUE(dialog.open());
  ASSERT_EQ(dialog.m_pCurrentPage, &dialog.m_page);

  ui::startMessageLog();
  DisableWizardControls();
  ui::stopMessageLog();
  std::vector<std::pair<HWND, bool>> expected = {{dialog.control(IDOK), false},
                                                 {dialog.control(IDC_STORE_SETTINGS), false},
                                                 {dialog.control(IDC_PAGE_TREE), false},
                                                 {dialog.m_page.m_hWnd, false}};
  EXPECT_EQ(enableLog(), expected);
  EXPECT_TRUE(dialog.enabled(IDCANCEL));
  EXPECT_TRUE(dialog.enabled(IDC_PROGRESS_BAR));
  // A control of the page can no longer be used.
  EXPECT_FALSE(ui::clickButton(::GetDlgItem(dialog.m_page.m_hWnd, kTestPageButton)));

  ui::startMessageLog();
  EnableWizardControls();
  ui::stopMessageLog();
  for (auto& e : expected) e.second = true;
  EXPECT_EQ(enableLog(), expected);
  EXPECT_TRUE(ui::clickButton(::GetDlgItem(dialog.m_page.m_hWnd, kTestPageButton)));
}

TEST_F(WizardControlsTest, WithoutCurrentPageOrMissingControlsTheOthersAreSwitched) {
  TestWizardDialog dialog(kTestDialogWithoutStoreTemplate);
  ASSERT_TRUE(dialog.open());
  dialog.m_page.ShowWindow(SW_HIDE);
  dialog.m_pCurrentPage = nullptr;
  DisableWizardControls();
  EXPECT_FALSE(dialog.enabled(IDOK));
  EXPECT_FALSE(dialog.enabled(IDC_PAGE_TREE));
  EXPECT_TRUE(dialog.pageEnabled());
  EnableWizardControls();
  EXPECT_TRUE(dialog.enabled(IDOK));
  EXPECT_TRUE(dialog.enabled(IDC_PAGE_TREE));
}

// Runs `body` on a thread of its own, as the worker runs a job.
class BodyThread : public CWinThread {
  DECLARE_DYNCREATE(BodyThread)
 public:
  static std::function<void()> body;
  BOOL InitInstance() override {
    body();
    return FALSE;
  }
};
IMPLEMENT_DYNCREATE(BodyThread, CWinThread)
std::function<void()> BodyThread::body;

HANDLE startBody(std::function<void()> body) {
  BodyThread::body = std::move(body);
  CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(BodyThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  if (thread == nullptr) return nullptr;
  HANDLE handle = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread->m_hThread, GetCurrentProcess(), &handle, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  thread->ResumeThread();
  return handle;
}

TEST_F(WizardControlsTest, AWorkerSwitchesThemOnTheDialogsThreadWhileTheDialogWaits) {
  TestWizardDialog dialog;
  ASSERT_TRUE(dialog.open());
  std::atomic<bool> disabledSeen{false};
  ui::startMessageLog();
  HANDLE worker = startBody([&] {
    DisableWizardControls();
    disabledSeen = !::IsWindowEnabled(::GetDlgItem(dialog.m_hWnd, IDOK)) && !::IsWindowEnabled(dialog.m_page.m_hWnd);
    EnableWizardControls();
  });
  ASSERT_NE(worker, nullptr);
  // The dialog's thread waits for the worker and meanwhile serves its calls.
  ASSERT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0);
  ui::stopMessageLog();
  CloseHandle(worker);
  EXPECT_TRUE(disabledSeen.load()) << "the worker goes on only once the controls are disabled";
  EXPECT_TRUE(dialog.enabled(IDOK));
  EXPECT_TRUE(dialog.pageEnabled());
  int handled = 0;
  for (const ui::LoggedMessage& m : ui::messageLog()) {
    if (m.message == WM_SET_WIZARD_CONTROLS || m.message == WM_ENABLE) {
      EXPECT_EQ(m.threadId, GetCurrentThreadId());
      ++handled;
    }
  }
  EXPECT_EQ(handled, 2 + 8);
}

class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& path) : m_saved(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~CurrentDirectory() { std::filesystem::current_path(m_saved); }

 private:
  std::filesystem::path m_saved;
};

TEST_F(WizardControlsTest, FolderBrowserStartsInTheCurrentDirectoryAndShowsEachSelection) {
  std::filesystem::path root = std::filesystem::temp_directory_path() / ("wizard-browse-" + std::to_string(getpid()));
  std::filesystem::create_directories(root / "jdk");
  std::string start = std::filesystem::canonical(root).string();
  std::string other = std::filesystem::canonical(root / "jdk").string();
  {
    CurrentDirectory cd(start);
    std::string initialSelection;
    ui::onFolderBrowser([&](ui::FolderBrowser& browser) {
      initialSelection = browser.selection();
      EXPECT_EQ(browser.statusText(), start);
      ASSERT_TRUE(browser.select(other));
      EXPECT_EQ(browser.statusText(), other);
      browser.ok();
    });
    char name[MAX_PATH] = "";
    BROWSEINFO info{};
    info.pszDisplayName = name;
    info.lpszTitle = "Select JDK Home";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_VALIDATE;
    info.lpfn = BrowseFolderCallback;
    LPITEMIDLIST chosen = SHBrowseForFolder(&info);
    ASSERT_NE(chosen, nullptr);
    char path[MAX_PATH] = "";
    EXPECT_TRUE(SHGetPathFromIDList(chosen, path));
    ILFree(chosen);
    EXPECT_EQ(initialSelection, start);
    EXPECT_EQ(std::string(path), other);
  }
  std::vector<ui::FolderBrowserRecord> records = ui::folderBrowserRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].callbacks, (std::vector<UINT>{BFFM_INITIALIZED, BFFM_SELCHANGED, BFFM_SELCHANGED}));
  EXPECT_EQ(records[0].statusTexts, (std::vector<std::string>{start, other}));
  std::filesystem::remove_all(root);
}

}  // namespace
