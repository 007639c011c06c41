// A person at an X server of a test's own (VirtualDisplay.h): finds windows by title, looks at
// them, and clicks, drags and types through XTest. Tests using it link X11 and Xtst.
#pragma once

#include "TestSupport.h"  // eventually

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace kavrin_test {

// A rectangle of the screen, in pixels: left, top, right and bottom.
struct ScreenRect {
  int left, top, right, bottom;
};

class Person {
 public:
  explicit Person(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
  ~Person() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  Person(const Person&) = delete;
  Person& operator=(const Person&) = delete;
  bool ok() const { return display_ != nullptr; }

  // The top-level window with this title, waiting until it is mapped; 0 when none came.
  ::Window find(const std::string& title) {
    ::Window found = 0;
    eventually([&] { return (found = mapped(title)) != 0; });
    return found;
  }
  // Waits until no window with this title is mapped.
  bool gone(const std::string& title) {
    return eventually([&] { return mapped(title) == 0; });
  }
  // Waits until the window has the keyboard focus, as a person looks before typing.
  bool focused(::Window w) {
    return eventually([&] {
      ::Window focus = 0;
      int revert = 0;
      XGetInputFocus(display_, &focus, &revert);
      return focus == w;
    });
  }
  unsigned long pixel(::Window w, int x, int y) {
    XImage* image = XGetImage(display_, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return ~0ul;
    unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
  }
  void size(::Window w, int& width, int& height) {
    XWindowAttributes a{};
    XGetWindowAttributes(display_, w, &a);
    width = a.width;
    height = a.height;
  }

  // A window's place and size on the screen.
  ScreenRect geometry(::Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(display_, w, &a);
    int x = 0, y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    return ScreenRect{x, y, x + a.width, y + a.height};
  }
  // The mapped window that no window manager would manage (a popup), 0 when none came.
  ::Window popup() {
    ::Window found = 0;
    eventually([&] { return (found = mappedPopup()) != 0; });
    return found;
  }
  bool popupGone() {
    return eventually([&] { return mappedPopup() == 0; });
  }

  // Moves a top-level window from outside the program, as a window manager does.
  void moveWindow(::Window w, int x, int y) {
    XMoveWindow(display_, w, x, y);
    XFlush(display_);
  }

  // The pointer to a point of the window; a button goes down or up there.
  void moveTo(::Window w, int x, int y) {
    int sx = 0, sy = 0;
    ::Window child = 0;
    XTranslateCoordinates(display_, w, DefaultRootWindow(display_), x, y, &sx, &sy, &child);
    XTestFakeMotionEvent(display_, -1, sx, sy, CurrentTime);
    XFlush(display_);
  }
  void button(bool down) {
    XTestFakeButtonEvent(display_, 1, down ? True : False, CurrentTime);
    XFlush(display_);
  }
  // A click, with a modifier key (XK_Control_L, XK_Shift_L) held when one is given.
  void click(::Window w, int x, int y, KeySym modifier = 0) {
    moveTo(w, x, y);
    hold(modifier, true);
    button(true);
    button(false);
    hold(modifier, false);
    XFlush(display_);
  }
  // A click at a point of the screen (anything with an x and a y).
  void clickAt(int x, int y) { click(DefaultRootWindow(display_), x, y); }
  template <typename Point>
  void click(const Point& screen) {
    clickAt(screen.x, screen.y);
  }
  // Presses at one point of the screen, moves in steps to another, releases there.
  template <typename Point>
  void drag(const Point& from, const Point& to) {
    const ::Window root = DefaultRootWindow(display_);
    moveTo(root, from.x, from.y);
    button(true);
    for (int i = 1; i <= 4; ++i) moveTo(root, from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4);
    button(false);
  }
  void key(KeySym keysym, bool shift = false) { keyWith(shift ? XK_Shift_L : 0, keysym); }
  // A key pressed while a modifier key (XK_Shift_L, XK_Control_L, XK_Alt_L) is held.
  void keyWith(KeySym modifier, KeySym keysym) {
    hold(modifier, true);
    KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    hold(modifier, false);
    XFlush(display_);
  }
  // Printable ASCII, with Shift where the keyboard needs it.
  void type(const std::string& text) {
    for (char c : text) {
      KeySym keysym = static_cast<KeySym>(static_cast<unsigned char>(c));  // Latin-1 keysyms are the codes
      KeyCode code = XKeysymToKeycode(display_, keysym);
      key(keysym, XkbKeycodeToKeysym(display_, code, 0, 0) != keysym);
    }
  }

 private:
  ::Window mappedPopup() {
    ::Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    if (XQueryTree(display_, root, &root, &parent, &children, &count) != 0) {
      for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(display_, children[i], &a) && a.override_redirect && a.map_state == IsViewable) {
          found = children[i];
        }
      }
      if (children != nullptr) XFree(children);
    }
    return found;
  }
  ::Window mapped(const std::string& title) {
    ::Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
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
  }
  void hold(KeySym modifier, bool down) {
    if (modifier == 0) return;
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, modifier), down ? True : False, CurrentTime);
    XFlush(display_);
  }

  Display* display_;
};

// After the person's part: a person who gave up, whose keys went astray, or who stopped looking
// before a dialog came up leaves no dialog waiting. A person who finished (`done`) gets ten seconds
// for the dialogs to end by their own doing; then `closeAll` closes every window, again and again,
// until the test's thread says the dialogs are over (`finished`).
inline void leaveNoDialog(const std::atomic<bool>& done, const std::atomic<bool>& finished,
                          const std::function<void()>& closeAll) {
  for (int i = 0; i < 500 && done && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  while (!finished) {
    closeAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace kavrin_test
