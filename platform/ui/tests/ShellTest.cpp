// Message boxes, the file dialogs and the folder browser: scripted answers, defaults, records.
#include "UiTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>

using namespace uitest;

namespace {

namespace fs = std::filesystem;

const char* kModuleFilter =
    "Java Files(*.jar *.zip *.class)|*.jar;*.zip;*.class|Jar Files (*.jar)|*.jar|Zip Files (*.zip)|*.zip|"
    "Class Files (*.class)|*.class||";

class ShellTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(host.Create(kHostTemplate));
    win32::clearJournal();
    win32::setMessageBoxAnswer(0);
  }
  void TearDown() override {
    win32::setMessageBoxAnswer(0);
    if (!folder.empty()) fs::remove_all(folder);
    UiTest::TearDown();
  }
  std::string makeFolders() {
    char pattern[] = "/tmp/kavrin-ui-XXXXXX";
    folder = mkdtemp(pattern);
    fs::create_directories(folder + "/j2sdk/jre/lib");
    fs::create_directories(folder + "/start");
    return folder;
  }
  CDialog host{kHostTemplate};
  std::string folder;
};

TEST_F(ShellTest, MultipleFilesComeBackAsFolderAndNames) {
  CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT, kModuleFilter, &host);
  std::vector<char> buffer(200000, '\0');
  dialog.m_ofn.lpstrFile = buffer.data();
  dialog.m_ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ui::FileDialogRecord seen;
  ui::onFileDialog([&](const ui::FileDialogRecord& record) {
    seen = record;
    ui::FileDialogAnswer answer;
    answer.ok = true;
    answer.paths = {"/p/lib/a.jar", "/p/lib/B.ZIP", "/p/lib/C.class"};
    return answer;
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  std::vector<std::string> chosen;
  for (POSITION p = dialog.GetStartPosition(); p != nullptr;) chosen.push_back(std::string(dialog.GetNextPathName(p)));
  EXPECT_EQ(chosen, (std::vector<std::string>{"/p/lib/a.jar", "/p/lib/B.ZIP", "/p/lib/C.class"}));
  EXPECT_EQ(std::string(buffer.data()), "/p/lib") << "the folder comes first";

  EXPECT_TRUE(seen.open);
  EXPECT_EQ(seen.owner, host.m_hWnd);
  ASSERT_EQ(seen.filters.size(), 4u);
  EXPECT_EQ(seen.filters[0],
            (std::pair<std::string, std::string>{"Java Files(*.jar *.zip *.class)", "*.jar;*.zip;*.class"}));
  EXPECT_EQ(seen.filters[3].second, "*.class");
  EXPECT_EQ(seen.bufferSize, 200000u);
  EXPECT_EQ(seen.flags & (OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY), OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY);
  std::vector<ui::FileDialogRecord> records = ui::fileDialogRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].accepted);
  EXPECT_EQ(records[0].chosen.size(), 3u);
}

TEST_F(ShellTest, FileDialogAnswersAndFailures) {
  // Without a script the user cancels.
  CFileDialog unanswered(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, "Jar Files (*.jar)|*.jar||", &host);
  EXPECT_EQ(unanswered.DoModal(), IDCANCEL);

  // One file, with an initial name that the script sees.
  CFileDialog single(TRUE, nullptr, "/old/x.jar", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, "Jar Files (*.jar)|*.jar||",
                     &host);
  ui::answerFileDialog({"/new/y.jar"});
  ASSERT_EQ(single.DoModal(), IDOK);
  EXPECT_EQ(std::string(single.GetPathName()), "/new/y.jar");
  EXPECT_EQ(std::string(single.GetFileName()), "y.jar");
  EXPECT_EQ(ui::fileDialogRecords().back().initialFile, "/old/x.jar");
  EXPECT_EQ(single.m_ofn.nFileOffset, 5);

  // A path too long for the buffer is refused, as the common dialog does.
  CFileDialog tight(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, nullptr, &host);
  char small[8] = {};
  tight.m_ofn.lpstrFile = small;
  tight.m_ofn.nMaxFile = sizeof small;
  ui::answerFileDialog({"/a/long/path.jar"});
  EXPECT_EQ(tight.DoModal(), IDCANCEL);
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);

  // Several files need the multi-select flag and one folder.
  CFileDialog one(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, nullptr, &host);
  ui::answerFileDialog({"/a/1.jar", "/a/2.jar"});
  ASSERT_EQ(one.DoModal(), IDOK);
  EXPECT_EQ(std::string(one.GetPathName()), "/a/1.jar");
  CFileDialog spread(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT, nullptr, &host);
  ui::answerFileDialog({"/a/1.jar", "/b/2.jar"});
  EXPECT_EQ(spread.DoModal(), IDCANCEL);
  EXPECT_FALSE(ui::fileDialogRecords().back().accepted);
}

// The browser callback the JVM dialog uses: start at a folder, show every selection as status.
std::string gStart;
int browseCallback(HWND window, UINT message, LPARAM lParam, LPARAM) {
  if (message == BFFM_INITIALIZED) {
    SendMessage(window, BFFM_SETSELECTION, TRUE, reinterpret_cast<LPARAM>(gStart.c_str()));
  } else if (message == BFFM_SELCHANGED) {
    char path[MAX_PATH];
    if (SHGetPathFromIDList(reinterpret_cast<LPCITEMIDLIST>(lParam), path)) {
      SendMessage(window, BFFM_SETSTATUSTEXT, 0, reinterpret_cast<LPARAM>(path));
    }
  }
  return 0;
}

TEST_F(ShellTest, FolderBrowserCallsItsCallbackAndReturnsTheChoice) {
  std::string root = makeFolders();
  gStart = root + "/start";
  char name[MAX_PATH] = {};
  BROWSEINFO info{};
  info.hwndOwner = host.m_hWnd;
  info.pszDisplayName = name;
  info.lpszTitle = "Select JDK Home";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_VALIDATE;
  info.lpfn = browseCallback;
  std::string statusDuringScript;
  ui::onFolderBrowser([&](ui::FolderBrowser& browser) {
    EXPECT_EQ(browser.title(), "Select JDK Home");
    EXPECT_EQ(browser.selection(), gStart);
    statusDuringScript = browser.statusText();
    EXPECT_FALSE(browser.select(root + "/missing")) << "only existing folders can be selected";
    EXPECT_TRUE(browser.select(root + "/j2sdk"));
    EXPECT_TRUE(browser.ok());
  });
  LPITEMIDLIST item = SHBrowseForFolder(&info);
  ASSERT_NE(item, nullptr);
  char path[MAX_PATH];
  ASSERT_TRUE(SHGetPathFromIDList(item, path));
  EXPECT_EQ(std::string(path), root + "/j2sdk");
  EXPECT_STREQ(name, "j2sdk");
  ILFree(item);
  EXPECT_EQ(statusDuringScript, gStart);

  std::vector<ui::FolderBrowserRecord> records = ui::folderBrowserRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].callbacks, (std::vector<UINT>{BFFM_INITIALIZED, BFFM_SELCHANGED, BFFM_SELCHANGED}));
  EXPECT_EQ(records[0].statusTexts, (std::vector<std::string>{gStart, root + "/j2sdk"}));
  EXPECT_EQ(records[0].owner, host.m_hWnd);
  EXPECT_TRUE(records[0].accepted);
  EXPECT_EQ(records[0].result, root + "/j2sdk");
  EXPECT_TRUE(ui::topLevelWindows().size() == 1u) << "the browser's window is gone";
}

TEST_F(ShellTest, FolderBrowserDefaultsAndRefusals) {
  std::string root = makeFolders();
  BROWSEINFO info{};
  info.lpszTitle = "Select JRE Home";
  EXPECT_EQ(SHBrowseForFolder(&info), nullptr) << "without a script the user cancels";
  EXPECT_EQ(ui::folderBrowserRecords().back().callbacks, (std::vector<UINT>{BFFM_INITIALIZED, BFFM_SELCHANGED}))
      << "without a callback's choice the browser starts at the root";

  ui::onFolderBrowser([](ui::FolderBrowser& browser) {
    SendMessage(browser.window(), BFFM_ENABLEOK, 0, FALSE);
    EXPECT_FALSE(browser.ok());
    browser.cancel();
  });
  EXPECT_EQ(SHBrowseForFolder(&info), nullptr);

  ui::answerFolderBrowser(root + "/start");
  LPITEMIDLIST item = SHBrowseForFolder(&info);
  ASSERT_NE(item, nullptr);
  ILFree(item);
  ui::answerFolderBrowser(root + "/nowhere");
  EXPECT_EQ(SHBrowseForFolder(&info), nullptr);
}

TEST_F(ShellTest, MessageBoxesAreAnsweredRecordedAndJournaled) {
  ui::answerMessageBox(IDNO);
  EXPECT_EQ(host.MessageBox("Replace it?", "KAVRIN Add-In", MB_YESNO | MB_ICONQUESTION), IDNO);
  // Without a script the journal's answer stands: the first button, or the one it was given.
  EXPECT_EQ(host.MessageBox("Cannot set environment variables!", "Error", MB_ICONERROR), IDOK);
  EXPECT_EQ(host.MessageBox("Again?", "KAVRIN", MB_YESNO), IDYES);
  win32::setMessageBoxAnswer(IDCANCEL);
  EXPECT_EQ(AfxMessageBox("There are problems in parsing Class: a.class", MB_ICONSTOP), IDCANCEL);

  std::vector<ui::MessageBoxRecord> boxes = ui::messageBoxRecords();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].owner, host.m_hWnd);
  EXPECT_EQ(boxes[0].caption, "KAVRIN Add-In");
  EXPECT_EQ(boxes[0].text, "Replace it?");
  EXPECT_EQ(boxes[0].type, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(boxes[0].answer, IDNO);
  EXPECT_EQ(boxes[3].owner, host.m_hWnd) << "the active window owns AfxMessageBox's box";

  std::vector<win32::JournalEntry> journal = win32::journal();
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[1].kind, "MessageBox");
  EXPECT_EQ(journal[1].caption, "Error");
  EXPECT_EQ(journal[1].text, "Cannot set environment variables!");
}

class BoxThread : public CWinThread {
  DECLARE_DYNCREATE(BoxThread)
 public:
  static HWND owner;
  static std::atomic<int> answer;
  BOOL InitInstance() override {
    answer = ::MessageBox(owner, "There are problems in generating of JNI wrappers! See KAVRIN.LOG",
                          "KAVRIN Error Message", MB_ICONERROR);
    // The stand-in's own boxes (through MFC) are answered on the worker too.
    answer = answer + CWnd::FromHandle(owner)->MessageBox("second", "KAVRIN Error Message", MB_ICONERROR);
    return FALSE;
  }
};
IMPLEMENT_DYNCREATE(BoxThread, CWinThread)
HWND BoxThread::owner = nullptr;
std::atomic<int> BoxThread::answer{0};

TEST_F(ShellTest, MessageBoxOfAWorkerIsAnsweredOnTheWorker) {
  BoxThread::owner = host.m_hWnd;
  BoxThread::answer = 0;
  CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(BoxThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(thread, nullptr);
  HANDLE handle = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread->m_hThread, GetCurrentProcess(), &handle, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  DWORD worker = thread->m_nThreadID;
  thread->ResumeThread();
  ASSERT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
  CloseHandle(handle);
  EXPECT_EQ(BoxThread::answer.load(), IDOK + IDOK);
  std::vector<ui::MessageBoxRecord> boxes = ui::messageBoxRecords();
  ASSERT_EQ(boxes.size(), 1u) << "a plain Win32 box goes to the journal only";
  EXPECT_EQ(boxes[0].threadId, worker);
  EXPECT_EQ(win32::journal().size(), 2u);
}

}  // namespace
