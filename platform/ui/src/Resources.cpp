// Resources: the dialog templates, bitmaps and strings the program registers, found by id.
#include "Images.h"
#include "Internal.h"

#include <map>

namespace ui {
namespace detail {

namespace {

struct ResourceState {
  std::mutex mutex;
  std::map<UINT, DialogTemplate> dialogs;
  std::map<UINT, BitmapResource> bitmaps;
  std::map<UINT, std::string> strings;
};

ResourceState& resources() {
  static ResourceState* state = new ResourceState;  // outlives every window and thread
  return *state;
}

}  // namespace

const DialogTemplate* findDialogTemplate(UINT id) {
  std::lock_guard<std::mutex> lock(resources().mutex);
  auto it = resources().dialogs.find(id);
  return it == resources().dialogs.end() ? nullptr : &it->second;
}

const std::string* findString(UINT id) {
  std::lock_guard<std::mutex> lock(resources().mutex);
  auto it = resources().strings.find(id);
  return it == resources().strings.end() ? nullptr : &it->second;
}

bool findBitmap(UINT id, BitmapResource& out) {
  std::lock_guard<std::mutex> lock(resources().mutex);
  auto it = resources().bitmaps.find(id);
  if (it == resources().bitmaps.end()) return false;
  out = it->second;
  return true;
}

}  // namespace detail

using namespace detail;

void registerDialog(UINT id, DialogTemplate dialog) {
  std::lock_guard<std::mutex> lock(resources().mutex);
  resources().dialogs[id] = std::move(dialog);
}

void registerBitmap(UINT id, int width, int height, int bitsPerPixel) {
  std::lock_guard<std::mutex> lock(resources().mutex);
  resources().bitmaps[id] = BitmapResource{width, height, bitsPerPixel, nullptr};
}

bool registerBitmapImage(UINT id, const char* const* xpm, size_t lines, int bitsPerPixel) {
  Image image;
  std::string error;
  if (!parseXpm(xpm, lines, image, error)) return false;
  auto pixels = std::make_shared<const std::vector<COLORREF>>(std::move(image.pixels));
  std::lock_guard<std::mutex> lock(resources().mutex);
  resources().bitmaps[id] = BitmapResource{image.width, image.height, bitsPerPixel, pixels};
  return true;
}

void registerString(UINT id, std::string text) {
  std::lock_guard<std::mutex> lock(resources().mutex);
  resources().strings[id] = std::move(text);
}

}  // namespace ui
