// Text with Pango over fontconfig: one font map and context for the process at 96 dots per
// inch, with the font options of the drawing (grey antialiasing, hinted metrics) so that what is
// measured is what is drawn.
#include "Text.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <strings.h>

namespace ui {
namespace detail {

namespace {

struct Face {
  const char* face;
  const char* family;
  // The size of the installed family that matches the face's glyphs at the same height. The
  // bitmap faces of the dialogs are narrower than Arial's metrics: "MS Sans Serif" at 8 points
  // has the average width of Liberation Sans at ten elevenths of its height, which is what the
  // dialog units of the templates were laid out for.
  double scale;
};

const Face kFaces[] = {
    {"MS Sans Serif", "Liberation Sans", 10.0 / 11.0},
    {"MS Shell Dlg", "Liberation Sans", 10.0 / 11.0},
    {"MS Shell Dlg 2", "Liberation Sans", 10.0 / 11.0},
    {"Microsoft Sans Serif", "Liberation Sans", 10.0 / 11.0},
    {"System", "Liberation Sans", 10.0 / 11.0},
    {"Helv", "Liberation Sans", 10.0 / 11.0},
    {"", "Liberation Sans", 10.0 / 11.0},
    {"Arial", "Liberation Sans", 1.0},
    {"Tahoma", "Liberation Sans", 1.0},
    {"Times New Roman", "Liberation Serif", 1.0},
    {"Times", "Liberation Serif", 1.0},
    {"Tms Rmn", "Liberation Serif", 1.0},
    {"MS Serif", "Liberation Serif", 1.0},
    {"Courier New", "Liberation Mono", 1.0},
    {"Courier", "Liberation Mono", 1.0},
    {"Fixedsys", "Liberation Mono", 1.0},
    {"Terminal", "Liberation Mono", 1.0},
};

const Face* findFace(const std::string& face) {
  for (const Face& f : kFaces) {
    if (strcasecmp(face.c_str(), f.face) == 0) return &f;
  }
  return nullptr;
}

struct Engine {
  std::mutex mutex;
  PangoFontMap* fontMap = nullptr;
  PangoContext* context = nullptr;
  std::map<std::string, TEXTMETRIC> metrics;
  std::map<std::string, double> emPerCell;  // by family: em height per pixel of cell height

  Engine() {
    fontMap = pango_cairo_font_map_new();
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(fontMap), 96.0);
    context = pango_font_map_create_context(fontMap);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
  }
};

// Made on first use and never destroyed: text may be measured while the process ends.
Engine& engine() {
  static Engine* instance = new Engine;
  return *instance;
}

std::string faceOf(const LOGFONT& font) {
  std::string face(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE));
  return face;
}

PangoFontDescription* describeAt(const LOGFONT& font, double emPixels) {
  PangoFontDescription* d = pango_font_description_new();
  pango_font_description_set_family(d, familyFor(faceOf(font)).c_str());
  int weight = font.lfWeight <= 0 ? 400 : std::min(std::max(static_cast<int>(font.lfWeight), 100), 1000);
  pango_font_description_set_weight(d, static_cast<PangoWeight>(weight));
  pango_font_description_set_style(d, font.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_font_description_set_absolute_size(d, emPixels * PANGO_SCALE);
  return d;
}

// Em height in pixels: a negative height is the em height, a positive one the cell height,
// 0 the default size. Engine mutex held.
double emPixelsLocked(Engine& e, const LOGFONT& font) {
  const Face* face = findFace(faceOf(font));
  double scale = face != nullptr ? face->scale : 1.0;
  if (font.lfHeight < 0) return std::max(1.0, std::round(-static_cast<double>(font.lfHeight) * scale));
  if (font.lfHeight == 0) return std::round(13.0 * scale);
  std::string family = familyFor(faceOf(font));
  auto it = e.emPerCell.find(family);
  if (it == e.emPerCell.end()) {
    PangoFontDescription* d = describeAt(font, 100.0);
    PangoFontMetrics* m = pango_context_get_metrics(e.context, d, nullptr);
    double cell =
        static_cast<double>(pango_font_metrics_get_ascent(m) + pango_font_metrics_get_descent(m)) / PANGO_SCALE;
    pango_font_metrics_unref(m);
    pango_font_description_free(d);
    it = e.emPerCell.emplace(family, cell > 0 ? 100.0 / cell : 1.0).first;
  }
  return std::max(1.0, std::round(font.lfHeight * it->second));
}

PangoFontDescription* describeLocked(Engine& e, const LOGFONT& font) {
  return describeAt(font, emPixelsLocked(e, font));
}

TEXTMETRIC metricsLocked(Engine& e, const LOGFONT& font) {
  std::string key = familyFor(faceOf(font)) + "/" + std::to_string(font.lfHeight) + "/" +
                    std::to_string(font.lfWeight) + "/" + std::to_string(font.lfItalic);
  auto it = e.metrics.find(key);
  if (it != e.metrics.end()) {
    TEXTMETRIC tm = it->second;
    if (font.lfWidth > 0) tm.tmAveCharWidth = font.lfWidth;
    return tm;
  }
  double em = emPixelsLocked(e, font);
  PangoFontDescription* d = describeAt(font, em);
  PangoFontMetrics* m = pango_context_get_metrics(e.context, d, nullptr);
  TEXTMETRIC tm{};
  tm.tmAscent = static_cast<LONG>(std::lround(static_cast<double>(pango_font_metrics_get_ascent(m)) / PANGO_SCALE));
  tm.tmDescent = static_cast<LONG>(std::lround(static_cast<double>(pango_font_metrics_get_descent(m)) / PANGO_SCALE));
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - static_cast<LONG>(std::lround(em)));
  tm.tmAveCharWidth = std::max<LONG>(
      1, static_cast<LONG>(
             std::lround(static_cast<double>(pango_font_metrics_get_approximate_char_width(m)) / PANGO_SCALE)));
  tm.tmMaxCharWidth = tm.tmAveCharWidth * 2;
  tm.tmWeight = font.lfWeight;
  pango_font_metrics_unref(m);
  pango_font_description_free(d);
  e.metrics.emplace(key, tm);
  if (font.lfWidth > 0) tm.tmAveCharWidth = font.lfWidth;
  return tm;
}

// The shown text of a text with mnemonics, and the byte offset of the underlined character
// (-1 for none).
std::string stripPrefix(const std::string& text, int& underline) {
  std::string out;
  underline = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != '&' && underline < 0) underline = static_cast<int>(out.size());
    }
    out += text[i];
  }
  return out;
}

PangoLayout* layoutLocked(Engine& e, const LOGFONT& font, const std::string& text, const TextFormat& format) {
  PangoLayout* layout = pango_layout_new(e.context);
  PangoFontDescription* d = describeLocked(e, font);
  pango_layout_set_font_description(layout, d);
  pango_font_description_free(d);
  int underline = -1;
  std::string shown = format.prefix ? stripPrefix(text, underline) : text;
  // Pango wants valid UTF-8; anything else is shown as it would be in Latin-1.
  if (!g_utf8_validate(shown.c_str(), static_cast<gssize>(shown.size()), nullptr)) {
    gchar* converted =
        g_convert(shown.c_str(), static_cast<gssize>(shown.size()), "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
    shown = converted != nullptr ? converted : "?";
    g_free(converted);
    underline = -1;
  }
  pango_layout_set_text(layout, shown.c_str(), static_cast<int>(shown.size()));
  PangoAttrList* attributes = pango_attr_list_new();
  auto add = [&](PangoAttribute* a, guint start, guint end) {
    a->start_index = start;
    a->end_index = end;
    pango_attr_list_insert(attributes, a);
  };
  if (font.lfUnderline) add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), 0, G_MAXUINT);
  if (font.lfStrikeOut) add(pango_attr_strikethrough_new(TRUE), 0, G_MAXUINT);
  if (underline >= 0) {
    const gchar* at = shown.c_str() + underline;
    add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), static_cast<guint>(underline),
        static_cast<guint>(g_utf8_next_char(at) - shown.c_str()));
  }
  pango_layout_set_attributes(layout, attributes);
  pango_attr_list_unref(attributes);
  if (format.width >= 0) {
    pango_layout_set_width(layout, format.width * PANGO_SCALE);
    if (format.ellipsis) {
      pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    } else {
      pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_alignment(layout, format.align == 1   ? PANGO_ALIGN_CENTER
                                       : format.align == 2 ? PANGO_ALIGN_RIGHT
                                                           : PANGO_ALIGN_LEFT);
  }
  return layout;
}

}  // namespace

std::string familyFor(const std::string& face) {
  if (const Face* f = findFace(face)) return std::string(f->family) + ",DejaVu Sans";
  return face + ",Liberation Sans,DejaVu Sans";
}

TEXTMETRIC fontMetrics(const LOGFONT& font) {
  Engine& e = engine();
  std::lock_guard<std::mutex> lock(e.mutex);
  return metricsLocked(e, font);
}

SIZE textExtent(const LOGFONT& font, const std::string& text) {
  Engine& e = engine();
  std::lock_guard<std::mutex> lock(e.mutex);
  TEXTMETRIC tm = metricsLocked(e, font);
  if (text.empty()) return SIZE{0, tm.tmHeight};
  PangoLayout* layout = layoutLocked(e, font, text, TextFormat());
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return SIZE{logical.width, tm.tmHeight};
}

SIZE layoutExtent(const LOGFONT& font, const std::string& text, const TextFormat& format) {
  Engine& e = engine();
  std::lock_guard<std::mutex> lock(e.mutex);
  TEXTMETRIC tm = metricsLocked(e, font);
  PangoLayout* layout = layoutLocked(e, font, text, format);
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  int lines = std::max(1, pango_layout_get_line_count(layout));
  g_object_unref(layout);
  return SIZE{logical.width, std::max(logical.height, lines * tm.tmHeight)};
}

void drawText(cairo_t* cr, const LOGFONT& font, const std::string& text, double x, double y, COLORREF color,
              const TextFormat& format) {
  if (text.empty()) return;
  Engine& e = engine();
  std::lock_guard<std::mutex> lock(e.mutex);
  TEXTMETRIC tm = metricsLocked(e, font);
  pango_cairo_update_context(cr, e.context);
  PangoLayout* layout = layoutLocked(e, font, text, format);
  double baseline = static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
  cairo_save(cr);
  cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
  cairo_move_to(cr, x, y + tm.tmAscent - std::round(baseline));
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  g_object_unref(layout);
}

int offsetAtX(const LOGFONT& font, const std::string& text, int x) {
  if (text.empty() || x <= 0) return 0;
  Engine& e = engine();
  std::lock_guard<std::mutex> lock(e.mutex);
  PangoLayout* layout = layoutLocked(e, font, text, TextFormat());
  int index = 0, trailing = 0;
  pango_layout_xy_to_index(layout, x * PANGO_SCALE, 0, &index, &trailing);
  const char* p = pango_layout_get_text(layout) + index;
  for (int i = 0; i < trailing && *p != '\0'; ++i) p = g_utf8_next_char(p);
  int offset = static_cast<int>(p - pango_layout_get_text(layout));
  g_object_unref(layout);
  return std::min(offset, static_cast<int>(text.size()));
}

}  // namespace detail
}  // namespace ui
