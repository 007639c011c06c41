// Scripted sessions: lines checked before anything runs, acted out through the driver in the
// dialog active at that moment (nested modal dialogs included), and the first line that cannot
// be done stopping the session with the dialogs closed.
#include "UiScript.h"
#include "UiTestSupport.h"

#include <cstdlib>

namespace {

enum : UINT {
  kSessionTemplate = 300,
  kChooserTemplate = 301,
  kPages = 3001,
  kRows = 3002,
  kNameLabel = 3003,
  kName = 3004,
  kFlag = 3005,
  kOpen = 3006,
  kLocked = 3007,
  kLater = 3008,
  kStatus = 3009,
  kAsk = 3010,
  kFail = 3011,
  kModule = 3012,
  kFirstPage = 3013,
};

void registerDialogs() {
  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  uitest::registerTemplate(
      kSessionTemplate, "Session", 300, 200, uitest::kModalDialog,
      {
          {kPages, WC_TREEVIEW, "", 4, 4, 80, 100, WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, 0},
          {kFirstPage, WC_BUTTON, "Hidden", 90, 4, 50, 14, button & ~WS_VISIBLE, 0},
          {kRows, WC_LISTVIEW, "", 90, 20, 120, 60, WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, 0},
          {kNameLabel, WC_STATIC, "&Name:", 90, 84, 30, 8, WS_VISIBLE, 0},
          {kName, WC_EDIT, "", 124, 84, 80, 12, WS_VISIBLE | ES_AUTOHSCROLL, 0},
          {kFlag, WC_BUTTON, "&Flag", 90, 100, 60, 10, WS_VISIBLE | BS_AUTOCHECKBOX, 0},
          {kOpen, WC_BUTTON, "Open...", 220, 4, 60, 14, button, 0},
          {kLocked, WC_BUTTON, "Locked", 220, 20, 60, 14, button | WS_DISABLED, 0},
          {kLater, WC_BUTTON, "Later", 220, 36, 60, 14, button, 0},
          {kAsk, WC_BUTTON, "Ask", 220, 52, 60, 14, button, 0},
          {kFail, WC_BUTTON, "Fail", 220, 68, 60, 14, button, 0},
          {kStatus, WC_STATIC, "idle", 90, 120, 120, 8, WS_VISIBLE, 0},
          {IDOK, WC_BUTTON, "OK", 220, 160, 60, 14, button | BS_DEFPUSHBUTTON, 0},
          {IDCANCEL, WC_BUTTON, "Cancel", 220, 178, 60, 14, button, 0},
      });
  uitest::registerTemplate(kChooserTemplate, "Chooser", 150, 80, uitest::kModalDialog,
                           {
                               {kModule, WC_COMBOBOX, "", 4, 4, 100, 60, WS_VISIBLE | CBS_DROPDOWNLIST, 0},
                               {IDOK, WC_BUTTON, "OK", 110, 4, 30, 14, WS_VISIBLE | BS_DEFPUSHBUTTON, 0},
                           });
}

class Chooser : public CDialog {
 public:
  explicit Chooser(CWnd* parent) : CDialog(kChooserTemplate, parent) {}
  int m_choice = -1;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    ::SendMessage(::GetDlgItem(m_hWnd, kModule), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("rt.jar"));
    ::SendMessage(::GetDlgItem(m_hWnd, kModule), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("tools.jar"));
    return TRUE;
  }
  void DoDataExchange(CDataExchange* dx) override { DDX_CBIndex(dx, kModule, m_choice); }
};

// A worker that takes a while, then reports through the dialog's status text.
class SlowJob : public CWinThread {
  DECLARE_DYNCREATE(SlowJob)
 public:
  static HWND target;
  BOOL InitInstance() override {
    Sleep(100);
    ::SetWindowText(::GetDlgItem(target, kStatus), "done");
    return FALSE;
  }
};
IMPLEMENT_DYNCREATE(SlowJob, CWinThread)
HWND SlowJob::target = nullptr;

class Session : public CDialog {
 public:
  Session() : CDialog(kSessionTemplate, nullptr) {}
  std::string m_name;
  int m_flag = 0;
  bool m_alphaChecked = false;
  std::string m_page;
  int m_choice = -1;
  int m_answer = 0;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    CTreeCtrl pages;
    pages.SubclassDlgItem(kPages, this);
    pages.InsertItem("First");
    pages.InsertItem("Second");
    pages.UnsubclassWindow();
    CListCtrl rows;
    rows.SubclassDlgItem(kRows, this);
    rows.SetExtendedStyle(LVS_EX_CHECKBOXES);
    rows.InsertColumn(0, "Rows", LVCFMT_LEFT, 100);
    rows.InsertItem(0, "alpha");
    rows.InsertItem(1, "beta");
    rows.UnsubclassWindow();
    return TRUE;
  }
  // What the user left in the dialog, however it ends.
  void capture() {
    m_name = ui::windowState(::GetDlgItem(m_hWnd, kName)).text;
    m_flag = ui::buttonCheck(::GetDlgItem(m_hWnd, kFlag));
    m_alphaChecked = ui::listState(::GetDlgItem(m_hWnd, kRows)).items.at(0).checked;
    for (const ui::TreeItemState& item : ui::treeState(::GetDlgItem(m_hWnd, kPages)).items) {
      if (item.selected) m_page = item.text;
    }
  }
  void OnOK() override {
    capture();
    CDialog::OnOK();
  }
  void OnCancel() override {
    capture();
    CDialog::OnCancel();
  }
  afx_msg void OnOpen() {
    Chooser chooser(this);
    if (chooser.DoModal() == IDOK) m_choice = chooser.m_choice;
  }
  afx_msg void OnLater() {
    SlowJob::target = m_hWnd;
    AfxBeginThread(RUNTIME_CLASS(SlowJob));
  }
  afx_msg void OnAsk() { m_answer = MessageBox("Go on?", "Question", MB_YESNO | MB_ICONQUESTION); }
  afx_msg void OnFail() { MessageBox("It broke", "Trouble", MB_OK | MB_ICONERROR); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Session, CDialog)
  ON_BN_CLICKED(kOpen, OnOpen)
  ON_BN_CLICKED(kLater, OnLater)
  ON_BN_CLICKED(kAsk, OnAsk)
  ON_BN_CLICKED(kFail, OnFail)
END_MESSAGE_MAP()

// A script and the start of the error it ends with.
struct ScriptCase {
  const char* text;
  const char* error;
};

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::resetDriver();
    registerDialogs();
  }
  void TearDown() override {
    for (HWND w : ui::topLevelWindows()) DestroyWindow(w);
    ui::pumpMessages();
    ui::resetDriver();
  }
  // Runs `text` as a script over a Session dialog; returns the dialog's result.
  INT_PTR run(const std::string& text, Session& session, ui::Script& script) {
    std::string error;
    EXPECT_TRUE(ui::Script::parse(text, "s", script, error)) << error;
    script.start();
    const INT_PTR result = session.DoModal();
    script.finish();
    return result;
  }
};

TEST_F(ScriptTest, MalformedLinesAreRefusedBeforeAnythingRuns) {
  setenv("KAVRIN_SCRIPT_TEST_JAR", "/tmp/x.jar", 1);
  unsetenv("KAVRIN_SCRIPT_TEST_UNSET");
  const ScriptCase cases[] = {
      {"# comment\n\npress OK\n", "s:3: unknown action \"press\""},
      {"click\n", "s:1: click needs a text"},
      {"answer Maybe\n", "s:1: \"Maybe\" is no message box button"},
      {"wait now\n", "s:1: wait takes nothing after it"},
      {"file \"a b.jar\n", "s:1: a double quote is not closed"},
      {"type\n", "s:1: type needs the label or number of an edit field"},
      {"click OK\nfile $(KAVRIN_SCRIPT_TEST_UNSET)/a.jar\n", "s:2: $(KAVRIN_SCRIPT_TEST_UNSET) is not set"},
  };
  for (const auto& c : cases) {
    ui::Script script;
    std::string error;
    EXPECT_FALSE(ui::Script::parse(c.text, "s", script, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
  ui::Script script;
  std::string error;
  ASSERT_TRUE(ui::Script::parse("  type \"Home dir:\" \"a b\"\r\nfile $(KAVRIN_SCRIPT_TEST_JAR) \"c d.jar\"\n", "s",
                                script, error))
      << error;
  ASSERT_EQ(script.lines().size(), 2u);
  EXPECT_EQ(script.lines()[0].args, (std::vector<std::string>{"Home dir:", "a b"}));
  EXPECT_EQ(script.lines()[1].number, 2);
  EXPECT_EQ(script.lines()[1].args, (std::vector<std::string>{"/tmp/x.jar", "c d.jar"}));
  EXPECT_FALSE(ui::Script::load("/nonexistent/script.txt", script, error));
  EXPECT_NE(error.find("/nonexistent/script.txt"), std::string::npos) << error;
}

TEST_F(ScriptTest, ActsInTheActiveDialogAsAUserWould) {
  Session session;
  ui::Script script;
  const INT_PTR result =
      run("answer No\n"
          "page Second\n"
          "check alpha\n"
          "check beta\n"
          "uncheck beta\n"
          "type Name hello world\n"
          "check Flag\n"
          "click Open...\n"
          "  select tools.jar\n"
          "  click OK\n"
          "expect idle\n"
          "click Later\n"
          "wait\n"
          "expect done\n"
          "click Ask\n"
          "click OK\n",
          session, script);
  EXPECT_FALSE(script.failed()) << script.error();
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(session.m_page, "Second");
  EXPECT_TRUE(session.m_alphaChecked);
  EXPECT_EQ(session.m_name, "hello world");
  EXPECT_EQ(session.m_flag, BST_CHECKED);
  EXPECT_EQ(session.m_choice, 1) << "the nested dialog took the lines until it closed";
  EXPECT_EQ(session.m_answer, IDNO) << "a leading answer line waits for its message box";
  ASSERT_EQ(ui::modalRecords().size(), 2u);
  EXPECT_EQ(ui::modalRecords()[0].caption, "Chooser");
}

TEST_F(ScriptTest, TheFirstLineThatCannotBeDoneStopsTheSession) {
  const ScriptCase cases[] = {
      {"check Flag\nclick Locked\ncheck alpha\n", "s:2: click Locked: the button \"Locked\" is disabled"},
      {"click Hidden\n", "s:1: click Hidden: the button \"Hidden\" is hidden"},
      {"select gamma\n", "s:1: select gamma: a row, item or entry \"gamma\" is not in the dialog"},
      {"check gamma\n", "s:1: check gamma: neither a check box nor a list row \"gamma\" is in the dialog"},
      {"type Age 3\n", "s:1: type Age 3: the edit field \"Age\" is not in the dialog"},
      {"expect nothing like this\n", "s:1: expect nothing like this: the dialog does not show"},
      {"file /nonexistent/a.jar\n", "s:1: file /nonexistent/a.jar: there is no file /nonexistent/a.jar"},
      {"click Open...\n  click Missing\ncheck alpha\n", "s:2: click Missing: the button \"Missing\" is not in"},
      {"click Fail\ncheck alpha\n", "s:1: click Fail: an error was reported: Trouble: It broke"},
      {"click OK\ncheck alpha\n", "s:2: check alpha: no dialog is open for it"},
  };
  for (const auto& c : cases) {
    Session session;
    ui::Script script;
    const INT_PTR result = run(c.text, session, script);
    EXPECT_TRUE(script.failed()) << c.text;
    EXPECT_EQ(script.error().rfind(c.error, 0), 0u) << script.error();
    EXPECT_FALSE(session.m_alphaChecked) << c.text << ": no later line runs";
    if (std::string(c.text) != "click OK\ncheck alpha\n") {
      EXPECT_EQ(result, IDCANCEL) << c.text << ": the dialog is closed as by its close box";
    }
    ui::resetDriver();
  }
}

}  // namespace
