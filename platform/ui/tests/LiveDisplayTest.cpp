// The dialogs on a real X server (Xvfb of the test's own), worked with real X input (XTest) the
// way a person works them: the picture on the screen, clicks, typing and the dialog keys.
#include "UiTestSupport.h"
#include "VirtualDisplay.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

using namespace uitest;

namespace {

// A person at the X server: finds windows by title and clicks and types through XTest.
class Person {
 public:
  explicit Person(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
  ~Person() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }

  // The top-level window with this title, waiting until it is mapped; 0 when none came.
  Window find(const std::string& title) {
    return waitFor([&]() -> Window { return viewable(title); });
  }
  // Waits until the window has the keyboard focus, as a person looks before typing.
  bool focused(Window w) {
    return waitFor([&]() -> Window {
             Window focus = 0;
             int revert = 0;
             XGetInputFocus(display_, &focus, &revert);
             return focus == w ? w : 0;
           }) != 0;
  }
  unsigned long pixel(Window w, int x, int y) {
    XImage* image = XGetImage(display_, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return ~0ul;
    unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
  }
  // Waits until no window with this title is on the screen.
  bool gone(const std::string& title) {
    return waitFor([&]() -> Window { return viewable(title) == 0 ? 1 : 0; }) != 0;
  }
  // A window's place and size on the screen.
  RECT geometry(Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(display_, w, &a);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    return RECT{x, y, x + a.width, y + a.height};
  }
  // The viewable window that no window manager would manage (a popup), 0 when none came.
  Window popup() {
    return waitFor([&] { return viewablePopup(); });
  }
  bool popupGone() {
    return waitFor([&]() -> Window { return viewablePopup() == 0 ? 1 : 0; }) != 0;
  }
  // A click at a point of a window, or of the screen (w 0).
  void click(Window w, int x, int y) {
    int sx = x, sy = y;
    Window child = 0;
    if (w != 0) XTranslateCoordinates(display_, w, DefaultRootWindow(display_), x, y, &sx, &sy, &child);
    XTestFakeMotionEvent(display_, -1, sx, sy, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XFlush(display_);
  }
  void click(POINT screen) { click(0, screen.x, screen.y); }
  // Presses at one point of the screen, moves in steps to another, releases there.
  void drag(POINT from, POINT to) {
    XTestFakeMotionEvent(display_, -1, from.x, from.y, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    for (int i = 1; i <= 4; ++i) {
      XTestFakeMotionEvent(display_, -1, from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4, CurrentTime);
    }
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XFlush(display_);
  }
  void key(KeySym keysym, bool shift = false) {
    KeyCode shiftCode = XKeysymToKeycode(display_, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(display_, shiftCode, True, CurrentTime);
    KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(display_, shiftCode, False, CurrentTime);
    XFlush(display_);
  }
  void type(const std::string& text) {
    for (char c : text) {
      KeySym keysym = c == '/' ? XK_slash : c == '.' ? XK_period : c == '-' ? XK_minus : c == '_' ? XK_underscore
                                                                                               : static_cast<KeySym>(c);
      key(keysym, (c >= 'A' && c <= 'Z') || c == '_');
    }
  }

 private:
  void forEachTop(const std::function<void(Window, const XWindowAttributes&)>& visit) {
    Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, root, &root, &parent, &children, &count) == 0) return;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(display_, children[i], &a)) visit(children[i], a);
    }
    if (children != nullptr) XFree(children);
  }
  Window viewablePopup() {
    Window found = 0;
    forEachTop([&](Window w, const XWindowAttributes& a) {
      if (a.override_redirect && a.map_state == IsViewable) found = w;
    });
    return found;
  }
  Window viewable(const std::string& title) {
    Window found = 0;
    forEachTop([&](Window w, const XWindowAttributes& a) {
      char* name = nullptr;
      if (a.map_state == IsViewable && XFetchName(display_, w, &name) != 0 && name != nullptr) {
        if (title == name) found = w;
        XFree(name);
      }
    });
    return found;
  }
  static Window waitFor(const std::function<Window()>& probe) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Window w = probe()) return w;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
  }
  Display* display_;
};

bool eventually(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// After the person's part: a person who gave up, whose keys went astray, or who stopped looking
// before a dialog came up leaves no dialog waiting. A person who finished (`done`) gets ten seconds
// for the dialogs to end by their own doing; then every top-level window is closed until the
// test's thread says the dialogs are over (`finished`).
void leaveNoDialog(const std::atomic<bool>& done, const std::atomic<bool>& finished) {
  for (int i = 0; i < 500 && done && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  while (!finished) {
    for (HWND h : ui::topLevelWindows()) ui::closeWindow(h);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// The middle of a window on the screen.
POINT centre(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool near(COLORREF a, unsigned long rgb) {
  auto close = [](int x, int y) { return std::abs(x - y) <= 8; };
  return close(GetRValue(a), static_cast<int>((rgb >> 16) & 0xFF)) && close(GetGValue(a), static_cast<int>((rgb >> 8) & 0xFF)) &&
         close(GetBValue(a), static_cast<int>(rgb & 0xFF));
}

class LiveDisplayTest : public UiTest {
 protected:
  void TearDown() override {
    ui::closeDisplay();
    UiTest::TearDown();
  }
  kavrin_test::VirtualDisplay server;
};

TEST_F(LiveDisplayTest, APersonWorksAModalDialogWithMouseAndKeys) {
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  std::string error;
  ASSERT_TRUE(ui::openDisplay(server.name(), error)) << error;
  ASSERT_TRUE(ui::displayOpen());

  CDialog dialog(kHostTemplate);
  std::atomic<bool> done{false}, finished{false};
  auto drive = [&] {
    Person p(server.name());
    ASSERT_TRUE(p.ok());
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
    done = true;
  };
  std::thread person([&] {
    drive();
    leaveNoDialog(done, finished);
  });
  // Nobody answers this dialog but the person: no default command, no idle limit.
  ui::setModalIdleLimit(50);
  const INT_PTR result = dialog.DoModal();
  finished = true;
  person.join();
  EXPECT_EQ(result, IDCANCEL) << "Escape cancels";
  ASSERT_EQ(ui::modalRecords().size(), 1u);
  EXPECT_FALSE(ui::modalRecords()[0].idleTimeout);
}

TEST_F(LiveDisplayTest, MessageBoxesAndTheFolderBrowserAreDialogsThePersonAnswers) {
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  std::string error;
  ASSERT_TRUE(ui::openDisplay(server.name(), error)) << error;
  char pattern[] = "/tmp/kavrinliveXXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = std::string(pattern) + "/inner";
  std::filesystem::create_directory(folder);

  std::atomic<bool> done{false}, finished{false};
  auto drive = [&] {
    Person p(server.name());
    ASSERT_TRUE(p.ok());
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
    done = true;
  };
  std::thread person([&] {
    drive();
    leaveNoDialog(done, finished);
  });
  EXPECT_EQ(::MessageBox(nullptr, "Go on?", "Question", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(AfxMessageBox("Stopped.", MB_OK | MB_ICONERROR), IDOK);
  BROWSEINFO info{};
  info.lpszTitle = "Pick a folder";
  LPITEMIDLIST chosen = SHBrowseForFolder(&info);
  finished = true;
  person.join();
  ASSERT_NE(chosen, nullptr);
  char path[MAX_PATH] = {0};
  EXPECT_TRUE(SHGetPathFromIDList(chosen, path));
  EXPECT_EQ(std::string(path), folder);
  ILFree(chosen);
  std::filesystem::remove_all(pattern);
  EXPECT_EQ(ui::messageBoxRecords().size(), 1u) << "AfxMessageBox's box is recorded as answered by the person";
}

TEST_F(LiveDisplayTest, AWorkersMessageBoxShowsOverItsOwnerUntilAnsweredAndThenLeavesTheScreen) {
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  std::string error;
  ASSERT_TRUE(ui::openDisplay(server.name(), error)) << error;

  CDialog dialog(kHostTemplate);
  std::atomic<bool> done{false}, finished{false}, answered{false}, letGo{false};
  std::atomic<int> answer{0};
  std::thread job;
  auto drive = [&] {
    Person p(server.name());
    ASSERT_TRUE(p.ok());
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
    const RECT b = p.geometry(box), o = p.geometry(owner);
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
    done = true;
  };
  std::thread person([&] {
    drive();
    leaveNoDialog(done, finished);
  });
  ui::setModalIdleLimit(50);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  finished = true;
  person.join();
  letGo = true;
  if (job.joinable()) job.join();
  EXPECT_EQ(answer.load(), IDNO);
}

TEST_F(LiveDisplayTest, ADialogDrawsItsFrameAsInItsPictureAndMovesByItsCaption) {
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  std::string error;
  ASSERT_TRUE(ui::openDisplay(server.name(), error)) << error;
  ui::DialogTemplate t;
  t.caption = "Movable";
  t.cx = 160;
  t.cy = 60;
  t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  t.controls = {{IDOK, WC_BUTTON, "OK", 55, 40, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0}};
  ui::registerDialog(kHostTemplate + 1, t);

  CDialog dialog(kHostTemplate + 1);
  std::atomic<bool> done{false}, finished{false};
  auto drive = [&] {
    Person p(server.name());
    ASSERT_TRUE(p.ok());
    Window w = p.find("Movable");
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(p.focused(w));
    HWND movable = ui::topLevelWindows().front();
    // The window on the screen is its picture: frame and caption around the client area.
    const ui::Picture picture = ui::windowPicture(movable);
    const RECT before = p.geometry(w), client = ui::windowState(movable).rect;
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
    EXPECT_TRUE(eventually([&] { return p.geometry(w).left == before.left + 120 && p.geometry(w).top == before.top + 80; }));
    // Its close box cancels it.
    const RECT moved = p.geometry(w);
    p.click(POINT{moved.right - 12, moved.top + 12});
    done = true;
  };
  std::thread person([&] {
    drive();
    leaveNoDialog(done, finished);
  });
  ui::setModalIdleLimit(50);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  finished = true;
  person.join();
}

TEST_F(LiveDisplayTest, AComboBoxDropsItsListAsAPopupBeyondTheDialog) {
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  std::string error;
  ASSERT_TRUE(ui::openDisplay(server.name(), error)) << error;
  ui::DialogTemplate t;
  t.caption = "Choices";
  t.cx = 120;
  t.cy = 36;
  t.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  t.controls = {{kCombo, WC_COMBOBOX, "", 10, 10, 100, 80, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0}};
  ui::registerDialog(kHostTemplate + 2, t);

  CDialog dialog(kHostTemplate + 2);
  std::atomic<bool> done{false}, finished{false};
  auto drive = [&] {
    Person p(server.name());
    ASSERT_TRUE(p.ok());
    Window w = p.find("Choices");
    ASSERT_NE(w, 0u);
    HWND combo = GetDlgItem(ui::topLevelWindows().front(), kCombo);
    for (int i = 0; i < 20; ++i) ::SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(("member" + std::to_string(i)).c_str()));
    p.click(centre(combo));
    ASSERT_TRUE(eventually([&] { return ui::comboState(combo).dropped; }));
    Window list = p.popup();
    ASSERT_NE(list, 0u) << "the list is a window of its own";
    const RECT l = p.geometry(list), d = p.geometry(w);
    EXPECT_GT(l.bottom, d.bottom) << "reaching beyond the dialog, whole";
    RECT box{};
    ::GetWindowRect(combo, &box);
    EXPECT_EQ(l.top, box.bottom) << "under the box";
    const int row = (l.bottom - l.top - 2) / 8;  // eight rows in a one-pixel frame
    p.click(0, l.left + 10, l.top + 1 + row * 6 + row / 2);
    EXPECT_TRUE(eventually([&] { return ui::comboState(combo).selection == 6 && !ui::comboState(combo).dropped; }))
        << ui::comboState(combo).selection;
    EXPECT_TRUE(p.popupGone()) << "closed, the list leaves the screen";
    p.key(XK_Escape);
    done = true;
  };
  std::thread person([&] {
    drive();
    leaveNoDialog(done, finished);
  });
  ui::setModalIdleLimit(50);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  finished = true;
  person.join();
}

}  // namespace
