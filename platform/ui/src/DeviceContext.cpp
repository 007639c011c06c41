// Device contexts over pixel surfaces (a window's or a memory bitmap's): clipping, the window
// origin, fills and copies; text is recorded with its place, colour and font and drawn by the
// painter when a picture of the window is made.
#include "GdiObjects.h"
#include "Text.h"

#include <algorithm>

namespace ui {
namespace detail {

namespace {

RECT intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool isEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

bool contains(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

RECT surfaceRect(const DcState& dc) {
  return dc.surface ? RECT{0, 0, dc.surface->width, dc.surface->height} : RECT{0, 0, 0, 0};
}

RECT effectiveClip(const DcState& dc) {
  RECT r = intersect(surfaceRect(dc), dc.base);
  if (dc.hasClip) r = intersect(r, dc.clip);
  return r;
}

RECT toDevice(const DcState& dc, const RECT& logical) {
  return RECT{logical.left - dc.origin.x, logical.top - dc.origin.y, logical.right - dc.origin.x,
              logical.bottom - dc.origin.y};
}

void fillDevice(DcState& dc, const RECT& device, COLORREF color) {
  RECT r = intersect(device, effectiveClip(dc));
  if (isEmpty(r)) return;
  Surface& s = *dc.surface;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x)
      s.pixels[static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x)] = color;
  }
  // Text lying wholly under the filled area is painted over.
  s.texts.erase(std::remove_if(s.texts.begin(), s.texts.end(), [&](const TextRun& t) { return contains(r, t.bounds); }),
                s.texts.end());
}

LOGFONT currentFont(const DcState& dc) {
  if (dc.font != nullptr) {
    if (std::shared_ptr<GdiObject> f = lookup(dc.font, GdiKind::Font)) return f->font;
  }
  return defaultFont();
}

std::shared_ptr<GdiObject> newDc() {
  auto object = std::make_shared<GdiObject>();
  object->kind = GdiKind::DC;
  return object;
}

}  // namespace

HDC createWindowDC(HWND window, const std::shared_ptr<Surface>& surface, const RECT* clip) {
  std::shared_ptr<GdiObject> object = newDc();
  object->dc.window = window;
  object->dc.surface = surface;
  object->dc.base = clip != nullptr ? *clip : RECT{0, 0, surface->width, surface->height};
  return reinterpret_cast<HDC>(addObject(object));
}

}  // namespace detail
}  // namespace ui

using namespace ui;
using namespace ui::detail;

HDC CreateCompatibleDC(HDC) {
  std::shared_ptr<GdiObject> object = newDc();
  object->dc.memory = true;
  object->dc.defaultSurface = std::make_shared<Surface>();
  object->dc.defaultSurface->resize(1, 1);
  object->dc.surface = object->dc.defaultSurface;
  object->dc.base = RECT{0, 0, 1, 1};
  return reinterpret_cast<HDC>(addObject(object));
}

BOOL DeleteDC(HDC dc) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  auto it = gdiTable().objects.find(reinterpret_cast<uintptr_t>(dc));
  if (it == gdiTable().objects.end() || it->second->kind != GdiKind::DC) return FALSE;
  gdiTable().objects.erase(it);
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  std::shared_ptr<GdiObject> object = lookupAny(handle);
  if (!d || !object) return nullptr;
  DcState& state = d->dc;
  switch (object->kind) {
    case GdiKind::Font: {
      HGDIOBJ old = state.font != nullptr ? static_cast<HGDIOBJ>(state.font) : stockObject(SYSTEM_FONT);
      state.font = static_cast<HFONT>(handle);
      return old;
    }
    case GdiKind::Brush: {
      HGDIOBJ old = state.brush != nullptr ? static_cast<HGDIOBJ>(state.brush) : stockObject(WHITE_BRUSH);
      state.brush = static_cast<HBRUSH>(handle);
      return old;
    }
    case GdiKind::Bitmap: {
      if (!state.memory) return nullptr;
      HGDIOBJ old = state.bitmap;
      state.bitmap = static_cast<HBITMAP>(handle);
      state.surface = object->bitmap;
      state.base = RECT{0, 0, object->bitmap->width, object->bitmap->height};
      return old;
    }
    case GdiKind::Region:
      state.hasClip = true;
      state.clip = object->region;
      return reinterpret_cast<HGDIOBJ>(
          static_cast<uintptr_t>(isEmpty(effectiveClip(state)) ? NULLREGION : SIMPLEREGION));
    default:
      return nullptr;
  }
}

int SelectClipRgn(HDC dc, HRGN region) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d) return ERROR_REGION;
  if (region == nullptr) {
    d->dc.hasClip = false;
  } else {
    std::shared_ptr<GdiObject> r = lookup(region, GdiKind::Region);
    if (!r) return ERROR_REGION;
    d->dc.hasClip = true;
    d->dc.clip = r->region;
  }
  return isEmpty(effectiveClip(d->dc)) ? NULLREGION : SIMPLEREGION;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d) return ERROR_REGION;
  RECT device = toDevice(d->dc, RECT{left, top, right, bottom});
  d->dc.clip = intersect(d->dc.hasClip ? d->dc.clip : d->dc.base, device);
  d->dc.hasClip = true;
  return isEmpty(effectiveClip(d->dc)) ? NULLREGION : SIMPLEREGION;
}

int GetClipBox(HDC dc, LPRECT rect) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d || rect == nullptr) return ERROR_REGION;
  RECT clip = effectiveClip(d->dc);
  *rect = RECT{clip.left + d->dc.origin.x, clip.top + d->dc.origin.y, clip.right + d->dc.origin.x,
               clip.bottom + d->dc.origin.y};
  return isEmpty(clip) ? NULLREGION : SIMPLEREGION;
}

BOOL SetWindowOrgEx(HDC dc, int x, int y, LPPOINT old) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d) return FALSE;
  if (old != nullptr) *old = d->dc.origin;
  d->dc.origin = POINT{x, y};
  return TRUE;
}

BOOL GetWindowOrgEx(HDC dc, LPPOINT origin) {
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d || origin == nullptr) return FALSE;
  *origin = d->dc.origin;
  return TRUE;
}

namespace {
template <class T>
T exchangeDc(HDC dc, T DcAttributes::*field, T value, T failure) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d) return failure;
  T old = d->dc.*field;
  d->dc.*field = value;
  return old;
}
template <class T>
T readDc(HDC dc, T DcAttributes::*field, T failure) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  return d ? d->dc.*field : failure;
}
}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF color) { return exchangeDc(dc, &DcAttributes::text, color, CLR_INVALID); }
COLORREF GetTextColor(HDC dc) { return readDc(dc, &DcAttributes::text, CLR_INVALID); }
COLORREF SetBkColor(HDC dc, COLORREF color) { return exchangeDc(dc, &DcAttributes::back, color, CLR_INVALID); }
COLORREF GetBkColor(HDC dc) { return readDc(dc, &DcAttributes::back, CLR_INVALID); }
int SetBkMode(HDC dc, int mode) { return exchangeDc(dc, &DcAttributes::backMode, mode, 0); }
int GetBkMode(HDC dc) { return readDc(dc, &DcAttributes::backMode, 0); }
UINT SetTextAlign(HDC dc, UINT align) { return exchangeDc(dc, &DcAttributes::align, align, 0xFFFFFFFFu); }
UINT GetTextAlign(HDC dc) { return readDc(dc, &DcAttributes::align, 0xFFFFFFFFu); }

BOOL GetTextExtentPoint32(HDC dc, LPCSTR text, int length, LPSIZE size) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d || size == nullptr || (text == nullptr && length > 0)) return FALSE;
  *size = textExtent(currentFont(d->dc),
                     std::string(text != nullptr ? text : "", static_cast<size_t>(std::max(length, 0))));
  return TRUE;
}

BOOL GetTextMetrics(HDC dc, LPTEXTMETRIC metrics) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d || metrics == nullptr) return FALSE;
  *metrics = metricsOf(currentFont(d->dc));
  return TRUE;
}

BOOL TextOut(HDC dc, int x, int y, LPCSTR text, int length) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d || text == nullptr || length < 0) return FALSE;
  DcState& state = d->dc;
  LOGFONT font = currentFont(state);
  POINT anchor{x - state.origin.x, y - state.origin.y};
  RECT cell = textCell(font, std::string(text, static_cast<size_t>(length)), anchor, state.align);
  if (state.backMode == OPAQUE) fillDevice(state, cell, state.back);
  RECT shown = intersect(cell, effectiveClip(state));
  if (isEmpty(shown) || length == 0) return TRUE;
  TextRun run;
  run.text.assign(text, static_cast<size_t>(length));
  run.anchor = anchor;
  run.bounds = shown;
  run.align = state.align;
  run.color = state.text;
  run.font = font;
  state.surface->texts.push_back(run);
  return TRUE;
}

int FillRect(HDC dc, LPCRECT rect, HBRUSH brush) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  std::shared_ptr<GdiObject> b = lookup(brush, GdiKind::Brush);
  if (!d || !b || rect == nullptr) return 0;
  if (!b->nullBrush) fillDevice(d->dc, toDevice(d->dc, *rect), b->color);
  return 1;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dest, GdiKind::DC);
  std::shared_ptr<GdiObject> s = lookup(source, GdiKind::DC);
  if (!d || !s || rop != SRCCOPY) return FALSE;
  DcState& to = d->dc;
  DcState& from = s->dc;
  RECT target = toDevice(to, RECT{x, y, x + width, y + height});
  RECT origin = toDevice(from, RECT{sourceX, sourceY, sourceX + width, sourceY + height});
  RECT clipped = intersect(target, effectiveClip(to));
  if (isEmpty(clipped)) return TRUE;
  int dx = origin.left - target.left;
  int dy = origin.top - target.top;
  Surface& out = *to.surface;
  const Surface& in = *from.surface;
  std::vector<COLORREF> copy;  // the source may be the destination
  for (int row = clipped.top; row < clipped.bottom; ++row) {
    for (int col = clipped.left; col < clipped.right; ++col) {
      int sx = col + dx, sy = row + dy;
      bool inside = sx >= 0 && sy >= 0 && sx < in.width && sy < in.height;
      copy.push_back(inside
                         ? in.pixels[static_cast<size_t>(sy) * static_cast<size_t>(in.width) + static_cast<size_t>(sx)]
                         : CLR_INVALID);
    }
  }
  size_t i = 0;
  for (int row = clipped.top; row < clipped.bottom; ++row) {
    for (int col = clipped.left; col < clipped.right; ++col) {
      out.pixels[static_cast<size_t>(row) * static_cast<size_t>(out.width) + static_cast<size_t>(col)] = copy[i++];
    }
  }
  std::vector<TextRun> moved;
  for (const TextRun& t : in.texts) {
    if (t.anchor.x < origin.left || t.anchor.x >= origin.right || t.anchor.y < origin.top || t.anchor.y > origin.bottom)
      continue;
    TextRun m = t;
    m.anchor.x -= dx;
    m.anchor.y -= dy;
    m.bounds =
        intersect(RECT{t.bounds.left - dx, t.bounds.top - dy, t.bounds.right - dx, t.bounds.bottom - dy}, clipped);
    if (!isEmpty(m.bounds)) moved.push_back(m);
  }
  out.texts.erase(
      std::remove_if(out.texts.begin(), out.texts.end(), [&](const TextRun& t) { return contains(clipped, t.bounds); }),
      out.texts.end());
  out.texts.insert(out.texts.end(), moved.begin(), moved.end());
  return TRUE;
}

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case TECHNOLOGY:
      return DT_RASDISPLAY;
    case HORZRES:
      return 1024;
    case VERTRES:
      return 768;
    case BITSPIXEL:
      return 32;
    case PLANES:
      return 1;
    case RASTERCAPS:
      return RC_BITBLT;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    default:
      return 0;
  }
}

int SaveDC(HDC dc) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d) return 0;
  DcState& s = d->dc;
  s.saved.push_back(s);
  return static_cast<int>(s.saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d) return FALSE;
  DcState& s = d->dc;
  int level = saved < 0 ? static_cast<int>(s.saved.size()) + saved + 1 : saved;
  if (level < 1 || level > static_cast<int>(s.saved.size())) return FALSE;
  static_cast<DcAttributes&>(s) = s.saved[static_cast<size_t>(level - 1)];
  s.saved.resize(static_cast<size_t>(level - 1));
  return TRUE;
}
