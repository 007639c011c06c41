// Image lists: strips of equal images cut from bitmaps, with their masks, and the check-box
// images that lists and trees make for themselves.
#include "GdiObjects.h"

#include <algorithm>

namespace ui {
namespace detail {

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

}  // namespace detail

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
        COLORREF c =
            from.pixels[static_cast<size_t>(y) * static_cast<size_t>(from.width) + static_cast<size_t>(i * l->cx + x)];
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
