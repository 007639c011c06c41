// The table of drawing objects behind the GDI handles (fonts, brushes, bitmaps, regions, device
// contexts, image lists), shared by the files that implement them: Gdi.cpp (the objects),
// DeviceContext.cpp, ImageLists.cpp and MfcDrawing.cpp.
#pragma once

#include "Images.h"
#include "Internal.h"

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace ui {
namespace detail {

enum class GdiKind { Font, Brush, Bitmap, Region, DC, ImageList };

// What SaveDC keeps and RestoreDC puts back: the selections and settings drawing uses.
struct DcAttributes {
  HFONT font = nullptr;
  HBRUSH brush = nullptr;
  COLORREF text = RGB(0, 0, 0);
  COLORREF back = RGB(255, 255, 255);
  int backMode = OPAQUE;
  UINT align = TA_LEFT | TA_TOP;
  POINT origin{0, 0};
  bool hasClip = false;
  RECT clip{0, 0, 0, 0};  // selected clip, device coordinates
};

struct DcState : DcAttributes {
  HWND window = nullptr;
  std::shared_ptr<Surface> surface;
  bool memory = false;
  HBITMAP bitmap = nullptr;
  std::shared_ptr<Surface> defaultSurface;  // a memory DC's 1 x 1 bitmap
  RECT base{0, 0, 0, 0};                    // device area the DC may draw on
  std::vector<DcAttributes> saved;
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
GdiTable& gdiTable();

// A new handle for the object.
uintptr_t addObject(const std::shared_ptr<GdiObject>& object);
// The object of a handle, of that kind (or of any); null for a stale or foreign handle.
std::shared_ptr<GdiObject> lookup(const void* handle, GdiKind kind);
std::shared_ptr<GdiObject> lookupAny(const void* handle);
// The object of GetStockObject, made on first use and never deleted; null for an unknown index.
HGDIOBJ stockObject(int index);

}  // namespace detail
}  // namespace ui
