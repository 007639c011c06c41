// Text: fonts of the Windows faces mapped to installed metric-compatible faces, their real
// metrics and extents, and text drawn with Pango on cairo. Usable from any thread.
#pragma once

#include "WinGdi.h"

#include <string>

typedef struct _cairo cairo_t;

namespace ui {
namespace detail {

// The installed family list a Windows face name is drawn with ("MS Sans Serif" -> "Liberation
// Sans", "Times New Roman" -> "Liberation Serif", "Courier New" -> "Liberation Mono").
std::string familyFor(const std::string& face);

// The metrics of a font as GDI reports them: cell height = ascent + descent, internal leading =
// cell height - em height, average character width.
TEXTMETRIC fontMetrics(const LOGFONT& font);

// The width and height of one line of text (height: the font's cell height).
SIZE textExtent(const LOGFONT& font, const std::string& text);

// How text is laid out in a rectangle.
struct TextFormat {
  int width = -1;         // wrap at this width (pixels); -1: one line, no wrap
  bool ellipsis = false;  // one line cut with "..." at `width`
  bool prefix = false;    // "&x" underlines x, "&&" stands for '&'
  int align = 0;          // 0 left, 1 centre, 2 right (within `width`)
};

// The size of the text laid out with `format` (several lines when it wraps or holds '\n').
SIZE layoutExtent(const LOGFONT& font, const std::string& text, const TextFormat& format);

// Draws text with its top-left corner at (x, y): the first line's baseline lies at y + the
// font's ascent, as GDI places it.
void drawText(cairo_t* cr, const LOGFONT& font, const std::string& text, double x, double y, COLORREF color,
              const TextFormat& format = TextFormat());

// The byte offset in `text` of the character boundary nearest to `x` pixels from its start.
int offsetAtX(const LOGFONT& font, const std::string& text, int x);

}  // namespace detail
}  // namespace ui
