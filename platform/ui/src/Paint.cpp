// The painter: every control the stand-in knows, drawn with cairo (shapes) and Pango (text) in
// the classic look, from the state of the model. Sizes are the classic ones: 3-D edges of two
// pixels, 13-pixel check boxes, 12-pixel radio buttons, 16-pixel scroll bars, 18-pixel captions.
#include "Paint.h"

#include "Images.h"
#include "Look.h"
#include "Text.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>

namespace ui {
namespace detail {

namespace {

// --- Colours ----------------------------------------------------------------------------------
COLORREF face() { return GetSysColor(COLOR_BTNFACE); }
COLORREF shadow() { return GetSysColor(COLOR_BTNSHADOW); }
COLORREF highlight() { return GetSysColor(COLOR_BTNHIGHLIGHT); }
const COLORREF kDark = RGB(0, 0, 0);
const COLORREF kLight = RGB(223, 223, 223);
const COLORREF kCaptionEnd = RGB(16, 132, 208);
const COLORREF kInactiveCaption = RGB(128, 128, 128);
const COLORREF kInactiveCaptionEnd = RGB(192, 192, 192);
const COLORREF kGrid = RGB(192, 192, 192);

void color(cairo_t* cr, COLORREF c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void fill(cairo_t* cr, int x, int y, int w, int h, COLORREF c) {
  if (w <= 0 || h <= 0) return;
  color(cr, c);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
}

void fill(cairo_t* cr, const RECT& r, COLORREF c) { fill(cr, r.left, r.top, r.right - r.left, r.bottom - r.top, c); }

RECT deflate(const RECT& r, int n) { return RECT{r.left + n, r.top + n, r.right - n, r.bottom - n}; }

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

// One line of an edge: top and left in `tl`, bottom and right in `br`.
void bevel(cairo_t* cr, const RECT& r, COLORREF tl, COLORREF br) {
  fill(cr, r.left, r.top, width(r) - 1, 1, tl);
  fill(cr, r.left, r.top, 1, height(r) - 1, tl);
  fill(cr, r.left, r.bottom - 1, width(r), 1, br);
  fill(cr, r.right - 1, r.top, 1, height(r), br);
}

void raisedEdge(cairo_t* cr, const RECT& r) {
  bevel(cr, r, kLight, kDark);
  bevel(cr, deflate(r, 1), highlight(), shadow());
}

void sunkenEdge(cairo_t* cr, const RECT& r) {
  bevel(cr, r, shadow(), highlight());
  bevel(cr, deflate(r, 1), kDark, kLight);
}

void etchedEdge(cairo_t* cr, const RECT& r) {
  bevel(cr, r, shadow(), highlight());
  bevel(cr, deflate(r, 1), highlight(), shadow());
}

// A dotted rectangle, as focus rectangles are drawn.
void dottedRect(cairo_t* cr, const RECT& r, COLORREF c) {
  color(cr, c);
  for (int x = r.left; x < r.right; ++x) {
    if ((x + r.top) % 2 == 0) cairo_rectangle(cr, x, r.top, 1, 1);
    if ((x + r.bottom - 1) % 2 == 0) cairo_rectangle(cr, x, r.bottom - 1, 1, 1);
  }
  for (int y = r.top; y < r.bottom; ++y) {
    if ((r.left + y) % 2 == 0) cairo_rectangle(cr, r.left, y, 1, 1);
    if ((r.right - 1 + y) % 2 == 0) cairo_rectangle(cr, r.right - 1, y, 1, 1);
  }
  cairo_fill(cr);
}

// Pixel patterns of the small glyphs, one character per pixel.
void pattern(cairo_t* cr, int x, int y, const char* const* rows, int count, char which, COLORREF c) {
  color(cr, c);
  for (int j = 0; j < count; ++j) {
    for (int i = 0; rows[j][i] != '\0'; ++i) {
      if (rows[j][i] == which) cairo_rectangle(cr, x + i, y + j, 1, 1);
    }
  }
  cairo_fill(cr);
}

void drawImage(cairo_t* cr, const Image& image, int x, int y, bool greyed = false) {
  if (image.width <= 0 || image.height <= 0) return;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int j = 0; j < image.height; ++j) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + j * stride);
    for (int i = 0; i < image.width; ++i) {
      COLORREF c = image.at(i, j);
      if (c == CLR_INVALID) {
        row[i] = 0;
        continue;
      }
      uint32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
      if (greyed) r = g = b = (r + g + b) / 6 + 96;
      row[i] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  cairo_surface_mark_dirty(s);
  cairo_set_source_surface(cr, s, x, y);
  cairo_paint(cr);
  cairo_surface_destroy(s);
}

// A triangle pointing `direction` (0 up, 1 down, 2 left, 3 right), centred in `r`.
void arrow(cairo_t* cr, const RECT& r, int direction, COLORREF c, int size = 4) {
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  color(cr, c);
  for (int i = 0; i < size; ++i) {
    int half = (direction == 0 || direction == 2) ? i : size - 1 - i;
    if (direction <= 1) {
      cairo_rectangle(cr, cx - half, cy - size / 2 + i, 2 * half + 1, 1);
    } else {
      cairo_rectangle(cr, cx - size / 2 + i, cy - half, 1, 2 * half + 1);
    }
  }
  cairo_fill(cr);
}

LOGFONT fontOfWindow(const Window& w) { return windowFont(w); }

// Text in a colour; greyed text is drawn embossed, as disabled controls show it.
void text(cairo_t* cr, const LOGFONT& font, const std::string& s, int x, int y, COLORREF c, bool enabled,
          const TextFormat& format = TextFormat()) {
  if (!enabled) {
    drawText(cr, font, s, x + 1, y + 1, highlight(), format);
    c = GetSysColor(COLOR_GRAYTEXT);
  }
  drawText(cr, font, s, x, y, c, format);
}

void clipTo(cairo_t* cr, const RECT& r) {
  cairo_rectangle(cr, r.left, r.top, width(r), height(r));
  cairo_clip(cr);
}

// --- Check boxes, radio buttons, scroll bars ------------------------------------------------------
void checkBox(cairo_t* cr, int x, int y, int check, bool enabled) {
  RECT box{x, y, x + 13, y + 13};
  sunkenEdge(cr, box);
  fill(cr, deflate(box, 2), enabled && check != BST_INDETERMINATE ? GetSysColor(COLOR_WINDOW) : face());
  static const char* const kCheck[] = {"......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#...."};
  if (check != BST_UNCHECKED) {
    pattern(cr, x + 3, y + 3, kCheck, 7, '#', enabled && check == BST_CHECKED ? kDark : shadow());
  }
}

void radioButton(cairo_t* cr, int x, int y, bool checked, bool enabled) {
  static const char* const kRadio[] = {
      "....ssss....", "..ssddddss..", ".sddwwwwddh.", ".sdwwwwwwlh.", "sdwwwwwwwwlh", "sdwwwwwwwwlh",
      "sdwwwwwwwwlh", "sdwwwwwwwwlh", ".sdwwwwwwlh.", ".sllwwwwllh.", "..hhllllhh..", "....hhhh....",
  };
  pattern(cr, x, y, kRadio, 12, 's', shadow());
  pattern(cr, x, y, kRadio, 12, 'd', kDark);
  pattern(cr, x, y, kRadio, 12, 'l', kLight);
  pattern(cr, x, y, kRadio, 12, 'h', highlight());
  pattern(cr, x, y, kRadio, 12, 'w', enabled ? GetSysColor(COLOR_WINDOW) : face());
  if (checked) {
    static const char* const kDot[] = {".##.", "####", "####", ".##."};
    pattern(cr, x + 4, y + 4, kDot, 4, '#', enabled ? kDark : shadow());
  }
}

void buttonFace(cairo_t* cr, const RECT& r, bool pushed) {
  fill(cr, r, face());
  if (pushed) {
    bevel(cr, r, shadow(), shadow());
  } else {
    raisedEdge(cr, r);
  }
}

void scrollBar(cairo_t* cr, const ScrollBar& bar, bool enabled) {
  if (!bar.shown) return;
  bool active = enabled && bar.total > bar.page;
  // The track is dithered white over the face.
  fill(cr, bar.track, face());
  color(cr, highlight());
  for (int y = bar.track.top; y < bar.track.bottom; ++y) {
    for (int x = bar.track.left; x < bar.track.right; ++x) {
      if ((x + y) % 2 == 0) cairo_rectangle(cr, x, y, 1, 1);
    }
  }
  cairo_fill(cr);
  for (int i = 0; i < 2; ++i) {
    const RECT& r = i == 0 ? bar.less : bar.more;
    buttonFace(cr, r, false);
    int direction = bar.vertical ? (i == 0 ? 0 : 1) : (i == 0 ? 2 : 3);
    if (!active) arrow(cr, RECT{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1}, direction, highlight());
    arrow(cr, r, direction, active ? kDark : shadow());
  }
  if (active && width(bar.thumb) > 0) buttonFace(cr, bar.thumb, false);
}

// --- Controls ----------------------------------------------------------------------------------
struct Context {
  HWND focus = nullptr;
  std::vector<std::pair<HWND, POINT>> droppedCombos;  // with their places in the picture
};

bool enabledOf(const Window& w) { return (w.style & WS_DISABLED) == 0; }

void paintButton(cairo_t* cr, Window& w, const Context& ctx) {
  RECT r{0, 0, w.width(), w.height()};
  UINT type = w.style & BS_TYPEMASK;
  ButtonLook look = buttonLookOf(w);
  bool enabled = enabledOf(w);
  bool focused = ctx.focus == w.hwnd;
  LOGFONT font = fontOfWindow(w);
  TEXTMETRIC tm = fontMetrics(font);
  TextFormat format;
  format.prefix = true;
  if (type == BS_GROUPBOX) {
    SIZE size = layoutExtent(font, w.text, format);
    int top = w.text.empty() ? 0 : tm.tmHeight / 2;
    etchedEdge(cr, RECT{0, top, r.right, r.bottom});
    if (!w.text.empty()) {
      fill(cr, 6, 0, size.cx + 4, tm.tmHeight, face());
      text(cr, font, w.text, 8, 0, GetSysColor(COLOR_BTNTEXT), enabled, format);
    }
    return;
  }
  bool check = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
  bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
  if (check || radio) {
    int box = radio ? 12 : 13;
    int y = (r.bottom - box) / 2;
    if (check) {
      checkBox(cr, 0, y, look.check, enabled);
    } else {
      radioButton(cr, 0, y, look.check == BST_CHECKED, enabled);
    }
    format.width = std::max(1, r.right - box - 4);
    SIZE size = layoutExtent(font, w.text, format);
    int tx = box + 4, ty = (r.bottom - size.cy) / 2;
    text(cr, font, w.text, tx, ty, GetSysColor(COLOR_BTNTEXT), enabled, format);
    if (focused && !w.text.empty()) dottedRect(cr, RECT{tx - 1, ty - 1, tx + size.cx + 1, ty + size.cy + 1}, kDark);
    return;
  }
  // A push button; the default one (or the focused one) has a black frame around it.
  bool isDefault = type == BS_DEFPUSHBUTTON || focused;
  fill(cr, r, face());
  RECT inner = r;
  if (isDefault) {
    bevel(cr, r, kDark, kDark);
    inner = deflate(r, 1);
  }
  buttonFace(cr, inner, look.pushed);
  format.width = std::max(1, width(inner) - 6);
  format.align = 1;
  SIZE size = layoutExtent(font, w.text, format);
  int offset = look.pushed ? 1 : 0;
  int tx = inner.left + 3 + offset, ty = inner.top + (height(inner) - size.cy) / 2 + offset;
  cairo_save(cr);
  clipTo(cr, deflate(inner, 2));
  text(cr, font, w.text, tx, ty, GetSysColor(COLOR_BTNTEXT), enabled, format);
  cairo_restore(cr);
  if (focused) dottedRect(cr, deflate(inner, 3), kDark);
}

void paintStatic(cairo_t* cr, Window& w) {
  RECT r{0, 0, w.width(), w.height()};
  UINT type = w.style & SS_TYPEMASK;
  bool enabled = enabledOf(w);
  if (w.style & SS_SUNKEN) bevel(cr, r, shadow(), highlight());
  switch (type) {
    case SS_ETCHEDHORZ:
      fill(cr, 0, 0, r.right, 1, shadow());
      fill(cr, 0, 1, r.right, 1, highlight());
      return;
    case SS_ETCHEDVERT:
      fill(cr, 0, 0, 1, r.bottom, shadow());
      fill(cr, 1, 0, 1, r.bottom, highlight());
      return;
    case SS_ETCHEDFRAME:
      etchedEdge(cr, r);
      return;
    case SS_BLACKRECT:
      fill(cr, r, kDark);
      return;
    case SS_GRAYRECT:
      fill(cr, r, shadow());
      return;
    case SS_WHITERECT:
      fill(cr, r, highlight());
      return;
    case SS_BLACKFRAME:
      bevel(cr, r, kDark, kDark);
      return;
    case SS_GRAYFRAME:
      bevel(cr, r, shadow(), shadow());
      return;
    case SS_WHITEFRAME:
      bevel(cr, r, highlight(), highlight());
      return;
    case SS_ICON: {
      StockImage which;
      if (iconImage(staticIconOf(w), which)) drawImage(cr, stockImage(which), 0, 0);
      return;
    }
    default:
      break;
  }
  if (w.text.empty()) return;
  LOGFONT font = fontOfWindow(w);
  TextFormat format;
  format.prefix = (w.style & SS_NOPREFIX) == 0;
  format.width = std::max(1, r.right);
  format.align = type == SS_CENTER ? 1 : type == SS_RIGHT ? 2 : 0;
  format.ellipsis = type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP || (w.style & SS_ENDELLIPSIS) != 0;
  SIZE size = layoutExtent(font, w.text, format);
  int y = (w.style & SS_CENTERIMAGE) ? (r.bottom - size.cy) / 2 : 0;
  cairo_save(cr);
  clipTo(cr, r);
  text(cr, font, w.text, 0, y, GetSysColor(COLOR_BTNTEXT), enabled, format);
  cairo_restore(cr);
}

// Draws one line of editable text with its selection and caret in `inner`.
void editText(cairo_t* cr, Window& w, const RECT& inner, const std::string& shown, EditLook look, bool focused,
              bool enabled) {
  LOGFONT font = fontOfWindow(w);
  TEXTMETRIC tm = fontMetrics(font);
  int length = static_cast<int>(shown.size());
  int start = std::min(std::max(std::min(look.selStart, look.selEnd), 0), length);
  int end = std::min(std::max(std::max(look.selStart, look.selEnd), 0), length);
  int caret = std::min(std::max(look.selEnd, 0), length);
  auto xOf = [&](int offset) { return textExtent(font, shown.substr(0, static_cast<size_t>(offset))).cx; };
  int room = width(inner) - 4;
  int scroll = std::max(0, xOf(caret) - room);
  int x0 = inner.left + 2 - scroll;
  int y = inner.top + std::max(0, (height(inner) - tm.tmHeight) / 2);
  cairo_save(cr);
  clipTo(cr, inner);
  COLORREF ink = enabled ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT);
  drawText(cr, font, shown, x0, y, ink);
  if (focused && end > start) {
    RECT sel{x0 + xOf(start), y, x0 + xOf(end), y + tm.tmHeight};
    fill(cr, sel, GetSysColor(COLOR_HIGHLIGHT));
    cairo_save(cr);
    clipTo(cr, sel);
    drawText(cr, font, shown, x0, y, GetSysColor(COLOR_HIGHLIGHTTEXT));
    cairo_restore(cr);
  }
  if (focused) fill(cr, x0 + xOf(caret), y, 1, tm.tmHeight, kDark);
  cairo_restore(cr);
}

void paintEdit(cairo_t* cr, Window& w, const Context& ctx) {
  RECT r{0, 0, w.width(), w.height()};
  int edge = edgeOf(w);
  if (edge == 2) sunkenEdge(cr, r);
  if (edge == 1) bevel(cr, r, kDark, kDark);
  RECT inner = deflate(r, edge);
  bool enabled = enabledOf(w);
  fill(cr, inner, enabled && !(w.style & ES_READONLY) ? GetSysColor(COLOR_WINDOW) : face());
  std::string shown = (w.style & ES_PASSWORD) ? std::string(w.text.size(), '*') : w.text;
  editText(cr, w, inner, shown, editLookOf(w), ctx.focus == w.hwnd, enabled);
}

void paintCombo(cairo_t* cr, Window& w, const Context& ctx, POINT origin, Context& out) {
  RECT r{0, 0, w.width(), w.height()};
  sunkenEdge(cr, r);
  RECT inner = deflate(r, 2);
  bool enabled = enabledOf(w);
  bool focused = ctx.focus == w.hwnd;
  ComboLook look = comboLookOf(w);
  bool list = (w.style & 0x3u) == CBS_DROPDOWNLIST;
  fill(cr, inner, enabled ? GetSysColor(COLOR_WINDOW) : face());
  RECT button{inner.right - kScrollBarSize, inner.top, inner.right, inner.bottom};
  buttonFace(cr, button, look.state.dropped);
  arrow(cr, look.state.dropped ? RECT{button.left + 1, button.top + 1, button.right + 1, button.bottom + 1} : button, 1,
        enabled ? kDark : shadow());
  RECT field{inner.left, inner.top, button.left, inner.bottom};
  if (!list) {
    editText(cr, w, field, w.text, editLookOf(w), focused && !look.state.dropped, enabled);
  } else {
    LOGFONT font = fontOfWindow(w);
    TEXTMETRIC tm = fontMetrics(font);
    bool marked = focused && !look.state.dropped;
    RECT mark = deflate(field, 1);
    if (marked) fill(cr, mark, GetSysColor(COLOR_HIGHLIGHT));
    cairo_save(cr);
    clipTo(cr, field);
    TextFormat format;
    format.width = std::max(1, width(field) - 4);
    format.ellipsis = true;
    text(cr, font, w.text, field.left + 2, field.top + (height(field) - tm.tmHeight) / 2,
         marked ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT), enabled, format);
    cairo_restore(cr);
    if (marked) dottedRect(cr, mark, GetSysColor(COLOR_HIGHLIGHTTEXT));
  }
  if (look.state.dropped) out.droppedCombos.emplace_back(w.hwnd, origin);
}

// The dropped list of a combo box, over everything else.
void paintComboList(cairo_t* cr, Window& w, POINT origin) {
  ComboLook look = comboLookOf(w);
  RECT local = comboListRect(w);
  RECT r{origin.x + local.left, origin.y + local.top, origin.x + local.right, origin.y + local.bottom};
  fill(cr, r, GetSysColor(COLOR_WINDOW));
  bevel(cr, r, kDark, kDark);
  RECT inner = deflate(r, 1);
  int count = static_cast<int>(look.state.items.size());
  bool bar = count > kComboListRows;
  if (bar) {
    RECT rect{inner.right - kScrollBarSize, inner.top, inner.right, inner.bottom};
    scrollBar(cr, makeScrollBar(rect, true, look.top, kComboListRows, count), true);
    inner.right -= kScrollBarSize;
  }
  LOGFONT font = fontOfWindow(w);
  int rowHeight = comboItemHeight(w);
  cairo_save(cr);
  clipTo(cr, inner);
  for (int i = look.top; i < count && i < look.top + kComboListRows; ++i) {
    RECT row{inner.left, inner.top + (i - look.top) * rowHeight, inner.right,
             inner.top + (i - look.top + 1) * rowHeight};
    bool hot = i == look.hot;
    if (hot) fill(cr, row, GetSysColor(COLOR_HIGHLIGHT));
    drawText(cr, font, look.state.items[static_cast<size_t>(i)], row.left + 2, row.top + 1,
             hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT));
  }
  cairo_restore(cr);
}

void stateIcon(cairo_t* cr, HIMAGELIST list, UINT state, const RECT& r, bool enabled) {
  int index = static_cast<int>((state & 0xF000u) >> 12);
  if (index == 0 || list == nullptr || width(r) <= 0) return;
  if (isCheckBoxList(list)) {
    checkBox(cr, r.left + 1, r.top + (height(r) - 13) / 2, index == 2 ? BST_CHECKED : BST_UNCHECKED, enabled);
    return;
  }
  Image image;
  if (imageListImage(list, index - 1, image))
    drawImage(cr, image, r.left, r.top + (height(r) - image.height) / 2, !enabled);
}

void listImage(cairo_t* cr, HIMAGELIST list, int index, const RECT& r, bool enabled) {
  Image image;
  if (list != nullptr && width(r) > 0 && imageListImage(list, index, image)) {
    drawImage(cr, image, r.left, r.top + (height(r) - image.height) / 2, !enabled);
  }
}

// The frame and white face of a list or tree; leaves the origin (saved) inside the frame and
// returns the frame's width.
int panelFrame(cairo_t* cr, Window& w) {
  RECT r{0, 0, w.width(), w.height()};
  int edge = edgeOf(w);
  if (edge == 2) sunkenEdge(cr, r);
  if (edge == 1) bevel(cr, r, shadow(), highlight());
  fill(cr, deflate(r, edge), GetSysColor(COLOR_WINDOW));
  cairo_save(cr);
  cairo_translate(cr, edge, edge);
  return edge;
}

void paintList(cairo_t* cr, Window& w, const Context& ctx) {
  const int edge = panelFrame(cr, w);
  bool enabled = enabledOf(w);
  bool focused = ctx.focus == w.hwnd;
  ListLook look = listLookOf(w);
  LOGFONT font = fontOfWindow(w);
  TEXTMETRIC tm = fontMetrics(font);
  clipTo(cr, look.area);
  // Column edges.
  std::vector<int> lefts;
  int x = -look.scrollX;
  for (const ListColumnState& c : look.state.columns) {
    lefts.push_back(x);
    x += c.width;
  }
  int columnsEnd = x;
  int top = look.headerHeight;
  bool fullRow = (look.state.extendedStyle & LVS_EX_FULLROWSELECT) != 0;
  bool showAlways = (w.style & LVS_SHOWSELALWAYS) != 0;
  // A list with the focus and no focused row shows the focus on its first row, where the keys
  // start.
  bool noFocusedRow =
      std::none_of(look.state.items.begin(), look.state.items.end(), [](const ListItemState& i) { return i.focused; });
  if (look.state.extendedStyle & LVS_EX_GRIDLINES) {
    for (int y = top + look.rowHeight - 1; y < look.area.bottom; y += look.rowHeight) {
      fill(cr, 0, y, std::min(columnsEnd, static_cast<int>(look.area.right)), 1, kGrid);
    }
    for (size_t i = 0; i < lefts.size(); ++i) {
      fill(cr, lefts[i] + look.state.columns[i].width - 1, top, 1, look.area.bottom - top, kGrid);
    }
  }
  for (const ListRow& row : look.rows) {
    const ListItemState& item = look.state.items[static_cast<size_t>(row.item)];
    bool marked = item.selected && (focused || showAlways);
    COLORREF markColor = focused ? GetSysColor(COLOR_HIGHLIGHT) : face();
    COLORREF markText = focused ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT);
    RECT label = row.label;
    SIZE extent = textExtent(font, item.texts.empty() ? std::string() : item.texts[0]);
    RECT mark{row.icon.left, row.bounds.top,
              fullRow ? row.bounds.right : std::min(label.right, label.left + extent.cx + 4),
              row.bounds.bottom - ((look.state.extendedStyle & LVS_EX_GRIDLINES) ? 1 : 0)};
    if (marked) fill(cr, mark, markColor);
    stateIcon(cr, look.state.stateImages, item.state, row.state, enabled);
    listImage(cr, look.state.smallImages, item.image, row.icon, enabled);
    for (size_t c = 0; c < std::max<size_t>(1, look.state.columns.size()); ++c) {
      std::string s = c < item.texts.size() ? item.texts[c] : std::string();
      if (s.empty()) continue;
      RECT cell =
          c == 0 ? label : RECT{lefts[c], row.bounds.top, lefts[c] + look.state.columns[c].width, row.bounds.bottom};
      int pad = c == 0 ? 2 : 6;
      TextFormat format;
      format.width = std::max(1, width(cell) - pad * 2);
      format.ellipsis = true;
      if (c < look.state.columns.size()) {
        int fmt = look.state.columns[c].format & 3;
        format.align = fmt == LVCFMT_RIGHT ? 2 : fmt == LVCFMT_CENTER ? 1 : 0;
      }
      bool inMark = marked && (c == 0 || fullRow);
      cairo_save(cr);
      clipTo(cr, cell);
      drawText(cr, font, s, cell.left + pad, cell.top + (height(cell) - tm.tmHeight) / 2,
               inMark ? markText : (enabled ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT)), format);
      cairo_restore(cr);
    }
    if (focused && (item.focused || (noFocusedRow && row.item == 0))) {
      dottedRect(cr, mark, marked ? GetSysColor(COLOR_HIGHLIGHTTEXT) : kDark);
    }
  }
  if (look.header) {
    RECT head{0, 0, look.area.right, look.headerHeight};
    fill(cr, head, face());
    for (size_t i = 0; i < lefts.size(); ++i) {
      RECT cell{lefts[i], 0, lefts[i] + look.state.columns[i].width, look.headerHeight};
      bevel(cr, cell, highlight(), kDark);
      bevel(cr, RECT{cell.left, cell.top, cell.right - 1, cell.bottom - 1}, highlight(), shadow());
      TextFormat format;
      format.width = std::max(1, width(cell) - 12);
      format.ellipsis = true;
      cairo_save(cr);
      clipTo(cr, cell);
      drawText(cr, font, look.state.columns[i].text, cell.left + 6, (look.headerHeight - tm.tmHeight) / 2,
               GetSysColor(COLOR_BTNTEXT), format);
      cairo_restore(cr);
    }
    if (columnsEnd < look.area.right) {
      RECT rest{columnsEnd, 0, look.area.right, look.headerHeight};
      bevel(cr, rest, highlight(), kDark);
      bevel(cr, RECT{rest.left, rest.top, rest.right - 1, rest.bottom - 1}, highlight(), shadow());
    }
  }
  cairo_restore(cr);
  cairo_save(cr);
  cairo_translate(cr, edge, edge);
  scrollBar(cr, look.vbar, enabled);
  scrollBar(cr, look.hbar, enabled);
  if (look.vbar.shown && look.hbar.shown) {
    fill(cr, look.vbar.rect.left, look.hbar.rect.top, kScrollBarSize, kScrollBarSize, face());
  }
  cairo_restore(cr);
}

void dottedLine(cairo_t* cr, int x0, int y0, int x1, int y1, COLORREF c) {
  color(cr, c);
  if (x0 == x1) {
    for (int y = std::min(y0, y1); y < std::max(y0, y1); ++y) {
      if ((x0 + y) % 2 == 0) cairo_rectangle(cr, x0, y, 1, 1);
    }
  } else {
    for (int x = std::min(x0, x1); x < std::max(x0, x1); ++x) {
      if ((x + y0) % 2 == 0) cairo_rectangle(cr, x, y0, 1, 1);
    }
  }
  cairo_fill(cr);
}

void paintTree(cairo_t* cr, Window& w, const Context& ctx) {
  panelFrame(cr, w);
  bool enabled = enabledOf(w);
  bool focused = ctx.focus == w.hwnd;
  TreeLook look = treeLookOf(w);
  cairo_save(cr);
  clipTo(cr, look.area);
  LOGFONT font = fontOfWindow(w);
  TEXTMETRIC tm = fontMetrics(font);
  bool lines = (w.style & TVS_HASLINES) != 0;
  int rootShift = (w.style & TVS_LINESATROOT) ? 1 : 0;
  for (const TreeRow& row : look.rows) {
    int mid = row.row.top + look.rowHeight / 2;
    if (lines) {
      for (size_t level = 0; level < row.openLevels.size(); ++level) {
        if (!row.openLevels[level]) continue;
        int cx = (static_cast<int>(level) + rootShift) * look.indent - look.indent / 2 - 1;
        if (cx >= 0) dottedLine(cr, cx, row.row.top, cx, row.row.bottom, shadow());
      }
      int cx = (row.depth + rootShift) * look.indent - look.indent / 2 - 1;
      if (cx >= 0) {
        bool firstRoot = row.depth == 0 && row.handle == look.rows.front().handle && look.vbar.position == 0;
        dottedLine(cr, cx, firstRoot ? mid : row.row.top, cx, row.last ? mid + 1 : row.row.bottom, shadow());
        dottedLine(cr, cx, mid, row.stateIcon.left, mid, shadow());
      }
    }
    if (width(row.button) > 0) {
      int bx = (row.button.left + row.button.right) / 2 - 5, by = mid - 5;
      fill(cr, bx, by, 9, 9, GetSysColor(COLOR_WINDOW));
      bevel(cr, RECT{bx, by, bx + 9, by + 9}, shadow(), shadow());
      fill(cr, bx + 2, by + 4, 5, 1, kDark);
      if (!row.expanded) fill(cr, bx + 4, by + 2, 1, 5, kDark);
    }
    stateIcon(cr, look.stateImages, row.state, row.stateIcon, enabled);
    listImage(cr, look.normalImages, row.selected ? row.selectedImage : row.image, row.icon, enabled);
    bool marked = row.selected && (focused || (w.style & TVS_SHOWSELALWAYS));
    RECT label = row.label;
    if (marked) fill(cr, label, focused ? GetSysColor(COLOR_HIGHLIGHT) : face());
    COLORREF ink = marked && focused ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                     : (enabled ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT));
    drawText(cr, font, row.text, label.left + 2, label.top + (height(label) - tm.tmHeight) / 2, ink);
    if (focused && row.selected) dottedRect(cr, label, marked ? GetSysColor(COLOR_HIGHLIGHTTEXT) : kDark);
  }
  cairo_restore(cr);
  scrollBar(cr, look.vbar, enabled);
  cairo_restore(cr);
}

void paintTab(cairo_t* cr, Window& w, const Context& ctx) {
  RECT r{0, 0, w.width(), w.height()};
  TabLook look = tabLookOf(w);
  LOGFONT font = fontOfWindow(w);
  TEXTMETRIC tm = fontMetrics(font);
  bool enabled = enabledOf(w);
  int bodyTop = look.items.empty() ? 0 : look.items.front().bottom;
  RECT body{0, bodyTop, r.right, r.bottom};
  fill(cr, body, face());
  bevel(cr, body, highlight(), kDark);
  bevel(cr, deflate(body, 1), face(), shadow());
  for (size_t i = 0; i < look.items.size(); ++i) {
    bool selected = static_cast<int>(i) == look.state.selection;
    RECT t = look.items[i];
    if (selected) t = RECT{t.left - 2, t.top - 2, t.right + 2, t.bottom + 1};
    fill(cr, t, face());
    fill(cr, t.left, t.top + 2, 1, height(t) - 2, highlight());
    fill(cr, t.left + 2, t.top, width(t) - 4, 1, highlight());
    fill(cr, t.left + 1, t.top + 1, 1, 1, highlight());
    fill(cr, t.right - 2, t.top + 2, 1, height(t) - 2, shadow());
    fill(cr, t.right - 1, t.top + 2, 1, height(t) - 2, kDark);
    fill(cr, t.right - 2, t.top + 1, 1, 1, kDark);
    TextFormat format;
    format.width = width(t) - 6;
    format.align = 1;
    format.prefix = true;
    int ty = t.top + (height(t) - tm.tmHeight) / 2 + (selected ? 0 : 1);
    text(cr, font, look.state.items[i], t.left + 3, ty, GetSysColor(COLOR_BTNTEXT), enabled, format);
    if (selected && ctx.focus == w.hwnd) dottedRect(cr, deflate(t, 3), kDark);
  }
}

void paintProgress(cairo_t* cr, Window& w) {
  RECT r{0, 0, w.width(), w.height()};
  ProgressState p = progressStateOf(w);
  fill(cr, r, p.backColor == CLR_DEFAULT ? face() : p.backColor);
  bevel(cr, r, shadow(), highlight());
  RECT inner = deflate(r, 1);
  if (p.upper == p.lower) return;
  bool vertical = (w.style & PBS_VERTICAL) != 0;
  int length = vertical ? height(inner) - 2 : width(inner) - 2;
  int filled = static_cast<int>(static_cast<long long>(length) * (p.position - p.lower) / (p.upper - p.lower));
  COLORREF bar = p.barColor == CLR_DEFAULT ? GetSysColor(COLOR_HIGHLIGHT) : p.barColor;
  if (w.style & PBS_SMOOTH) {
    if (vertical) {
      fill(cr, inner.left + 1, inner.bottom - 1 - filled, width(inner) - 2, filled, bar);
    } else {
      fill(cr, inner.left + 1, inner.top + 1, filled, height(inner) - 2, bar);
    }
    return;
  }
  int block = std::max(2, ((vertical ? width(inner) : height(inner)) - 2) * 2 / 3);
  for (int at = 0; at < filled; at += block + 2) {
    int n = std::min(block, length - at);
    if (vertical) {
      fill(cr, inner.left + 1, inner.bottom - 1 - at - n, width(inner) - 2, n, bar);
    } else {
      fill(cr, inner.left + 1 + at, inner.top + 1, n, height(inner) - 2, bar);
    }
  }
}

// What the window's own paint code drew on its surface: its pixels and its texts.
void paintSurface(cairo_t* cr, Window& w) {
  if (!w.surface) return;
  const Surface& s = *w.surface;
  Image image;
  image.width = s.width;
  image.height = s.height;
  image.pixels = s.pixels;
  drawImage(cr, image, 0, 0);
  for (const TextRun& run : s.texts) {
    RECT cell = textCell(run.font, run.text, run.anchor, run.align);
    cairo_save(cr);
    clipTo(cr, run.bounds);
    drawText(cr, run.font, run.text, cell.left, cell.top, run.color);
    cairo_restore(cr);
  }
}

COLORREF classBackground(const Window& w) {
  switch (w.kind) {
    case WindowKind::Dialog:
    case WindowKind::Browser:
      return face();
    case WindowKind::Plain:
      return isSplitter(w) ? face() : w.background;
    default:
      return w.background;
  }
}

void paintSelf(cairo_t* cr, Window& w, const Context& ctx, POINT origin, Context& out) {
  if (w.selfPainted) {
    COLORREF background = classBackground(w);
    if (background != CLR_INVALID) fill(cr, 0, 0, w.width(), w.height(), background);
    paintSurface(cr, w);
    // The sunken frame of a progress bar is the control's own, drawn around what its paint code
    // drew: a bar that paints itself is still seen when it is empty.
    if (w.kind == WindowKind::Progress) bevel(cr, RECT{0, 0, w.width(), w.height()}, shadow(), highlight());
    return;
  }
  switch (w.kind) {
    case WindowKind::Button:
      paintButton(cr, w, ctx);
      return;
    case WindowKind::Static:
      paintStatic(cr, w);
      return;
    case WindowKind::Edit:
      paintEdit(cr, w, ctx);
      return;
    case WindowKind::ComboBox:
      paintCombo(cr, w, ctx, origin, out);
      return;
    case WindowKind::ListView:
      paintList(cr, w, ctx);
      return;
    case WindowKind::TreeView:
      paintTree(cr, w, ctx);
      return;
    case WindowKind::Tab:
      paintTab(cr, w, ctx);
      return;
    case WindowKind::Progress:
      paintProgress(cr, w);
      return;
    default: {
      COLORREF background = classBackground(w);
      if (background != CLR_INVALID) fill(cr, 0, 0, w.width(), w.height(), background);
      return;
    }
  }
}

// The window at `origin` (picture coordinates), then its visible children over it.
void paintBranch(cairo_t* cr, Window& w, POINT origin, Context& ctx) {
  cairo_save(cr);
  cairo_translate(cr, origin.x, origin.y);
  bool etched = w.kind == WindowKind::Static &&
                ((w.style & SS_TYPEMASK) == SS_ETCHEDHORZ || (w.style & SS_TYPEMASK) == SS_ETCHEDVERT);
  // An etched line two pixels wide shows whole even in a window one pixel wide.
  clipTo(cr, RECT{0, 0, w.width() + (etched ? 1 : 0), w.height() + (etched ? 1 : 0)});
  paintSelf(cr, w, ctx, origin, ctx);
  // Children are placed in picture coordinates, within this window's clip.
  cairo_translate(cr, -origin.x, -origin.y);
  for (HWND child : w.children) {
    std::shared_ptr<Window> c = findWindow(child);
    // Owned top-level windows are listed with the children; they are pictures of their own.
    if (!c || !c->isChild() || !(c->style & WS_VISIBLE)) continue;
    paintBranch(cr, *c, POINT{origin.x + c->rect.left, origin.y + c->rect.top}, ctx);
  }
  cairo_restore(cr);
}

// The caption bar and its close box, in the coordinates of the picture with the frame.
RECT captionBar(int totalWidth) { return RECT{3, 3, totalWidth - 3, 3 + 18}; }
RECT closeBox(const RECT& bar) { return RECT{bar.right - 18, bar.top + 2, bar.right - 2, bar.bottom - 2}; }

void paintFrame(cairo_t* cr, Window& w, const FrameMetrics& f, int totalWidth, int totalHeight) {
  RECT all{0, 0, totalWidth, totalHeight};
  fill(cr, all, face());
  raisedEdge(cr, all);
  if (!f.caption) return;
  bool active = w.queue->active == w.hwnd && enabledOf(w);
  RECT bar = captionBar(totalWidth);
  COLORREF from = active ? GetSysColor(COLOR_ACTIVECAPTION) : kInactiveCaption;
  COLORREF to = active ? kCaptionEnd : kInactiveCaptionEnd;
  cairo_pattern_t* gradient = cairo_pattern_create_linear(bar.left, 0, bar.right, 0);
  cairo_pattern_add_color_stop_rgb(gradient, 0, GetRValue(from) / 255.0, GetGValue(from) / 255.0,
                                   GetBValue(from) / 255.0);
  cairo_pattern_add_color_stop_rgb(gradient, 1, GetRValue(to) / 255.0, GetGValue(to) / 255.0, GetBValue(to) / 255.0);
  cairo_set_source(cr, gradient);
  cairo_rectangle(cr, bar.left, bar.top, width(bar), height(bar));
  cairo_fill(cr);
  cairo_pattern_destroy(gradient);
  LOGFONT font = defaultFont();
  std::strncpy(font.lfFaceName, "MS Sans Serif", LF_FACESIZE - 1);
  font.lfHeight = -11;
  font.lfWeight = FW_BOLD;
  TEXTMETRIC tm = fontMetrics(font);
  int buttons = (w.style & WS_SYSMENU) ? 18 : 0;
  TextFormat format;
  format.width = std::max(1, width(bar) - 6 - buttons);
  format.ellipsis = true;
  drawText(cr, font, w.text, bar.left + 3, bar.top + (height(bar) - tm.tmHeight) / 2,
           active ? GetSysColor(COLOR_CAPTIONTEXT) : face(), format);
  if (w.style & WS_SYSMENU) {
    RECT close = closeBox(bar);
    buttonFace(cr, close, false);
    static const char* const kCross[] = {"##....##", ".##..##.", "..####..", "...##...",
                                         "..####..", ".##..##.", "##....##"};
    pattern(cr, close.left + 4, close.top + 3, kCross, 7, '#', kDark);
  }
}

}  // namespace

FrameMetrics frameOf(const Window& w) {
  FrameMetrics f;
  if (w.isChild()) return f;
  bool caption = (w.style & WS_CAPTION) == WS_CAPTION;
  int border = (w.style & (DS_MODALFRAME | WS_DLGFRAME | WS_THICKFRAME)) || (w.exStyle & WS_EX_DLGMODALFRAME) || caption
                   ? 3
                   : ((w.style & WS_BORDER) ? 1 : 0);
  f.left = f.right = f.bottom = border;
  f.top = border + (caption ? 19 : 0);
  f.caption = caption;
  return f;
}

FramePart framePartAt(const Window& w, POINT client) {
  FrameMetrics f = frameOf(w);
  POINT p{client.x + f.left, client.y + f.top};
  int totalWidth = w.width() + f.left + f.right;
  if (!f.caption) return FramePart::None;
  RECT bar = captionBar(totalWidth);
  auto inside = [&](const RECT& r) { return p.x >= r.left && p.y >= r.top && p.x < r.right && p.y < r.bottom; };
  if (!inside(bar)) return FramePart::None;
  return (w.style & WS_SYSMENU) && inside(closeBox(bar)) ? FramePart::CloseBox : FramePart::Caption;
}

cairo_surface_t* paintDroppedList(Window& combo, RECT& where) {
  where = comboListRect(combo);
  cairo_surface_t* image =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, width(where)), std::max(1, height(where)));
  cairo_t* cr = cairo_create(image);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  paintComboList(cr, combo, POINT{-where.left, -where.top});
  cairo_destroy(cr);
  cairo_surface_flush(image);
  return image;
}

cairo_surface_t* paintWindow(Window& w, bool frame, POINT& client, std::vector<HWND>* dropped) {
  FrameMetrics f = frame ? frameOf(w) : FrameMetrics();
  int totalWidth = std::max(1, w.width() + f.left + f.right);
  int totalHeight = std::max(1, w.height() + f.top + f.bottom);
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, totalWidth, totalHeight);
  cairo_t* cr = cairo_create(image);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  fill(cr, 0, 0, totalWidth, totalHeight, face());
  if (f.left + f.top + f.right + f.bottom > 0) paintFrame(cr, w, f, totalWidth, totalHeight);
  client = POINT{f.left, f.top};
  Context ctx;
  ctx.focus = w.queue->focus;
  paintBranch(cr, w, client, ctx);
  for (const auto& list : ctx.droppedCombos) {
    if (dropped != nullptr) {
      dropped->push_back(list.first);
    } else if (std::shared_ptr<Window> combo = findWindow(list.first)) {
      paintComboList(cr, *combo, list.second);
    }
  }
  cairo_destroy(cr);
  cairo_surface_flush(image);
  return image;
}

}  // namespace detail
}  // namespace ui
