// The connection to an X server that shows the pictures of the headless user interface: one
// thread of its own makes an X window for every picture it is given (a top-level window with
// its frame and caption, or a combo box's dropped list as a popup), puts the picture into it
// (and again on Expose), and turns a person's mouse and key events there into input events for
// the picture's sink. The model paints the pictures and acts on the input on its own threads;
// this side knows no window but by its handle.
#pragma once

#include "Win32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {
namespace x11 {

// One event of a person at a top-level window; coordinates are in its client area. Moved: someone
// else (a window manager, another program) moved the window; rootX and rootY are where its
// client area's corner now lies on the screen.
struct InputEvent {
  enum Kind { Press, Release, Motion, Wheel, Key, Close, Moved };
  Kind kind = Motion;
  HWND window = nullptr;
  int x = 0, y = 0;          // may lie outside the client area: on the window's frame
  int rootX = 0, rootY = 0;  // on the screen (presses and motion)
  int button = 1;            // 1 left, 2 middle, 3 right; Wheel: -1 away from the user, 1 towards
  unsigned long keysym = 0;  // X keysym of a key (see keys below)
  std::string text;          // what the key types (UTF-8), empty for keys that type nothing
  unsigned modifiers = 0;    // kShift, kControl, kAlt
  unsigned long time = 0;    // milliseconds
};
constexpr unsigned kShift = 1, kControl = 4, kAlt = 8;

// The keys the model acts on, by their X keysyms: the values are the X protocol's, so that the
// model needs no X header.
namespace keys {
constexpr unsigned long Space = 0x0020, A = 0x0041, a = 0x0061;
constexpr unsigned long ISO_Left_Tab = 0xfe20;  // Tab with Shift
constexpr unsigned long BackSpace = 0xff08, Tab = 0xff09, Return = 0xff0d, Escape = 0xff1b;
constexpr unsigned long Home = 0xff50, Left = 0xff51, Up = 0xff52, Right = 0xff53, Down = 0xff54;
constexpr unsigned long Prior = 0xff55, Next = 0xff56, End = 0xff57;  // Prior, Next: page up, down
constexpr unsigned long KP_Enter = 0xff8d, F4 = 0xffc1, Delete = 0xffff;
}  // namespace keys

// A picture of a top-level window, frame included, or of a combo box's dropped list (a popup
// keyed by the combo box), on its way to the X thread (or word that it went away).
struct Frame {
  HWND hwnd = nullptr;
  std::function<void(const InputEvent&)> sink;  // where the input at this picture goes
  bool gone = false;
  bool popup = false;
  std::string title;
  HWND owner = nullptr;
  HWND target = nullptr;                    // the top-level window that takes the input of this one
  int originX = 0, originY = 0;             // where the picture's corner lies in the target's client area
  int x = 0, y = 0, width = 0, height = 0;  // on the screen
  std::vector<uint32_t> pixels;             // by rows; red, green, blue in the low bytes, as a 24-bit screen takes them
};

// Opens the display (an empty name: $DISPLAY) and starts the X thread; false, with the reason,
// when it cannot. True at once while connected.
bool connect(const std::string& name, std::string& error);
// Stops the X thread and closes the display; its windows go with it.
void disconnect();
// False before connect, after disconnect, and once the X server went away.
bool connected();
// The size of the screen last connected to (1280 by 1024 before any).
int screenWidth();
int screenHeight();
// Hands pictures to the X thread; they are shown in the order given.
void show(std::vector<Frame> frames);

}  // namespace x11
}  // namespace ui
