// The live display, the model's side: the pictures each thread shows of its top-level windows
// and dropped lists (painted on the thread that owns them and handed to the X11 side,
// x11/X11Display.cpp), where a person's input at them goes (the window's thread, as an input
// task), and the person who answers the boxes that no script answers. The model is only ever
// touched on its own threads.
#include "Display.h"
#include "LiveDialogs.h"
#include "Look.h"
#include "Paint.h"

#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace ui {
namespace detail {

namespace {

using x11::Frame;

constexpr auto kFrameInterval = std::chrono::milliseconds(30);

// Input at a picture goes to the thread of its window, which acts on it in its message loop.
std::function<void(const InputEvent&)> inputSink(const std::shared_ptr<ThreadQueue>& queue) {
  std::weak_ptr<ThreadQueue> weak = queue;
  return [weak](const InputEvent& event) {
    std::shared_ptr<ThreadQueue> target = weak.lock();
    if (target) postTask(target, [event] { handleInput(event); });
  };
}

// A box of MessageBox that nothing answers: the person at the display does.
int presentMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return liveMessageBox(IsWindow(owner) ? owner : nullptr, text != nullptr ? text : "",
                        caption != nullptr ? caption : "Error", type);
}

}  // namespace

// --- What a thread shows -------------------------------------------------------------------------
std::atomic<unsigned> gOpenings{0};  // a display opened again shows everything anew

struct PresentState {
  unsigned opening = 0;
  uint64_t changes = ~uint64_t{0};
  std::chrono::steady_clock::time_point last{};
  std::vector<HWND> shown;
};

bool displayActive() { return x11::connected(); }

void displayIdle(ThreadQueue& queue) {
  if (!x11::connected()) return;
  if (!queue.present) queue.present = std::make_shared<PresentState>();
  PresentState& ps = *queue.present;
  std::vector<std::shared_ptr<Window>> tops;
  for (const std::shared_ptr<Window>& w : allWindows()) {
    if (w && !w->isChild() && !w->destroying && w->queue.get() == &queue && (w->style & WS_VISIBLE) &&
        w->kind != WindowKind::Browser) {
      tops.push_back(w);
    }
  }
  std::vector<HWND> now;
  for (const auto& w : tops) now.push_back(w->hwnd);
  // The dropped lists are shown too, keyed by their combo boxes.
  for (const std::shared_ptr<Window>& w : allWindows()) {
    if (w && w->kind == WindowKind::ComboBox && w->queue.get() == &queue && isVisibleChain(*w) && !w->destroying &&
        comboLookOf(*w).state.dropped) {
      now.push_back(w->hwnd);
    }
  }
  if (ps.opening != gOpenings) {
    ps.opening = gOpenings;
    ps.shown.clear();
    ps.changes = ~uint64_t{0};
  }
  if (queue.changes == ps.changes && now == ps.shown) {
    queue.presentDue = {};
    return;
  }
  auto time = std::chrono::steady_clock::now();
  if (time < ps.last + kFrameInterval) {
    queue.presentDue = ps.last + kFrameInterval;
    return;
  }
  queue.presentDue = {};
  ps.last = time;
  std::vector<Frame> frames;
  for (HWND old : ps.shown) {
    if (std::find(now.begin(), now.end(), old) == now.end()) {
      Frame f;
      f.hwnd = old;
      f.gone = true;
      frames.push_back(std::move(f));
    }
  }
  auto take = [](cairo_surface_t* image, Frame& f) {
    f.width = cairo_image_surface_get_width(image);
    f.height = cairo_image_surface_get_height(image);
    f.pixels.resize(static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
    const unsigned char* data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < f.height; ++y) {
      std::memcpy(&f.pixels[static_cast<size_t>(y) * static_cast<size_t>(f.width)], data + y * stride,
                  static_cast<size_t>(f.width) * 4);
    }
    cairo_surface_destroy(image);
  };
  std::vector<Frame> popups;
  for (const auto& w : tops) {
    // The window with its frame, which it draws itself as in the pictures (no window manager
    // needs to be there); its client area stays where the model has it.
    POINT client{};
    std::vector<HWND> dropped;
    cairo_surface_t* image = paintWindow(*w, true, client, &dropped);
    Frame f;
    f.hwnd = w->hwnd;
    f.sink = inputSink(w->queue);
    f.title = w->text;
    f.owner = w->owner;
    f.target = w->hwnd;
    f.originX = -client.x;
    f.originY = -client.y;
    f.x = w->rect.left - client.x;
    f.y = w->rect.top - client.y;
    take(image, f);
    frames.push_back(std::move(f));
    // Each dropped list is a popup of its own over the window, unclipped by it.
    for (HWND h : dropped) {
      std::shared_ptr<Window> combo = findWindow(h);
      if (!combo) continue;
      RECT where{};
      cairo_surface_t* list = paintDroppedList(*combo, where);
      POINT corner{where.left, where.top};
      ::ClientToScreen(h, &corner);
      Frame p;
      p.hwnd = h;
      p.sink = inputSink(w->queue);
      p.popup = true;
      p.target = w->hwnd;
      p.x = corner.x;
      p.y = corner.y;
      p.originX = corner.x - w->rect.left;
      p.originY = corner.y - w->rect.top;
      take(list, p);
      popups.push_back(std::move(p));
    }
  }
  for (Frame& p : popups) frames.push_back(std::move(p));
  ps.shown = now;
  ps.changes = queue.changes;  // after painting: what painting itself changed is shown already
  x11::show(std::move(frames));
}

void displayWindowGone(HWND window) {
  if (!x11::connected()) return;
  std::vector<Frame> frames(1);
  frames[0].hwnd = window;
  frames[0].gone = true;
  x11::show(std::move(frames));
}

SIZE screenSize() { return SIZE{x11::screenWidth(), x11::screenHeight()}; }

}  // namespace detail

bool openDisplay(const std::string& name, std::string& error) {
  using namespace detail;
  if (x11::connected()) return true;
  ++gOpenings;
  if (!x11::connect(name, error)) return false;
  win32::setMessageBoxPresenter(presentMessageBox);
  // Windows already shown appear at once.
  for (const std::shared_ptr<detail::Window>& w : allWindows()) {
    if (w && w->queue) postTask(w->queue, [] {});
  }
  return true;
}

void closeDisplay() {
  if (!x11::connected()) return;
  win32::setMessageBoxPresenter(nullptr);
  x11::disconnect();
}

bool displayOpen() { return detail::displayActive(); }

}  // namespace ui
