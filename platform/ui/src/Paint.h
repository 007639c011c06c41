// The painter: a picture of a window and its children drawn from the model in the classic look
// (grey 3-D faces, sunken lists and edits, blue selection), on the window's own thread. A window
// whose own code paints (its last WM_PAINT did not reach the class) shows what it drew on its
// surface, text included.
#pragma once

#include "Internal.h"

typedef struct _cairo_surface cairo_surface_t;

namespace ui {
namespace detail {

// The frame and caption drawn around a top-level window's client area in pictures.
struct FrameMetrics {
  int left = 0, top = 0, right = 0, bottom = 0;  // widths of the frame on each side (caption included)
  bool caption = false;
};
FrameMetrics frameOf(const Window& w);

// A new ARGB32 image of the window: with `frame`, a top-level window gets its frame and caption
// and `client` says where its client area lies. The dropped lists of its combo boxes are drawn
// over it, or, given `dropped`, left out and listed there (a display shows them as popups of
// their own). The caller destroys the image.
cairo_surface_t* paintWindow(Window& w, bool frame, POINT& client, std::vector<HWND>* dropped = nullptr);
// A new image of a combo box's dropped list alone; `where` gets its place in the box's client
// coordinates.
cairo_surface_t* paintDroppedList(Window& combo, RECT& where);

// Where a point of a top-level window's frame lies (client coordinates, outside its client area).
enum class FramePart { None, Caption, CloseBox };
FramePart framePartAt(const Window& w, POINT client);

}  // namespace detail
}  // namespace ui
