// The live display: input as a display delivers it, turned into the messages and
// notifications a person's actions make, and the state a display needs of the model.
#pragma once

#include "Internal.h"

#include <string>

namespace ui {
namespace detail {

// One event of a person at a top-level window; coordinates are in its client area.
struct InputEvent {
  enum Kind { Press, Release, Motion, Wheel, Key, Close };
  Kind kind = Motion;
  HWND window = nullptr;
  int x = 0, y = 0;            // may lie outside the client area: on the window's frame
  int rootX = 0, rootY = 0;    // on the screen (presses and motion)
  int button = 1;              // 1 left, 2 middle, 3 right; Wheel: -1 away from the user, 1 towards
  unsigned long keysym = 0;    // X keysym of a key
  std::string text;            // what the key types (UTF-8), empty for keys that type nothing
  unsigned modifiers = 0;      // kShift, kControl, kAlt
  unsigned long time = 0;      // milliseconds
};
constexpr unsigned kShift = 1, kControl = 4, kAlt = 8;

// Acts on an event on the thread that owns its window (the display posts it there).
void handleInput(const InputEvent& event);

// True while a display is open: dialogs wait for a person instead of taking default answers.
bool displayActive();
// Called by a thread with nothing else to do: shows its top-level windows as they now look.
void displayIdle(ThreadQueue& queue);
// A top-level window was destroyed or hidden: it leaves the screen at once, even when its thread
// (a job's worker) never idles again.
void displayWindowGone(HWND window);

}  // namespace detail
}  // namespace ui
