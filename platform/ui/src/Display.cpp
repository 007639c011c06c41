// The display back end: none yet, every thread stays headless.
#include "Display.h"

namespace ui {
namespace detail {

bool displayActive() { return false; }

void displayIdle(ThreadQueue&) {}

}  // namespace detail
}  // namespace ui
