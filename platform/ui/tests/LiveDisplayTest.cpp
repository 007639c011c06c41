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
    return waitFor([&]() -> Window {
      Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
      unsigned count = 0;
      Window found = 0;
      if (XQueryTree(display_, root, &root, &parent, &children, &count) != 0) {
        for (unsigned i = 0; i < count && found == 0; ++i) {
          char* name = nullptr;
          XWindowAttributes a;
          if (XFetchName(display_, children[i], &name) != 0 && name != nullptr) {
            if (title == name && XGetWindowAttributes(display_, children[i], &a) && a.map_state == IsViewable) {
              found = children[i];
            }
            XFree(name);
          }
        }
        if (children != nullptr) XFree(children);
      }
      return found;
    });
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
  void click(Window w, int x, int y) {
    int sx = 0, sy = 0;
    Window child = 0;
    XTranslateCoordinates(display_, w, DefaultRootWindow(display_), x, y, &sx, &sy, &child);
    XTestFakeMotionEvent(display_, -1, sx, sy, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
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

POINT centre(HWND control) {
  RECT r = ui::windowState(control).rect;
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
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
    POINT c = centre(check);
    p.click(w, c.x, c.y);
    EXPECT_TRUE(eventually([&] { return ui::buttonCheck(check) == BST_CHECKED; })) << "a click checks the box";

    HWND edit = GetDlgItem(host, kEdit);
    c = centre(edit);
    p.click(w, c.x, c.y);
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

}  // namespace
