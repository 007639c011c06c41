// Drawing: fonts, brushes, bitmaps, regions, image lists and device contexts over pixel
// surfaces; text is recorded with its place, colour and font (measured with the real fonts) and
// drawn by the painter when a picture of the window is made.
#include "Images.h"
#include "Internal.h"
#include "Text.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace ui {
namespace detail {

namespace {

enum class GdiKind { Font, Brush, Bitmap, Region, DC, ImageList };

struct DcSaved {
  HFONT font;
  HBRUSH brush;
  COLORREF text, back;
  int backMode;
  UINT align;
  POINT origin;
  bool hasClip;
  RECT clip;
};

struct DcState {
  HWND window = nullptr;
  std::shared_ptr<Surface> surface;
  bool memory = false;
  HBITMAP bitmap = nullptr;
  std::shared_ptr<Surface> defaultSurface;  // a memory DC's 1 x 1 bitmap
  HFONT font = nullptr;
  HBRUSH brush = nullptr;
  COLORREF text = RGB(0, 0, 0);
  COLORREF back = RGB(255, 255, 255);
  int backMode = OPAQUE;
  UINT align = TA_LEFT | TA_TOP;
  POINT origin{0, 0};
  RECT base{0, 0, 0, 0};  // device area the DC may draw on
  bool hasClip = false;
  RECT clip{0, 0, 0, 0};  // selected clip, device coordinates
  std::vector<DcSaved> saved;
};

struct GdiObject {
  GdiKind kind;
  bool stock = false;
  LOGFONT font{};
  COLORREF color = 0;
  bool nullBrush = false;
  std::shared_ptr<Surface> bitmap;
  int bitsPerPixel = 32;
  RECT region{0, 0, 0, 0};
  int cx = 0, cy = 0, count = 0, grow = 0;
  UINT flags = 0;
  COLORREF mask = CLR_NONE;
  std::vector<Image> images;  // the pictures of an image list (fewer than `count` when some have none)
  bool checkBoxes = false;    // the state images of lists and trees
  DcState dc;
  std::unique_ptr<CGdiObject> wrapper;
  std::unique_ptr<CImageList> listWrapper;
  CGdiObject* attached = nullptr;  // the program's own object holding the handle
  CImageList* attachedList = nullptr;
};

struct GdiTable {
  std::recursive_mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<GdiObject>> objects;
};
GdiTable& gdiTable() {
  static GdiTable* instance = new GdiTable;  // never destroyed: objects may be freed at exit
  return *instance;
}

uintptr_t addObject(const std::shared_ptr<GdiObject>& object) {
  uintptr_t value = newHandleValue();
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  gdiTable().objects[value] = object;
  return value;
}

std::shared_ptr<GdiObject> lookup(const void* handle, GdiKind kind) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  auto it = gdiTable().objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == gdiTable().objects.end() || it->second->kind != kind) return nullptr;
  return it->second;
}

std::shared_ptr<GdiObject> lookupAny(const void* handle) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  auto it = gdiTable().objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == gdiTable().objects.end() ? nullptr : it->second;
}

RECT intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool isEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

bool contains(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
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
    for (int x = r.left; x < r.right; ++x) s.pixels[static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x)] = color;
  }
  // Text lying wholly under the filled area is painted over.
  s.texts.erase(std::remove_if(s.texts.begin(), s.texts.end(), [&](const TextRun& t) { return contains(r, t.bounds); }),
                s.texts.end());
}

LOGFONT systemFont() {
  LOGFONT lf{};
  lf.lfHeight = 16;
  lf.lfWeight = FW_BOLD;
  std::strncpy(lf.lfFaceName, "System", LF_FACESIZE - 1);
  return lf;
}

LOGFONT currentFont(const DcState& dc) {
  if (dc.font != nullptr) {
    if (std::shared_ptr<GdiObject> f = lookup(dc.font, GdiKind::Font)) return f->font;
  }
  return systemFont();
}


HGDIOBJ stockObject(int index) {
  static auto* objects = new std::unordered_map<int, HGDIOBJ>;  // never destroyed
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  auto it = objects->find(index);
  if (it != objects->end()) return it->second;
  auto object = std::make_shared<GdiObject>();
  object->stock = true;
  switch (index) {
    case WHITE_BRUSH: object->kind = GdiKind::Brush; object->color = RGB(255, 255, 255); break;
    case LTGRAY_BRUSH: object->kind = GdiKind::Brush; object->color = RGB(192, 192, 192); break;
    case GRAY_BRUSH: object->kind = GdiKind::Brush; object->color = RGB(128, 128, 128); break;
    case BLACK_BRUSH: object->kind = GdiKind::Brush; object->color = RGB(0, 0, 0); break;
    case NULL_BRUSH: object->kind = GdiKind::Brush; object->nullBrush = true; break;
    case SYSTEM_FONT: object->kind = GdiKind::Font; object->font = systemFont(); break;
    case DEFAULT_GUI_FONT:
      object->kind = GdiKind::Font;
      object->font = LOGFONT{};
      object->font.lfHeight = -11;
      object->font.lfWeight = FW_NORMAL;
      std::strncpy(object->font.lfFaceName, "MS Shell Dlg", LF_FACESIZE - 1);
      break;
    default: return nullptr;
  }
  HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(addObject(object));
  (*objects)[index] = handle;
  return handle;
}

std::shared_ptr<GdiObject> newDc() {
  auto object = std::make_shared<GdiObject>();
  object->kind = GdiKind::DC;
  return object;
}

}  // namespace

LOGFONT defaultFont() { return systemFont(); }

LOGFONT windowFont(const Window& w) {
  LOGFONT font = systemFont();
  if (w.font != nullptr && fontOf(w.font, font)) return font;
  // The common controls draw with the icon title font when nobody set theirs.
  if (w.kind == WindowKind::ListView || w.kind == WindowKind::TreeView || w.kind == WindowKind::Tab) {
    fontOf(static_cast<HFONT>(stockObject(DEFAULT_GUI_FONT)), font);
  }
  return font;
}

TEXTMETRIC metricsOf(const LOGFONT& font) { return fontMetrics(font); }

RECT textCell(const LOGFONT& font, const std::string& text, POINT anchor, UINT align) {
  SIZE size = textExtent(font, text);
  int left = anchor.x;
  if ((align & TA_CENTER) == TA_CENTER) {
    left -= size.cx / 2;
  } else if (align & TA_RIGHT) {
    left -= size.cx;
  }
  int top = anchor.y;
  if ((align & TA_BASELINE) == TA_BASELINE) {
    top -= fontMetrics(font).tmAscent;
  } else if (align & TA_BOTTOM) {
    top -= size.cy;
  }
  return RECT{left, top, left + size.cx, top + size.cy};
}

bool fontOf(HFONT font, LOGFONT& out) {
  std::shared_ptr<GdiObject> f = lookup(font, GdiKind::Font);
  if (!f) return false;
  out = f->font;
  return true;
}

COLORREF brushColor(HBRUSH brush, bool& isNull) {
  std::shared_ptr<GdiObject> b = lookup(brush, GdiKind::Brush);
  isNull = !b || b->nullBrush;
  return b ? b->color : CLR_INVALID;
}

HFONT createDialogFont(const std::string& face, int pointSize) {
  LOGFONT lf{};
  lf.lfHeight = -((pointSize * 96 + 36) / 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::strncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

HDC createWindowDC(HWND window, const std::shared_ptr<Surface>& surface, const RECT* clip) {
  std::shared_ptr<GdiObject> object = newDc();
  object->dc.window = window;
  object->dc.surface = surface;
  object->dc.base = clip != nullptr ? *clip : RECT{0, 0, surface->width, surface->height};
  return reinterpret_cast<HDC>(addObject(object));
}

bool gdiAlive(HGDIOBJ object) { return lookupAny(object) != nullptr; }

std::shared_ptr<Surface> loadBitmapSurface(UINT id, int& bitsPerPixel) {
  HBITMAP bitmap = LoadBitmap(nullptr, MAKEINTRESOURCE(id));
  std::shared_ptr<GdiObject> b = lookup(bitmap, GdiKind::Bitmap);
  if (!b) return nullptr;
  bitsPerPixel = b->bitsPerPixel;
  std::shared_ptr<Surface> surface = b->bitmap;
  DeleteObject(bitmap);
  return surface;
}

CGdiObject* gdiWrapper(HGDIOBJ handle, const std::function<CGdiObject*()>& make) {
  if (handle == nullptr) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  auto it = gdiTable().objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == gdiTable().objects.end()) return nullptr;
  if (it->second->attached != nullptr) return it->second->attached;
  if (!it->second->wrapper) {
    it->second->wrapper.reset(make());
    it->second->wrapper->m_hObject = handle;
  }
  return it->second->wrapper.get();
}

CImageList* imageListWrapper(HIMAGELIST list) {
  if (list == nullptr) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  auto it = gdiTable().objects.find(reinterpret_cast<uintptr_t>(list));
  if (it == gdiTable().objects.end() || it->second->kind != GdiKind::ImageList) return nullptr;
  if (it->second->attachedList != nullptr) return it->second->attachedList;
  if (!it->second->listWrapper) {
    it->second->listWrapper.reset(new CImageList);
    it->second->listWrapper->m_hImageList = list;
  }
  return it->second->listWrapper.get();
}

void gdiAttach(HGDIOBJ handle, CGdiObject* object, CImageList* list) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  auto it = gdiTable().objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == gdiTable().objects.end()) return;
  if (object != nullptr || list == nullptr) it->second->attached = object;
  if (list != nullptr || object == nullptr) it->second->attachedList = list;
}

HIMAGELIST createStateImageList() {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR4 | ILC_MASK, 2, 0);
  if (std::shared_ptr<GdiObject> l = lookup(list, GdiKind::ImageList)) {
    l->count = 2;
    l->checkBoxes = true;
  }
  return list;
}

bool imageListImage(HIMAGELIST list, int index, Image& out) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> l = lookup(list, GdiKind::ImageList);
  if (!l || index < 0 || index >= static_cast<int>(l->images.size())) return false;
  out = l->images[static_cast<size_t>(index)];
  return true;
}

HIMAGELIST createStockImageList(const std::vector<StockImage>& images) {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR4 | ILC_MASK, static_cast<int>(images.size()), 0);
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  if (std::shared_ptr<GdiObject> l = lookup(list, GdiKind::ImageList)) {
    for (StockImage which : images) l->images.push_back(stockImage(which));
    l->count = static_cast<int>(images.size());
  }
  return list;
}

bool isCheckBoxList(HIMAGELIST list) {
  std::shared_ptr<GdiObject> l = lookup(list, GdiKind::ImageList);
  return l && l->checkBoxes;
}

LRESULT callEraseBkgnd(HDC dc, const std::function<BOOL(CDC*)>& handler) {
  CDC temporary;
  temporary.m_hDC = dc;
  temporary.m_hAttribDC = dc;
  BOOL result = handler(&temporary);
  temporary.m_hDC = nullptr;
  temporary.m_hAttribDC = nullptr;
  return result;
}

}  // namespace detail

FontState fontState(HFONT font) {
  FontState state;
  state.alive = detail::fontOf(font, state.logFont);
  return state;
}

ImageListState imageListState(HIMAGELIST list) {
  ImageListState state;
  std::shared_ptr<detail::GdiObject> l = detail::lookup(list, detail::GdiKind::ImageList);
  if (!l) return state;
  state.alive = true;
  state.cx = l->cx;
  state.cy = l->cy;
  state.flags = l->flags;
  state.count = l->count;
  state.mask = l->mask;
  return state;
}

}  // namespace ui

using namespace ui;
using namespace ui::detail;

HGDIOBJ GetStockObject(int index) { return stockObject(index); }

HFONT CreateFontIndirect(const LOGFONT* font) {
  if (font == nullptr) return nullptr;
  auto object = std::make_shared<GdiObject>();
  object->kind = GdiKind::Font;
  object->font = *font;
  object->font.lfFaceName[LF_FACESIZE - 1] = '\0';
  return reinterpret_cast<HFONT>(addObject(object));
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                 DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
  LOGFONT lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfUnderline = static_cast<BYTE>(underline);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName != nullptr) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto object = std::make_shared<GdiObject>();
  object->kind = GdiKind::Brush;
  object->color = color;
  return reinterpret_cast<HBRUSH>(addObject(object));
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width < 0 || height < 0) return nullptr;
  auto object = std::make_shared<GdiObject>();
  object->kind = GdiKind::Bitmap;
  object->bitmap = std::make_shared<Surface>();
  object->bitmap->resize(width, height);
  std::fill(object->bitmap->pixels.begin(), object->bitmap->pixels.end(), RGB(0, 0, 0));
  return reinterpret_cast<HBITMAP>(addObject(object));
}

HBITMAP LoadBitmap(HINSTANCE, LPCSTR name) {
  BitmapResource resource{};
  if (!IS_INTRESOURCE(name) || !findBitmap(static_cast<UINT>(reinterpret_cast<uintptr_t>(name)), resource)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  auto object = std::make_shared<GdiObject>();
  object->kind = GdiKind::Bitmap;
  object->bitsPerPixel = resource.bitsPerPixel;
  object->bitmap = std::make_shared<Surface>();
  object->bitmap->resize(resource.width, resource.height);
  if (resource.pixels && resource.pixels->size() == object->bitmap->pixels.size()) {
    object->bitmap->pixels = *resource.pixels;
  } else {
    std::fill(object->bitmap->pixels.begin(), object->bitmap->pixels.end(), RGB(192, 192, 192));
  }
  return reinterpret_cast<HBITMAP>(addObject(object));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  auto object = std::make_shared<GdiObject>();
  object->kind = GdiKind::Region;
  object->region = RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  return reinterpret_cast<HRGN>(addObject(object));
}

HRGN CreateRectRgnIndirect(LPCRECT rect) {
  return rect != nullptr ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

BOOL DeleteObject(HGDIOBJ handle) {
  std::unique_ptr<CGdiObject> wrapper;
  std::unique_ptr<CImageList> listWrapper;
  {
    std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
    auto it = gdiTable().objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == gdiTable().objects.end() || it->second->kind == GdiKind::DC) return FALSE;
    if (it->second->stock) return TRUE;
    wrapper = std::move(it->second->wrapper);
    listWrapper = std::move(it->second->listWrapper);
    // An object of the program that still holds the handle lets go of it.
    if (it->second->attached != nullptr) it->second->attached->m_hObject = nullptr;
    if (it->second->attachedList != nullptr) it->second->attachedList->m_hImageList = nullptr;
    gdiTable().objects.erase(it);
  }
  if (wrapper) wrapper->m_hObject = nullptr;
  if (listWrapper) listWrapper->m_hImageList = nullptr;
  return TRUE;
}

int GetObject(HGDIOBJ handle, int size, LPVOID buffer) {
  std::shared_ptr<GdiObject> object = lookupAny(handle);
  if (!object || buffer == nullptr) return 0;
  if (object->kind == GdiKind::Font && size >= static_cast<int>(sizeof(LOGFONT))) {
    std::memcpy(buffer, &object->font, sizeof(LOGFONT));
    return sizeof(LOGFONT);
  }
  if (object->kind == GdiKind::Bitmap && size >= static_cast<int>(sizeof(BITMAP))) {
    BITMAP info{};
    info.bmWidth = object->bitmap->width;
    info.bmHeight = object->bitmap->height;
    info.bmWidthBytes = ((object->bitmap->width * object->bitsPerPixel + 15) / 16) * 2;
    info.bmPlanes = 1;
    info.bmBitsPixel = static_cast<WORD>(object->bitsPerPixel);
    std::memcpy(buffer, &info, sizeof info);
    return sizeof info;
  }
  return 0;
}

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
      return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(isEmpty(effectiveClip(state)) ? NULLREGION : SIMPLEREGION));
    default: return nullptr;
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
T exchangeDc(HDC dc, T DcState::*field, T value, T failure) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d) return failure;
  T old = d->dc.*field;
  d->dc.*field = value;
  return old;
}
template <class T>
T readDc(HDC dc, T DcState::*field, T failure) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  return d ? d->dc.*field : failure;
}
}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF color) { return exchangeDc(dc, &DcState::text, color, CLR_INVALID); }
COLORREF GetTextColor(HDC dc) { return readDc(dc, &DcState::text, CLR_INVALID); }
COLORREF SetBkColor(HDC dc, COLORREF color) { return exchangeDc(dc, &DcState::back, color, CLR_INVALID); }
COLORREF GetBkColor(HDC dc) { return readDc(dc, &DcState::back, CLR_INVALID); }
int SetBkMode(HDC dc, int mode) { return exchangeDc(dc, &DcState::backMode, mode, 0); }
int GetBkMode(HDC dc) { return readDc(dc, &DcState::backMode, 0); }
UINT SetTextAlign(HDC dc, UINT align) { return exchangeDc(dc, &DcState::align, align, 0xFFFFFFFFu); }
UINT GetTextAlign(HDC dc) { return readDc(dc, &DcState::align, 0xFFFFFFFFu); }

BOOL GetTextExtentPoint32(HDC dc, LPCSTR text, int length, LPSIZE size) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d || size == nullptr || (text == nullptr && length > 0)) return FALSE;
  *size = textExtent(currentFont(d->dc), std::string(text != nullptr ? text : "", static_cast<size_t>(std::max(length, 0))));
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
      copy.push_back(inside ? in.pixels[static_cast<size_t>(sy) * static_cast<size_t>(in.width) + static_cast<size_t>(sx)] : CLR_INVALID);
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
    if (t.anchor.x < origin.left || t.anchor.x >= origin.right || t.anchor.y < origin.top || t.anchor.y > origin.bottom) continue;
    TextRun m = t;
    m.anchor.x -= dx;
    m.anchor.y -= dy;
    m.bounds = intersect(RECT{t.bounds.left - dx, t.bounds.top - dy, t.bounds.right - dx, t.bounds.bottom - dy}, clipped);
    if (!isEmpty(m.bounds)) moved.push_back(m);
  }
  out.texts.erase(std::remove_if(out.texts.begin(), out.texts.end(), [&](const TextRun& t) { return contains(clipped, t.bounds); }),
                  out.texts.end());
  out.texts.insert(out.texts.end(), moved.begin(), moved.end());
  return TRUE;
}

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZRES: return 1024;
    case VERTRES: return 768;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case RASTERCAPS: return RC_BITBLT;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
  }
}

int SaveDC(HDC dc) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d) return 0;
  DcState& s = d->dc;
  s.saved.push_back(DcSaved{s.font, s.brush, s.text, s.back, s.backMode, s.align, s.origin, s.hasClip, s.clip});
  return static_cast<int>(s.saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> d = lookup(dc, GdiKind::DC);
  if (!d) return FALSE;
  DcState& s = d->dc;
  int level = saved < 0 ? static_cast<int>(s.saved.size()) + saved + 1 : saved;
  if (level < 1 || level > static_cast<int>(s.saved.size())) return FALSE;
  const DcSaved& v = s.saved[static_cast<size_t>(level - 1)];
  s.font = v.font;
  s.brush = v.brush;
  s.text = v.text;
  s.back = v.back;
  s.backMode = v.backMode;
  s.align = v.align;
  s.origin = v.origin;
  s.hasClip = v.hasClip;
  s.clip = v.clip;
  s.saved.resize(static_cast<size_t>(level - 1));
  return TRUE;
}

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int grow) {
  if (cx <= 0 || cy <= 0) return nullptr;
  auto object = std::make_shared<GdiObject>();
  object->kind = GdiKind::ImageList;
  object->cx = cx;
  object->cy = cy;
  object->flags = flags;
  object->grow = grow;
  return reinterpret_cast<HIMAGELIST>(addObject(object));
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  std::shared_ptr<GdiObject> l = lookup(list, GdiKind::ImageList);
  std::shared_ptr<GdiObject> b = lookup(bitmap, GdiKind::Bitmap);
  if (!l || !b || b->bitmap->width < l->cx) return -1;
  int first = l->count;
  int added = b->bitmap->width / l->cx;
  // Images before these that carry no pictures (the state list's) keep their places.
  l->images.resize(static_cast<size_t>(first));
  const Surface& from = *b->bitmap;
  for (int i = 0; i < added; ++i) {
    Image image;
    image.width = l->cx;
    image.height = l->cy;
    image.pixels.assign(static_cast<size_t>(l->cx) * static_cast<size_t>(l->cy), CLR_INVALID);
    for (int y = 0; y < std::min(l->cy, from.height); ++y) {
      for (int x = 0; x < l->cx; ++x) {
        COLORREF c = from.pixels[static_cast<size_t>(y) * static_cast<size_t>(from.width) + static_cast<size_t>(i * l->cx + x)];
        if ((l->flags & ILC_MASK) && c == mask) c = CLR_INVALID;
        image.pixels[static_cast<size_t>(y) * static_cast<size_t>(l->cx) + static_cast<size_t>(x)] = c;
      }
    }
    l->images.push_back(std::move(image));
  }
  l->count += added;
  l->mask = mask;
  return first;
}

int ImageList_GetImageCount(HIMAGELIST list) {
  std::shared_ptr<GdiObject> l = lookup(list, GdiKind::ImageList);
  return l ? l->count : 0;
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  if (!lookup(list, GdiKind::ImageList)) return FALSE;
  return DeleteObject(list);
}

// --- MFC drawing classes ------------------------------------------------------------------------
CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::Attach(HGDIOBJ object) {
  if (m_hObject != nullptr || object == nullptr) return FALSE;
  m_hObject = object;
  gdiAttach(object, this, nullptr);
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ object = m_hObject;
  if (object != nullptr) gdiAttach(object, nullptr, nullptr);
  m_hObject = nullptr;
  return object;
}

BOOL CGdiObject::DeleteObject() {
  if (m_hObject == nullptr) return FALSE;
  return ::DeleteObject(Detach());
}

CFont* CFont::FromHandle(HFONT font) {
  return static_cast<CFont*>(gdiWrapper(font, [] { return new CFont; }));
}

BOOL CFont::CreateFontIndirect(const LOGFONT* logFont) { return Attach(::CreateFontIndirect(logFont)); }

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, LPCTSTR faceName) {
  return Attach(::CreateFont(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                             outPrecision, clipPrecision, quality, pitchAndFamily, faceName));
}

int CFont::GetLogFont(LOGFONT* logFont) const { return ::GetObject(m_hObject, sizeof(LOGFONT), logFont); }

CBrush* CBrush::FromHandle(HBRUSH brush) {
  return static_cast<CBrush*>(gdiWrapper(brush, [] { return new CBrush; }));
}

BOOL CBrush::CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }

CBitmap* CBitmap::FromHandle(HBITMAP bitmap) {
  return static_cast<CBitmap*>(gdiWrapper(bitmap, [] { return new CBitmap; }));
}

BOOL CBitmap::LoadBitmap(UINT id) { return Attach(::LoadBitmap(AfxGetResourceHandle(), MAKEINTRESOURCE(id))); }

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc != nullptr ? dc->m_hDC : nullptr, width, height));
}

int CBitmap::GetBitmap(BITMAP* info) const { return ::GetObject(m_hObject, sizeof(BITMAP), info); }

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom) {
  return Attach(::CreateRectRgn(left, top, right, bottom));
}

BOOL CRgn::CreateRectRgnIndirect(LPCRECT rect) { return Attach(::CreateRectRgnIndirect(rect)); }

CDC::~CDC() {
  if (m_hDC != nullptr && m_bOwnsDC) ::DeleteDC(m_hDC);
}

BOOL CDC::Attach(HDC dc) {
  if (m_hDC != nullptr || dc == nullptr) return FALSE;
  m_hDC = m_hAttribDC = dc;
  m_bOwnsDC = FALSE;
  return TRUE;
}

HDC CDC::Detach() {
  HDC dc = m_hDC;
  m_hDC = m_hAttribDC = nullptr;
  m_bOwnsDC = FALSE;
  return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
  HDC created = ::CreateCompatibleDC(dc != nullptr ? dc->m_hDC : nullptr);
  if (created == nullptr) return FALSE;
  m_hDC = m_hAttribDC = created;
  m_bOwnsDC = TRUE;
  return TRUE;
}

BOOL CDC::DeleteDC() {
  if (m_hDC == nullptr) return FALSE;
  return ::DeleteDC(Detach());
}

CFont* CDC::SelectObject(CFont* font) {
  return CFont::FromHandle(static_cast<HFONT>(::SelectObject(m_hDC, font != nullptr ? font->m_hObject : nullptr)));
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  return CBitmap::FromHandle(static_cast<HBITMAP>(::SelectObject(m_hDC, bitmap != nullptr ? bitmap->m_hObject : nullptr)));
}

CBrush* CDC::SelectObject(CBrush* brush) {
  return CBrush::FromHandle(static_cast<HBRUSH>(::SelectObject(m_hDC, brush != nullptr ? brush->m_hObject : nullptr)));
}

int CDC::SelectClipRgn(CRgn* region) {
  return ::SelectClipRgn(m_hDC, region != nullptr ? static_cast<HRGN>(region->m_hObject) : nullptr);
}

int CDC::IntersectClipRect(int left, int top, int right, int bottom) {
  return ::IntersectClipRect(m_hDC, left, top, right, bottom);
}

int CDC::IntersectClipRect(LPCRECT rect) { return ::IntersectClipRect(m_hDC, rect->left, rect->top, rect->right, rect->bottom); }

int CDC::GetClipBox(LPRECT rect) const { return ::GetClipBox(m_hDC, rect); }

CPoint CDC::SetWindowOrg(int x, int y) {
  POINT old{0, 0};
  ::SetWindowOrgEx(m_hDC, x, y, &old);
  return CPoint(old);
}

CPoint CDC::GetWindowOrg() const {
  POINT origin{0, 0};
  ::GetWindowOrgEx(m_hDC, &origin);
  return CPoint(origin);
}

COLORREF CDC::SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
COLORREF CDC::GetTextColor() const { return ::GetTextColor(m_hDC); }
COLORREF CDC::SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
COLORREF CDC::GetBkColor() const { return ::GetBkColor(m_hDC); }
int CDC::SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
int CDC::GetBkMode() const { return ::GetBkMode(m_hDC); }
UINT CDC::SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }
UINT CDC::GetTextAlign() const { return ::GetTextAlign(m_hDC); }
BOOL CDC::TextOut(int x, int y, LPCTSTR text, int length) { return ::TextOut(m_hDC, x, y, text, length); }

CSize CDC::GetTextExtent(LPCTSTR text, int length) const {
  SIZE size{0, 0};
  ::GetTextExtentPoint32(m_hDC, text, length, &size);
  return CSize(size);
}

BOOL CDC::GetTextMetrics(LPTEXTMETRIC metrics) const { return ::GetTextMetrics(m_hDC, metrics); }

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
  ::SetBkColor(m_hDC, color);
  HBRUSH brush = ::CreateSolidBrush(color);
  ::FillRect(m_hDC, rect, brush);
  ::DeleteObject(brush);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  RECT rect{x, y, x + cx, y + cy};
  FillSolidRect(&rect, color);
}

void CDC::FillRect(LPCRECT rect, CBrush* brush) {
  if (brush != nullptr) ::FillRect(m_hDC, rect, static_cast<HBRUSH>(brush->m_hObject));
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int sourceX, int sourceY, DWORD rop) {
  return ::BitBlt(m_hDC, x, y, width, height, source != nullptr ? source->m_hDC : nullptr, sourceX, sourceY, rop);
}

int CDC::GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
int CDC::SaveDC() { return ::SaveDC(m_hDC); }
BOOL CDC::RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }

CPaintDC::CPaintDC(CWnd* window) : m_ps(), m_hWnd(window->m_hWnd) {
  m_hDC = m_hAttribDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() {
  ::EndPaint(m_hWnd, &m_ps);
  m_hDC = m_hAttribDC = nullptr;
}

CClientDC::CClientDC(CWnd* window) : m_hWnd(window->m_hWnd) { m_hDC = m_hAttribDC = ::GetDC(m_hWnd); }

CClientDC::~CClientDC() {
  ::ReleaseDC(m_hWnd, m_hDC);
  m_hDC = m_hAttribDC = nullptr;
}

CImageList::~CImageList() { DeleteImageList(); }

CImageList* CImageList::FromHandle(HIMAGELIST list) { return imageListWrapper(list); }

BOOL CImageList::Create(UINT bitmapId, int cx, int grow, COLORREF mask) {
  CBitmap bitmap;
  if (!bitmap.LoadBitmap(bitmapId)) return FALSE;
  BITMAP info{};
  bitmap.GetBitmap(&info);
  if (!Create(cx, info.bmHeight, ILC_COLOR4 | ILC_MASK, 0, grow)) return FALSE;
  return Add(&bitmap, mask) >= 0;
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
  if (m_hImageList != nullptr) return FALSE;
  m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
  if (m_hImageList != nullptr) gdiAttach(m_hImageList, nullptr, this);
  return m_hImageList != nullptr;
}

int CImageList::Add(CBitmap* bitmap, COLORREF mask) {
  return bitmap != nullptr ? ImageList_AddMasked(m_hImageList, static_cast<HBITMAP>(bitmap->m_hObject), mask) : -1;
}

int CImageList::GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }

BOOL CImageList::DeleteImageList() {
  if (m_hImageList == nullptr) return FALSE;
  HIMAGELIST list = Detach();
  return ImageList_Destroy(list);
}

HIMAGELIST CImageList::Detach() {
  HIMAGELIST list = m_hImageList;
  if (list != nullptr) gdiAttach(list, nullptr, nullptr);
  m_hImageList = nullptr;
  return list;
}
