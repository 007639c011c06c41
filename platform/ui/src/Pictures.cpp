// Pictures of windows: in memory, as PNG files, and the snapshots taken as pages and dialogs
// are shown.
#include "Paint.h"

#include <cairo.h>

#include <cctype>
#include <cstdio>
#include <mutex>

namespace ui {
namespace detail {

void displayIdle(ThreadQueue& queue);

namespace {

struct Snapshots {
  std::mutex mutex;
  std::string folder;
  int counter = 0;
  std::vector<std::string> files;
};
Snapshots& snapshots() {
  static Snapshots* instance = new Snapshots;
  return *instance;
}

std::string slug(const std::string& caption) {
  std::string out;
  for (char c : caption) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!out.empty() && out.back() != '-') {
      out += '-';
    }
  }
  while (!out.empty() && out.back() == '-') out.pop_back();
  return out.empty() ? "window" : out;
}

Picture toPicture(cairo_surface_t* image, POINT client) {
  Picture p;
  p.width = cairo_image_surface_get_width(image);
  p.height = cairo_image_surface_get_height(image);
  p.client = client;
  p.pixels.resize(static_cast<size_t>(p.width) * static_cast<size_t>(p.height));
  const unsigned char* data = cairo_image_surface_get_data(image);
  int stride = cairo_image_surface_get_stride(image);
  for (int y = 0; y < p.height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + y * stride);
    for (int x = 0; x < p.width; ++x) {
      uint32_t v = row[x];
      p.pixels[static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)] =
          RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
  }
  return p;
}

bool writePng(Window& w, const std::string& file) {
  POINT client{};
  cairo_surface_t* image = paintWindow(w, !w.isChild(), client);
  bool ok = cairo_surface_write_to_png(image, file.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(image);
  return ok;
}

void takeSnapshots(ThreadQueue& queue) {
  queue.snapshotPending = false;
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(snapshots().mutex);
    folder = snapshots().folder;
  }
  if (folder.empty()) return;
  // What waits to be painted is painted first, so that the pictures show the current state.
  while (paintNextPending(queue)) {
  }
  for (const std::shared_ptr<Window>& w : allWindows()) {
    if (!w || w->isChild() || w->destroying || w->queue.get() != &queue || !(w->style & WS_VISIBLE)) continue;
    std::string file;
    {
      std::lock_guard<std::mutex> lock(snapshots().mutex);
      char number[16];
      std::snprintf(number, sizeof number, "%03d", ++snapshots().counter);
      file = folder + "/" + number + "-" + slug(w->text) + ".png";
    }
    if (!writePng(*w, file)) {
      std::fprintf(stderr, "snapshot: cannot write %s\n", file.c_str());
      continue;
    }
    std::lock_guard<std::mutex> lock(snapshots().mutex);
    snapshots().files.push_back(file);
  }
}

}  // namespace

void requestSnapshot(ThreadQueue& queue) {
  std::lock_guard<std::mutex> lock(snapshots().mutex);
  if (!snapshots().folder.empty()) queue.snapshotPending = true;
}

void settleSnapshot(ThreadQueue& queue) {
  if (queue.snapshotPending) takeSnapshots(queue);
}

void idleWork(ThreadQueue& queue) {
  if (queue.snapshotPending) takeSnapshots(queue);
  displayIdle(queue);
}

}  // namespace detail

using namespace detail;

Picture windowPicture(HWND window) {
  Picture picture;
  withWindow(window, 0, [&](Window& w) -> LRESULT {
    POINT client{};
    cairo_surface_t* image = paintWindow(w, !w.isChild(), client);
    picture = toPicture(image, client);
    cairo_surface_destroy(image);
    return 0;
  });
  return picture;
}

bool saveWindowPicture(HWND window, const std::string& file) {
  return withWindow(window, FALSE, [&](Window& w) -> LRESULT { return writePng(w, file) ? TRUE : FALSE; }) != FALSE;
}

void setSnapshotFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(snapshots().mutex);
  snapshots().folder = folder;
  snapshots().counter = 0;
  snapshots().files.clear();
}

std::vector<std::string> snapshotFiles() {
  std::lock_guard<std::mutex> lock(snapshots().mutex);
  return snapshots().files;
}

}  // namespace ui
