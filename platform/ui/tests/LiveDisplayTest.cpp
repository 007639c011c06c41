// The dialogs on a real X server (Xvfb of the test's own), worked with real X input (XTest) the
// way a person works them: the picture on the screen, clicks, typing and the dialog keys.
#include "UiTestSupport.h"
#include "VirtualDisplay.h"
#include "LivePerson.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

using namespace uitest;
using kavrin_test::eventually;
using kavrin_test::Person;

namespace {

// After the person's part no dialog is left waiting (see kavrin_test::leaveNoDialog).
void leaveNoDialog(const std::atomic<bool>& done, const std::atomic<bool>& finished) {
  kavrin_test::leaveNoDialog(done, finished, [] {
    for (HWND h : ui::topLevelWindows()) ui::closeWindow(h);
  });
}

// The middle of a window on the screen.
POINT centre(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool near(COLORREF a, unsigned long rgb) {
  auto close = [](int x, int y) { return std::abs(x - y) <= 8; };
  return close(GetRValue(a), static_cast<int>((rgb >> 16) & 0xFF)) &&
         close(GetGValue(a), static_cast<int>((rgb >> 8) & 0xFF)) && close(GetBValue(a), static_cast<int>(rgb & 0xFF));
}

class LiveDisplayTest : public UiTest {
 protected:
  explicit LiveDisplayTest(int screenWidth = 1280, int screenHeight = 1024) : server(screenWidth, screenHeight) {}
  void SetUp() override {
    UiTest::SetUp();
    if (!server.running()) GTEST_SKIP() << "no Xvfb";
    std::string error;
    ASSERT_TRUE(ui::openDisplay(server.name(), error)) << error;
  }
  void TearDown() override {
    ui::closeDisplay();
    UiTest::TearDown();
  }

  // Plays the person's part (`act`) on a thread of its own while `dialogs` runs the dialogs on
  // this one. A part cut short by a failed assertion has whatever it left open closed at once;
  // after a whole part the dialogs get a while to close by themselves first.
  void whileThePersonActs(const std::function<void(Person&)>& act, const std::function<void()>& dialogs) {
    std::atomic<bool> done{false}, finished{false};
    auto drive = [&] {
      Person p(server.name());
      ASSERT_TRUE(p.ok());
      act(p);
      done = !HasFatalFailure();
    };
    std::thread person([&] {
      drive();
      leaveNoDialog(done, finished);
    });
    dialogs();
    finished = true;
    person.join();
  }

  kavrin_test::VirtualDisplay server;
};

TEST_F(LiveDisplayTest, APersonWorksAModalDialogWithMouseAndKeys) {
  ASSERT_TRUE(ui::displayOpen());

  CDialog dialog(kHostTemplate);
  auto act = [&](Person& p) {
    Window w = p.find("Host");
    ASSERT_NE(w, 0u) << "the dialog is a window titled with its caption";
    ASSERT_TRUE(p.focused(w));
    HWND host = ui::topLevelWindows().front();
    EXPECT_TRUE(eventually([&] { return p.pixel(w, 2, 2) == (GetSysColor(COLOR_BTNFACE) & 0xFFFFFF); }))
        << "the dialog's face is drawn";

    HWND check = GetDlgItem(host, kCheck);
    p.click(centre(check));
    EXPECT_TRUE(eventually([&] { return ui::buttonCheck(check) == BST_CHECKED; })) << "a click checks the box";

    HWND edit = GetDlgItem(host, kEdit);
    p.click(centre(edit));
    p.key(XK_o);
    p.key(XK_k, true);
    p.key(XK_BackSpace);
    p.key(XK_k);
    EXPECT_TRUE(eventually([&] { return ui::windowState(edit).text == "ok"; })) << ui::windowState(edit).text;
    p.key(XK_Escape);
  };
  // Nobody answers this dialog but the person: no default command, no idle limit.
  ui::setModalIdleLimit(50);
  INT_PTR result = 0;
  whileThePersonActs(act, [&] { result = dialog.DoModal(); });
  EXPECT_EQ(result, IDCANCEL) << "Escape cancels";
  ASSERT_EQ(ui::modalRecords().size(), 1u);
  EXPECT_FALSE(ui::modalRecords()[0].idleTimeout);
}

// A dialog whose page (a child dialog in a static frame) holds a button and a list of several
// selections; a label with a mnemonic before an edit, and a button with one.
enum : UINT { kKeysTemplate = 950, kKeysPageTemplate = 951 };
enum : int { kKeysEdit = 1101, kKeysFrame = 1102, kKeysApply = 1103, kPageGo = 1201, kPageList = 1202 };

const char* const kWords[] = {"alpha",    "bravo", "charlie", "cobalt", "delta", "echo",  "foxtrot",
                              "golf",     "hotel", "india",   "juliet", "kilo",  "lima",  "mike",
                              "november", "oscar", "papa",    "quebec", "romeo", "sierra"};
constexpr int kWordCount = static_cast<int>(sizeof kWords / sizeof kWords[0]);

void registerKeysDialog() {
  registerTemplate(
      kKeysTemplate, "Keys", 270, 160, kModalDialog,
      {
          {IDC_STATIC, WC_STATIC, "&Name:", 4, 6, 30, 8, WS_VISIBLE, 0},
          {kKeysEdit, WC_EDIT, "", 36, 4, 100, 14, WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 0},
          {kKeysFrame, WC_STATIC, "", 4, 22, 200, 130, WS_VISIBLE | SS_WHITEFRAME, 0},
          {kKeysApply, WC_BUTTON, "&Apply", 210, 4, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0},
          {IDCANCEL, WC_BUTTON, "Cancel", 210, 22, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0},
      });
  registerTemplate(kKeysPageTemplate, "", 200, 130, WS_CHILD | DS_CONTROL,
                   {
                       {kPageGo, WC_BUTTON, "Go", 4, 4, 40, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0},
                       {kPageList, WC_LISTVIEW, "", 4, 22, 180, 100,
                        WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS, 0},
                   });
}

class KeysPage : public CDialog {
 public:
  KeysPage() : CDialog(kKeysPageTemplate) {}
  std::atomic<int> goes{0};
  CListCtrl list;

 protected:
  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, kPageList, list); }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    list.InsertColumn(0, "Word", LVCFMT_LEFT, 200);
    for (int i = 0; i < kWordCount; ++i) list.InsertItem(i, kWords[i]);
    return TRUE;
  }
  afx_msg void OnGo() { ++goes; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(KeysPage, CDialog)
  ON_BN_CLICKED(kPageGo, OnGo)
END_MESSAGE_MAP()

class KeysDialog : public CDialog {
 public:
  KeysDialog() : CDialog(kKeysTemplate) {}
  KeysPage page;
  std::atomic<int> applies{0};

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    page.Create(kKeysPageTemplate, GetDlgItem(kKeysFrame));
    page.ShowWindow(SW_SHOW);
    return TRUE;
  }
  afx_msg void OnApply() { ++applies; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(KeysDialog, CDialog)
  ON_BN_CLICKED(kKeysApply, OnApply)
END_MESSAGE_MAP()

std::vector<int> selectedRows(HWND list) {
  std::vector<int> rows;
  ui::ListState state = ui::listState(list);
  for (size_t i = 0; i < state.items.size(); ++i) {
    if (state.items[i].selected) rows.push_back(static_cast<int>(i));
  }
  return rows;
}

TEST_F(LiveDisplayTest, KeysReachThePageAndWalkItsList) {
  registerKeysDialog();
  KeysDialog dialog;
  auto act = [&](Person& p) {
    ASSERT_TRUE(p.focused(p.find("Keys")));
    HWND edit = ::GetDlgItem(dialog.m_hWnd, kKeysEdit);
    HWND go = ::GetDlgItem(dialog.page.m_hWnd, kPageGo);
    HWND list = ::GetDlgItem(dialog.page.m_hWnd, kPageList);
    ASSERT_TRUE(eventually([&] { return ui::windowState(edit).focused; })) << "the first tab stop";

    // Tab goes on into the page, in creation order; Space presses its button.
    p.key(XK_Tab);
    EXPECT_TRUE(eventually([&] { return ui::windowState(go).focused; }));
    p.key(XK_space);
    EXPECT_TRUE(eventually([&] { return dialog.page.goes == 1; }));
    p.key(XK_Tab);
    EXPECT_TRUE(eventually([&] { return ui::windowState(list).focused; }));

    // The list: End, Home, Shift with the arrows, PageDown, and the first letters.
    p.key(XK_End);
    EXPECT_TRUE(eventually([&] { return selectedRows(list) == std::vector<int>{kWordCount - 1}; }));
    p.key(XK_Home);
    p.key(XK_Down, true);
    p.key(XK_Down, true);
    EXPECT_TRUE(eventually([&] { return selectedRows(list) == (std::vector<int>{0, 1, 2}); }));
    p.key(XK_Home);
    p.key(XK_Next);
    std::vector<int> paged;
    EXPECT_TRUE(eventually([&] {
      paged = selectedRows(list);
      return paged.size() == 1 && paged[0] > 2 && paged[0] < kWordCount - 1;
    })) << "PageDown goes to the last row shown";
    p.key(XK_Next);
    EXPECT_TRUE(eventually([&] { return !paged.empty() && selectedRows(list) == std::vector<int>{2 * paged[0]}; }))
        << "and then a page further";
    p.type("c");
    EXPECT_TRUE(eventually([&] { return selectedRows(list) == std::vector<int>{2}; })) << "charlie";
    p.type("c");
    EXPECT_TRUE(eventually([&] { return selectedRows(list) == std::vector<int>{3}; })) << "cobalt";

    // A label's mnemonic gives the focus to the edit after it; a button's presses it where the
    // focus is.
    p.keyWith(XK_Alt_L, XK_n);
    EXPECT_TRUE(eventually([&] { return ui::windowState(edit).focused; }));
    p.keyWith(XK_Alt_L, XK_a);
    EXPECT_TRUE(eventually([&] { return dialog.applies == 1; }));
    p.type("x");
    EXPECT_TRUE(eventually([&] { return ui::windowState(edit).text == "x"; }));
    p.key(XK_Escape);
  };
  INT_PTR result = 0;
  whileThePersonActs(act, [&] { result = dialog.DoModal(); });
  EXPECT_EQ(result, IDCANCEL);
}

TEST_F(LiveDisplayTest, MessageBoxesAndTheFolderBrowserAreDialogsThePersonAnswers) {
  char pattern[] = "/tmp/kavrinliveXXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = std::string(pattern) + "/inner";
  std::filesystem::create_directory(folder);

  auto act = [&](Person& p) {
    // Yes is the default button; Tab moves to No, Space presses it.
    ASSERT_TRUE(p.focused(p.find("Question")));
    p.key(XK_Tab);
    p.key(XK_space);
    ASSERT_TRUE(p.focused(p.find("Error")));
    p.key(XK_Return);
    // The folder's path typed into the browser's name field.
    ASSERT_TRUE(p.focused(p.find("Pick a folder")));
    p.type(folder);
    p.key(XK_Return);
  };
  LPITEMIDLIST chosen = nullptr;
  whileThePersonActs(act, [&] {
    EXPECT_EQ(::MessageBox(nullptr, "Go on?", "Question", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(AfxMessageBox("Stopped.", MB_OK | MB_ICONERROR), IDOK);
    BROWSEINFO info{};
    info.lpszTitle = "Pick a folder";
    chosen = SHBrowseForFolder(&info);
  });
  ASSERT_NE(chosen, nullptr);
  char path[MAX_PATH] = {0};
  EXPECT_TRUE(SHGetPathFromIDList(chosen, path));
  EXPECT_EQ(std::string(path), folder);
  ILFree(chosen);
  std::filesystem::remove_all(pattern);
  EXPECT_EQ(ui::messageBoxRecords().size(), 1u) << "AfxMessageBox's box is recorded as answered by the person";
}

TEST_F(LiveDisplayTest, AWorkersMessageBoxShowsOverItsOwnerUntilAnsweredAndThenLeavesTheScreen) {
  CDialog dialog(kHostTemplate);
  std::atomic<bool> answered{false}, letGo{false};
  std::atomic<int> answer{0};
  std::thread job;
  auto act = [&](Person& p) {
    Window owner = p.find("Host");
    ASSERT_NE(owner, 0u);
    HWND host = ui::topLevelWindows().front();
    // A job asks from a thread of its own, and once answered never looks at its messages again.
    job = std::thread([&] {
      answer = dialog.MessageBox("Replace the file?", "Job", MB_YESNOCANCEL | MB_ICONQUESTION);
      answered = true;
      while (!letGo) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    Window box = p.find("Job");
    ASSERT_NE(box, 0u) << "the box is on the screen";
    ASSERT_TRUE(p.focused(box));
    EXPECT_FALSE(answered) << "the job waits for the person";
    EXPECT_FALSE(::IsWindowEnabled(host)) << "the box is modal to its owner";
    const kavrin_test::ScreenRect b = p.geometry(box), o = p.geometry(owner);
    EXPECT_LE(std::abs((b.left + b.right) - (o.left + o.right)), 2) << "centred over its owner";
    EXPECT_LE(std::abs((b.top + b.bottom) - (o.top + o.bottom)), 2);
    EXPECT_TRUE(near(GetSysColor(COLOR_ACTIVECAPTION), p.pixel(box, 8, 10))) << "it draws its own caption";
    p.key(XK_n);  // No's mnemonic
    EXPECT_TRUE(p.gone("Job")) << "answered, the box leaves the screen though its thread idles no more";
    EXPECT_TRUE(eventually([&] { return answered.load(); }));
    // The owner takes clicks again.
    HWND check = GetDlgItem(host, kCheck);
    p.click(centre(check));
    EXPECT_TRUE(eventually([&] { return ui::buttonCheck(check) == BST_CHECKED; }));
    p.key(XK_Escape);
  };
  ui::setModalIdleLimit(50);
  whileThePersonActs(act, [&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
  letGo = true;
  if (job.joinable()) job.join();
  EXPECT_EQ(answer.load(), IDNO);
}

TEST_F(LiveDisplayTest, ADialogDrawsItsFrameAsInItsPictureAndMovesByItsCaption) {
  registerTemplate(kHostTemplate + 1, "Movable", 160, 60, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                   {{IDOK, WC_BUTTON, "OK", 55, 40, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0}});

  CDialog dialog(kHostTemplate + 1);
  auto act = [&](Person& p) {
    Window w = p.find("Movable");
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(p.focused(w));
    HWND movable = ui::topLevelWindows().front();
    // The window on the screen is its picture: frame and caption around the client area.
    const ui::Picture picture = ui::windowPicture(movable);
    const kavrin_test::ScreenRect before = p.geometry(w);
    const RECT client = ui::windowState(movable).rect;
    EXPECT_EQ(before.right - before.left, picture.width);
    EXPECT_EQ(before.bottom - before.top, picture.height);
    EXPECT_EQ(client.left - before.left, picture.client.x);
    EXPECT_EQ(client.top - before.top, picture.client.y);
    for (POINT at : {POINT{8, 10}, POINT{picture.width - 12, 10}, POINT{1, picture.height - 1}}) {
      EXPECT_TRUE(near(picture.at(at.x, at.y), p.pixel(w, at.x, at.y))) << at.x << "," << at.y;
    }

    // Dragged by its caption, the window follows the pointer, in the model and on the screen.
    p.drag(POINT{before.left + 40, before.top + 10}, POINT{before.left + 160, before.top + 90});
    EXPECT_TRUE(eventually([&] {
      const RECT r = ui::windowState(movable).rect;
      return r.left == client.left + 120 && r.top == client.top + 80;
    }));
    EXPECT_TRUE(
        eventually([&] { return p.geometry(w).left == before.left + 120 && p.geometry(w).top == before.top + 80; }));
    // Its close box cancels it.
    const kavrin_test::ScreenRect moved = p.geometry(w);
    p.click(POINT{moved.right - 12, moved.top + 12});
  };
  ui::setModalIdleLimit(50);
  whileThePersonActs(act, [&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
}

TEST_F(LiveDisplayTest, AComboBoxDropsItsListAsAPopupBeyondTheDialog) {
  registerTemplate(
      kHostTemplate + 2, "Choices", 120, 36, WS_POPUP | WS_CAPTION | DS_MODALFRAME,
      {{kCombo, WC_COMBOBOX, "", 10, 10, 100, 80, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0}});

  CDialog dialog(kHostTemplate + 2);
  auto act = [&](Person& p) {
    Window w = p.find("Choices");
    ASSERT_NE(w, 0u);
    HWND combo = GetDlgItem(ui::topLevelWindows().front(), kCombo);
    for (int i = 0; i < 20; ++i)
      ::SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(("member" + std::to_string(i)).c_str()));
    p.click(centre(combo));
    ASSERT_TRUE(eventually([&] { return ui::comboState(combo).dropped; }));
    Window list = p.popup();
    ASSERT_NE(list, 0u) << "the list is a window of its own";
    const kavrin_test::ScreenRect l = p.geometry(list), d = p.geometry(w);
    EXPECT_GT(l.bottom, d.bottom) << "reaching beyond the dialog, whole";
    RECT box{};
    ::GetWindowRect(combo, &box);
    EXPECT_EQ(l.top, box.bottom) << "under the box";
    const int row = (l.bottom - l.top - 2) / 8;  // eight rows in a one-pixel frame
    p.clickAt(l.left + 10, l.top + 1 + row * 6 + row / 2);
    EXPECT_TRUE(eventually([&] { return ui::comboState(combo).selection == 6 && !ui::comboState(combo).dropped; }))
        << ui::comboState(combo).selection;
    EXPECT_TRUE(p.popupGone()) << "closed, the list leaves the screen";
    p.key(XK_Escape);
  };
  ui::setModalIdleLimit(50);
  whileThePersonActs(act, [&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
}

// A dialog with a combo box of twenty entries, put where `place` says once initialised.
class ChoicesDialog : public CDialog {
 public:
  ChoicesDialog(UINT id, std::function<void(HWND)> place) : CDialog(id), place_(std::move(place)) {}

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    HWND combo = ::GetDlgItem(m_hWnd, kCombo);
    for (int i = 0; i < 20; ++i) ::SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kWords[i]));
    if (place_) place_(m_hWnd);
    return TRUE;
  }

 private:
  std::function<void(HWND)> place_;
};

void registerChoices(UINT id, const char* caption) {
  registerTemplate(
      id, caption, 120, 36, WS_POPUP | WS_CAPTION | DS_MODALFRAME,
      {{kCombo, WC_COMBOBOX, "", 10, 10, 100, 80, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0}});
}

// A screen lower than the one assumed without a display: what fits below a box there need not here.
class SmallScreenTest : public LiveDisplayTest {
 protected:
  SmallScreenTest() : LiveDisplayTest(800, 600) {}
};

TEST_F(SmallScreenTest, AComboBoxAtTheFootOfTheScreenDropsItsListAboveTheBox) {
  registerChoices(kHostTemplate + 3, "Low");
  ChoicesDialog dialog(kHostTemplate + 3, [](HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    ::SetWindowPos(h, nullptr, 300, 600 - (r.bottom - r.top) - 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  });
  auto act = [&](Person& p) {
    ASSERT_NE(p.find("Low"), 0u);
    HWND combo = GetDlgItem(dialog.m_hWnd, kCombo);
    RECT box{};
    ::GetWindowRect(combo, &box);
    p.click(centre(combo));
    ASSERT_TRUE(eventually([&] { return ui::comboState(combo).dropped; }));
    Window list = p.popup();
    ASSERT_NE(list, 0u);
    const kavrin_test::ScreenRect l = p.geometry(list);
    ASSERT_GT(box.bottom + (l.bottom - l.top), 600) << "no room below the box";
    EXPECT_EQ(l.bottom, box.top) << "the list opens above the box";
    EXPECT_GE(l.top, 0);
    EXPECT_EQ(l.left, box.left);
    // Its rows are where the screen shows them: a click on the third picks the third entry.
    const int row = (l.bottom - l.top - 2) / 8;
    p.clickAt(l.left + 10, l.top + 1 + row * 2 + row / 2);
    EXPECT_TRUE(eventually([&] { return ui::comboState(combo).selection == 2 && !ui::comboState(combo).dropped; }))
        << ui::comboState(combo).selection;
    EXPECT_EQ(ui::windowState(combo).text, kWords[2]);
    EXPECT_TRUE(p.popupGone());
    p.key(XK_Escape);
  };
  ui::setModalIdleLimit(50);
  whileThePersonActs(act, [&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
}

TEST_F(LiveDisplayTest, AWindowMovedFromOutsideKeepsItsListsAndBoxesWithIt) {
  registerChoices(kHostTemplate + 4, "Moved");
  ChoicesDialog dialog(kHostTemplate + 4, nullptr);
  std::thread job;
  std::atomic<int> answer{0};
  auto act = [&](Person& p) {
    Window w = p.find("Moved");
    ASSERT_NE(w, 0u);
    HWND combo = GetDlgItem(dialog.m_hWnd, kCombo);
    const RECT client = ui::windowState(dialog.m_hWnd).rect;
    const kavrin_test::ScreenRect before = p.geometry(w);
    // Where the list drops in the dialog, before the move.
    p.click(centre(combo));
    Window list = p.popup();
    ASSERT_NE(list, 0u);
    const kavrin_test::ScreenRect l0 = p.geometry(list);
    p.key(XK_Escape);
    ASSERT_TRUE(p.popupGone());

    // Another program (a window manager) moves the dialog: the model hears of it, and the
    // window stays there.
    p.moveWindow(w, before.left - 150, before.top + 120);
    EXPECT_TRUE(eventually([&] {
      const RECT r = ui::windowState(dialog.m_hWnd).rect;
      return r.left == client.left - 150 && r.top == client.top + 120;
    }));
    kavrin_test::ScreenRect after{};
    EXPECT_TRUE(eventually([&] {
      after = p.geometry(w);
      return after.left == before.left - 150 && after.top == before.top + 120;
    })) << after.left
        << "," << after.top;

    // The list drops at the same place in the moved dialog.
    p.click(centre(combo));
    list = p.popup();
    ASSERT_NE(list, 0u);
    const kavrin_test::ScreenRect l1 = p.geometry(list);
    EXPECT_EQ(l1.left - after.left, l0.left - before.left);
    EXPECT_EQ(l1.top - after.top, l0.top - before.top);
    p.key(XK_Escape);
    ASSERT_TRUE(p.popupGone());

    // A job's box is centred over the dialog where it is now.
    job = std::thread([&] { answer = dialog.MessageBox("Moved on?", "Over it", MB_OK); });
    Window box = p.find("Over it");
    ASSERT_NE(box, 0u);
    const kavrin_test::ScreenRect b = p.geometry(box);
    EXPECT_LE(std::abs((b.left + b.right) - (after.left + after.right)), 2);
    EXPECT_LE(std::abs((b.top + b.bottom) - (after.top + after.bottom)), 2);
    ASSERT_TRUE(p.focused(box));
    p.key(XK_Return);
    EXPECT_TRUE(p.gone("Over it"));
    EXPECT_TRUE(eventually([&] { return answer.load() == IDOK; }));
    p.key(XK_Escape);
  };
  ui::setModalIdleLimit(50);
  whileThePersonActs(act, [&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
  if (job.joinable()) job.join();
}

}  // namespace
