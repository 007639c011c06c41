// Dialogs: modal loops run by scripts, data exchange, default answers, pages with frames,
// splitters and views, message maps and reflection, destruction order and fonts.
#include "UiTestSupport.h"

#include <atomic>

using namespace uitest;

namespace {

enum : UINT {
  kNameTemplate = 100,
  kInnerTemplate = 101,
  kPageTemplate = 102,
  kName = 1101,
  kFlag = 1102,
  kFirstChoice = 1103,
  kSecondChoice = 1104,
  kModules = 1105,
  kNested = 1106,
  kFramePlace = 1113,
};

void registerDialogs() {
  registerTemplate(kNameTemplate, "Edit Name", 200, 120, kModalDialog,
                   {
                       {kName, WC_EDIT, "", 4, 4, 100, 14, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0},
                       {kFlag, WC_BUTTON, "Flag", 4, 20, 60, 10, WS_VISIBLE | BS_AUTOCHECKBOX, 0},
                       {kFirstChoice, WC_BUTTON, "First", 4, 32, 60, 10, WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, 0},
                       {kSecondChoice, WC_BUTTON, "Second", 4, 44, 60, 10, WS_VISIBLE | BS_AUTORADIOBUTTON, 0},
                       {kModules, WC_COMBOBOX, "", 4, 56, 100, 60, WS_VISIBLE | WS_GROUP | CBS_DROPDOWNLIST, 0},
                       {kNested, WC_BUTTON, "Nested", 110, 4, 50, 14, WS_VISIBLE | BS_PUSHBUTTON, 0},
                       {IDOK, WC_BUTTON, "OK", 110, 20, 50, 14, WS_VISIBLE | BS_DEFPUSHBUTTON, 0},
                       {IDCANCEL, WC_BUTTON, "Cancel", 110, 36, 50, 14, WS_VISIBLE | BS_PUSHBUTTON, 0},
                   });
  registerTemplate(kInnerTemplate, "Inner", 100, 50, kModalDialog,
                   {{IDOK, WC_BUTTON, "OK", 4, 4, 50, 14, WS_VISIBLE, 0}});
  registerTemplate(kPageTemplate, "", 300, 200, WS_CHILD,
                   {{kFramePlace, WC_STATIC, "", 0, 10, 200, 150, WS_DISABLED | SS_WHITERECT, 0},
                    {kStatic, WC_STATIC, "Classes selected:", 0, 0, 100, 8, WS_VISIBLE, 0}});
}

class InnerDialog : public CDialog {
 public:
  explicit InnerDialog(CWnd* parent) : CDialog(kInnerTemplate, parent) {}
};

class NameDialog : public CDialog {
 public:
  explicit NameDialog(CWnd* parent) : CDialog(kNameTemplate, parent) {}
  CString m_name = "initial";
  int m_flag = 0;
  int m_choice = 0;
  int m_module = -1;
  int oks = 0, cancels = 0;
  INT_PTR innerResult = 0;
  bool refuseOk = false;
  HANDLE job = nullptr;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    CComboBox combo;
    combo.SubclassDlgItem(kModules, this);
    combo.AddString("rt.jar");
    combo.AddString("tools.jar");
    combo.UnsubclassWindow();
    return TRUE;
  }
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kName, m_name);
    DDX_Check(dx, kFlag, m_flag);
    DDX_Radio(dx, kFirstChoice, m_choice);
    DDX_CBIndex(dx, kModules, m_module);
  }
  void OnOK() override {
    ++oks;
    if (!refuseOk) CDialog::OnOK();
  }
  void OnCancel() override {
    ++cancels;
    CDialog::OnCancel();
  }
  afx_msg void OnNested() {
    InnerDialog inner(this);
    innerResult = inner.DoModal();
  }
  // Closes after the job, as the generator dialog's close-after-job message does.
  afx_msg LRESULT OnCloseAfterJob(WPARAM, LPARAM) {
    if (job != nullptr) WaitForSingleObject(job, INFINITE);
    OnOK();
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(NameDialog, CDialog)
  ON_BN_CLICKED(kNested, OnNested)
  ON_MESSAGE(WM_USER + 5, OnCloseAfterJob)
END_MESSAGE_MAP()

class DialogsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    registerDialogs();
    ASSERT_TRUE(host.Create(kHostTemplate));
  }
  CDialog host{kHostTemplate};
};

TEST_F(DialogsTest, ScriptedModalDialogExchangesItsData) {
  NameDialog dialog(&host);
  bool ownerDisabled = false;
  std::string shownName;
  ui::onModalDialog(
      [&](CDialog& d) {
        ownerDisabled = !host.IsWindowEnabled();
        shownName = ui::windowState(::GetDlgItem(d.m_hWnd, kName)).text;
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(d.m_hWnd, kName)) << "the first tab stop has the focus";
        ASSERT_TRUE(ui::typeText(::GetDlgItem(d.m_hWnd, kName), "renamed"));
        ASSERT_TRUE(ui::clickButton(::GetDlgItem(d.m_hWnd, kFlag)));
        ASSERT_TRUE(ui::clickButton(::GetDlgItem(d.m_hWnd, kSecondChoice)));
        ASSERT_TRUE(ui::chooseComboItem(::GetDlgItem(d.m_hWnd, kModules), std::string("tools.jar")));
        ASSERT_TRUE(ui::clickButton(::GetDlgItem(d.m_hWnd, IDOK)));
      },
      kNameTemplate);

  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(host.IsWindowEnabled()) << "the owner is enabled again";
  EXPECT_EQ(shownName, "initial");
  EXPECT_EQ(std::string(dialog.m_name), "renamed");
  EXPECT_EQ(dialog.m_flag, 1);
  EXPECT_EQ(dialog.m_choice, 1);
  EXPECT_EQ(dialog.m_module, 1);
  EXPECT_EQ(dialog.m_hWnd, nullptr) << "the window is gone after DoModal";

  std::vector<ui::ModalRecord> records = ui::modalRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].templateId, static_cast<UINT>(kNameTemplate));
  EXPECT_EQ(records[0].caption, "Edit Name");
  EXPECT_TRUE(records[0].scripted);
  EXPECT_EQ(records[0].result, IDOK);
}

TEST_F(DialogsTest, UnscriptedDialogsGetTheDefaultCommand) {
  NameDialog dialog(&host);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.cancels, 1) << "the default goes through OnCancel, as a click on Cancel would";
  EXPECT_FALSE(ui::modalRecords().front().scripted);

  ui::setDefaultModalCommand(IDOK);
  NameDialog accepting(&host);
  accepting.m_name = "kept";
  EXPECT_EQ(accepting.DoModal(), IDOK);
  EXPECT_EQ(accepting.oks, 1);
  EXPECT_EQ(std::string(accepting.m_name), "kept");

  NameDialog refusing(&host);
  refusing.refuseOk = true;
  EXPECT_EQ(refusing.DoModal(), IDCANCEL) << "a dialog that stays open is cancelled";
  EXPECT_EQ(refusing.oks, 1);
}

TEST_F(DialogsTest, NestedModalDialogsTakeTheirOwnScripts) {
  NameDialog outer(&host);
  bool outerDisabledDuringInner = false;
  ui::onModalDialog(
      [](CDialog& d) {
        ASSERT_TRUE(ui::clickButton(::GetDlgItem(d.m_hWnd, kNested)));
        ASSERT_TRUE(ui::clickButton(::GetDlgItem(d.m_hWnd, IDCANCEL)));
      },
      kNameTemplate);
  ui::onModalDialog(
      [&](CDialog& d) {
        outerDisabledDuringInner = !::IsWindowEnabled(outer.m_hWnd);
        EXPECT_EQ(::GetParent(d.m_hWnd), outer.m_hWnd);
        ASSERT_TRUE(ui::clickButton(::GetDlgItem(d.m_hWnd, IDOK)));
      },
      kInnerTemplate);
  EXPECT_EQ(outer.DoModal(), IDCANCEL);
  EXPECT_EQ(outer.innerResult, IDOK);
  EXPECT_TRUE(outerDisabledDuringInner);
  std::vector<ui::ModalRecord> records = ui::modalRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].templateId, static_cast<UINT>(kInnerTemplate));
  EXPECT_EQ(records[1].templateId, static_cast<UINT>(kNameTemplate));
}

class JobThread : public CWinThread {
  DECLARE_DYNCREATE(JobThread)
 public:
  static HWND target;
  BOOL InitInstance() override {
    Sleep(20);
    ::SetWindowText(::GetDlgItem(target, kName), "from the job");
    ::PostMessage(target, WM_USER + 5, 0, 0);
    return FALSE;
  }
};
IMPLEMENT_DYNCREATE(JobThread, CWinThread)
HWND JobThread::target = nullptr;

TEST_F(DialogsTest, ModalLoopRunsUntilAJobEndsTheDialog) {
  NameDialog dialog(&host);
  ui::onModalDialog([&](CDialog& d) {
    JobThread::target = d.m_hWnd;
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(JobThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    DuplicateHandle(GetCurrentProcess(), thread->m_hThread, GetCurrentProcess(), &dialog.job, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    thread->ResumeThread();
    // The script returns at once; the loop keeps pumping for the job's calls and message.
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(std::string(dialog.m_name), "from the job");
  CloseHandle(dialog.job);
}

TEST_F(DialogsTest, IdleModalLoopGivesUpAndMissingTemplatesFail) {
  ui::setModalIdleLimit(50);
  NameDialog dialog(&host);
  ui::onModalDialog([](CDialog&) {});
  EXPECT_EQ(dialog.DoModal(), IDABORT);
  EXPECT_TRUE(ui::modalRecords().back().idleTimeout);

  CDialog missing(4242, &host);
  EXPECT_EQ(missing.DoModal(), -1);
  EXPECT_TRUE(host.IsWindowEnabled());

  NameDialog closed(&host);
  ui::onModalDialog([](CDialog& d) { ASSERT_TRUE(ui::closeWindow(d.m_hWnd)); });
  EXPECT_EQ(closed.DoModal(), IDCANCEL);
  EXPECT_EQ(closed.cancels, 1) << "the close box means Cancel";
}

// --- A page with a frame, a splitter and two list views, as the classes page has them. --------
int gViewsDeleted = 0;
int gFramesDeleted = 0;

class ClassList : public CListView {
  DECLARE_DYNCREATE(ClassList)
 public:
  ~ClassList() override { ++gViewsDeleted; }

 protected:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override {
    cs.style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
    return CListView::PreCreateWindow(cs);
  }
  afx_msg void OnItemChanged(NMHDR* header, LRESULT* result) {
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    GetParent()->GetParent()->GetParent()->SendMessage(WM_USER + 1, static_cast<WPARAM>(change->iItem),
                                                       reinterpret_cast<LPARAM>(m_hWnd));
    *result = 0;
  }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(ClassList, CListView)
BEGIN_MESSAGE_MAP(ClassList, CListView)
  ON_NOTIFY_REFLECT(LVN_ITEMCHANGED, OnItemChanged)
END_MESSAGE_MAP()

class Frame : public CFrameWnd {
 public:
  ~Frame() override { ++gFramesDeleted; }
};

class ClassesPage : public CDialog {
 public:
  ClassesPage() : CDialog(kPageTemplate) {}
  Frame* frame = nullptr;
  CSplitterWnd splitter;
  bool controlsAtCreate = true;
  bool controlsAtInit = false;
  std::vector<std::pair<int, HWND>> changes;
  int shows = 0;

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT cs) {
    if (CDialog::OnCreate(cs) == -1) return -1;
    controlsAtCreate = ::GetDlgItem(m_hWnd, kFramePlace) != nullptr;
    LPCTSTR cls = AfxRegisterWndClass(CS_VREDRAW | CS_HREDRAW, LoadCursor(nullptr, IDC_ARROW),
                                      static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    frame = new Frame;
    frame->Create(cls, "", WS_CHILD, CRect(0, 0, 1, 1), this);
    frame->ShowWindow(SW_SHOW);
    frame->MoveWindow(0, 0, 100, 100);
    splitter.CreateStatic(frame, 1, 2, WS_CHILD | WS_VISIBLE, AFX_IDW_PANE_FIRST);
    splitter.CreateView(0, 0, RUNTIME_CLASS(ClassList), CSize(0, 0), nullptr);
    splitter.CreateView(0, 1, RUNTIME_CLASS(ClassList), CSize(0, 0), nullptr);
    splitter.SetColumnInfo(0, 250, 0);
    return 0;
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    controlsAtInit = ::GetDlgItem(m_hWnd, kFramePlace) != nullptr;
    CRect place;
    GetDlgItem(kFramePlace)->GetWindowRect(&place);
    ScreenToClient(&place);
    frame->MoveWindow(&place);
    static_cast<CListView*>(splitter.GetPane(0, 0))->GetListCtrl().InsertColumn(0, "Names", LVCFMT_LEFT, 240);
    return TRUE;
  }
  afx_msg LRESULT OnClassChanged(WPARAM row, LPARAM view) {
    changes.emplace_back(static_cast<int>(row), reinterpret_cast<HWND>(view));
    return 0;
  }
  afx_msg void OnShowWindow(BOOL show, UINT status) {
    CDialog::OnShowWindow(show, status);
    if (show) ++shows;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ClassesPage, CDialog)
  ON_WM_CREATE()
  ON_WM_SHOWWINDOW()
  ON_MESSAGE(WM_USER + 1, OnClassChanged)
END_MESSAGE_MAP()

TEST_F(DialogsTest, PageWithSplitterViewsReflectsListChangesToThePage) {
  gViewsDeleted = gFramesDeleted = 0;
  ClassesPage page;
  ASSERT_TRUE(page.Create(kPageTemplate, &host));
  EXPECT_FALSE(page.controlsAtCreate) << "WM_CREATE comes before the controls";
  EXPECT_TRUE(page.controlsAtInit);
  EXPECT_FALSE(page.IsWindowVisible()) << "a page without WS_VISIBLE starts hidden";
  page.ShowWindow(SW_SHOW);
  EXPECT_EQ(page.shows, 1);

  // The frame sits on its marker; the splitter fills it; the first column is 250 wide.
  CRect frameRect, markerRect;
  page.frame->GetWindowRect(&frameRect);
  page.GetDlgItem(kFramePlace)->GetWindowRect(&markerRect);
  EXPECT_EQ(frameRect, markerRect);
  CWnd* left = page.splitter.GetPane(0, 0);
  CWnd* right = page.splitter.GetPane(0, 1);
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  EXPECT_TRUE(left->IsKindOf(RUNTIME_CLASS(CListView)));
  CRect leftRect, rightRect;
  left->GetWindowRect(&leftRect);
  right->GetWindowRect(&rightRect);
  EXPECT_EQ(leftRect.Width(), 250);
  EXPECT_EQ(rightRect.left - frameRect.left, 250 + CSplitterWnd::kSplitterGap);
  EXPECT_EQ(rightRect.right, frameRect.right);
  EXPECT_EQ(leftRect.Height(), frameRect.Height());

  CListCtrl& list = static_cast<CListView*>(left)->GetListCtrl();
  list.InsertItem(0, "java.lang.String");
  list.InsertItem(1, "java.util.Map");
  ASSERT_TRUE(ui::clickListItem(left->m_hWnd, 1));
  ASSERT_TRUE(ui::clickListItem(left->m_hWnd, 0));
  // Row 1 selected; then row 0 selected, which first takes row 1's selection and focus.
  std::vector<std::pair<int, HWND>> expected{
      {1, left->m_hWnd}, {1, left->m_hWnd}, {1, left->m_hWnd}, {0, left->m_hWnd}};
  EXPECT_EQ(page.changes, expected);

  // Destruction: WM_DESTROY from the page down, WM_NCDESTROY from the leaves up; the frame
  // and the views delete themselves.
  HWND pageWindow = page.m_hWnd, frameWindow = page.frame->m_hWnd, splitterWindow = page.splitter.m_hWnd;
  ui::startMessageLog();
  page.DestroyWindow();
  std::vector<HWND> destroyed, finished;
  for (const ui::LoggedMessage& m : ui::messageLog()) {
    if (m.message == WM_DESTROY) destroyed.push_back(m.window);
    if (m.message == WM_NCDESTROY) finished.push_back(m.window);
  }
  auto at = [](const std::vector<HWND>& v, HWND w) { return std::find(v.begin(), v.end(), w) - v.begin(); };
  EXPECT_LT(at(destroyed, pageWindow), at(destroyed, frameWindow));
  EXPECT_LT(at(destroyed, frameWindow), at(destroyed, splitterWindow));
  EXPECT_GT(at(finished, pageWindow), at(finished, frameWindow));
  EXPECT_GT(at(finished, frameWindow), at(finished, splitterWindow));
  EXPECT_EQ(gFramesDeleted, 1);
  EXPECT_EQ(gViewsDeleted, 2);
  EXPECT_EQ(page.splitter.m_hWnd, nullptr);
}

TEST_F(DialogsTest, FontsAreRecordedAndTheirLifetimeChecked) {
  LOGFONT dialogFont{};
  ASSERT_NE(host.GetFont(), nullptr);
  host.GetFont()->GetLogFont(&dialogFont);
  EXPECT_EQ(dialogFont.lfHeight, -11);
  EXPECT_STREQ(dialogFont.lfFaceName, "MS Sans Serif");

  CWnd* caption = host.GetDlgItem(kStatic);
  CFont title;
  ASSERT_TRUE(title.CreateFont(-25, 0, 0, 0, 400, 0, 0, 0, 0, 3, 2, 2, 20, "Times New Roman"));
  caption->SetFont(&title);
  ui::WindowState state = ui::windowState(caption->m_hWnd);
  EXPECT_EQ(state.font, static_cast<HFONT>(title));
  ui::FontState font = ui::fontState(state.font);
  ASSERT_TRUE(font.alive);
  EXPECT_EQ(font.logFont.lfHeight, -25);
  EXPECT_EQ(font.logFont.lfWeight, 400);
  EXPECT_EQ(font.logFont.lfOutPrecision, 3);
  EXPECT_EQ(font.logFont.lfClipPrecision, 2);
  EXPECT_EQ(font.logFont.lfQuality, 2);
  EXPECT_EQ(font.logFont.lfPitchAndFamily, 20);
  EXPECT_STREQ(font.logFont.lfFaceName, "Times New Roman");
  EXPECT_EQ(caption->GetFont(), &title) << "the control reports the program's own object";

  {
    LOGFONT shortLived = font.logFont;
    shortLived.lfHeight = -12;
    CFont temporary;
    temporary.CreateFontIndirect(&shortLived);
    caption->SetFont(&temporary);
  }
  // The control still holds the handle of a font object that no longer exists.
  EXPECT_FALSE(ui::fontState(ui::windowState(caption->m_hWnd).font).alive);
}

TEST_F(DialogsTest, ModuleStateSwitchesForAScopeAndWindowsKeepTheModuleLoaded) {
  AFX_MODULE_STATE* caller = AfxGetModuleState();
  {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    EXPECT_EQ(AfxGetModuleState(), AfxGetStaticModuleState());
    {
      AFX_MANAGE_STATE(AfxGetAppModuleState());
      EXPECT_EQ(AfxGetModuleState(), AfxGetAppModuleState());
    }
    EXPECT_EQ(AfxGetModuleState(), AfxGetStaticModuleState());
  }
  EXPECT_EQ(AfxGetModuleState(), caller);

  EXPECT_EQ(AfxDllCanUnloadNow(), 1) << "the host dialog is still open";
  host.DestroyWindow();
  EXPECT_EQ(AfxDllCanUnloadNow(), 0);
}

}  // namespace
