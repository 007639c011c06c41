// The live display: input as a display delivers it, turned into the messages and
// notifications a person's actions make, and the state a display needs of the model.
#pragma once

#include "Internal.h"
#include "X11Display.h"

#include <string>

namespace ui {
namespace detail {

// A person's input as the X11 side delivers it, and the keys by their X keysyms.
using x11::InputEvent;
using x11::kAlt;
using x11::kControl;
using x11::kShift;
namespace keys = x11::keys;

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
