// Drawing objects: the table of GDI handles, fonts (measured with the real fonts), brushes,
// bitmaps and regions. Device contexts, image lists and the MFC drawing classes have files of
// their own.
#include "GdiObjects.h"
#include "Text.h"

#include <algorithm>
#include <cstring>

namespace ui {
namespace detail {

namespace {

LOGFONT systemFont() {
  LOGFONT lf{};
  lf.lfHeight = 16;
  lf.lfWeight = FW_BOLD;
  std::strncpy(lf.lfFaceName, "System", LF_FACESIZE - 1);
  return lf;
}

}  // namespace

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

HGDIOBJ stockObject(int index) {
  static auto* objects = new std::unordered_map<int, HGDIOBJ>;  // never destroyed
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  auto it = objects->find(index);
  if (it != objects->end()) return it->second;
  auto object = std::make_shared<GdiObject>();
  object->stock = true;
  switch (index) {
    case WHITE_BRUSH:
      object->kind = GdiKind::Brush;
      object->color = RGB(255, 255, 255);
      break;
    case LTGRAY_BRUSH:
      object->kind = GdiKind::Brush;
      object->color = RGB(192, 192, 192);
      break;
    case GRAY_BRUSH:
      object->kind = GdiKind::Brush;
      object->color = RGB(128, 128, 128);
      break;
    case BLACK_BRUSH:
      object->kind = GdiKind::Brush;
      object->color = RGB(0, 0, 0);
      break;
    case NULL_BRUSH:
      object->kind = GdiKind::Brush;
      object->nullBrush = true;
      break;
    case SYSTEM_FONT:
      object->kind = GdiKind::Font;
      object->font = systemFont();
      break;
    case DEFAULT_GUI_FONT:
      object->kind = GdiKind::Font;
      object->font = LOGFONT{};
      object->font.lfHeight = -11;
      object->font.lfWeight = FW_NORMAL;
      std::strncpy(object->font.lfFaceName, "MS Shell Dlg", LF_FACESIZE - 1);
      break;
    default:
      return nullptr;
  }
  HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(addObject(object));
  (*objects)[index] = handle;
  return handle;
}

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

void gdiAttach(HGDIOBJ handle, CGdiObject* object, CImageList* list) {
  std::lock_guard<std::recursive_mutex> lock(gdiTable().mutex);
  auto it = gdiTable().objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == gdiTable().objects.end()) return;
  if (object != nullptr || list == nullptr) it->second->attached = object;
  if (list != nullptr || object == nullptr) it->second->attachedList = list;
}

}  // namespace detail

FontState fontState(HFONT font) {
  FontState state;
  state.alive = detail::fontOf(font, state.logFont);
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

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                 DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                 DWORD pitchAndFamily, LPCSTR faceName) {
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
