// The live display over X11. One thread of its own talks to the X server: it makes an X window
// for every visible top-level window (its picture with frame and caption, so that no window
// manager is needed) and for every dropped combo-box list (a popup), puts the pictures the
// window's thread painted into it (and again on Expose), and turns the person's mouse and key
// events into input tasks for the thread that owns the window. The model is only ever touched on
// its own threads.
#include "Display.h"
#include "LiveDialogs.h"
#include "Look.h"
#include "Paint.h"

#include <cairo.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace ui {
namespace detail {

namespace {

constexpr auto kFrameInterval = std::chrono::milliseconds(30);

// A picture of a top-level window, frame included, or of a combo box's dropped list (a popup
// keyed by the combo box), on its way to the X thread (or word that it went away).
struct Frame {
  HWND hwnd = nullptr;
  std::weak_ptr<ThreadQueue> queue;
  bool gone = false;
  bool popup = false;
  std::string title;
  HWND owner = nullptr;
  HWND target = nullptr;         // the top-level window that takes the input of this one
  int originX = 0, originY = 0;  // where the picture's corner lies in the target's client area
  int x = 0, y = 0, width = 0, height = 0;  // on the screen
  std::vector<uint32_t> pixels;
};

// What the X thread keeps of one window.
struct Shown {
  ::Window xwindow = 0;
  std::weak_ptr<ThreadQueue> queue;
  bool popup = false;
  std::string title;
  HWND owner = nullptr;
  HWND target = nullptr;
  int originX = 0, originY = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

struct XDisplay {
  std::mutex mutex;
  std::atomic<bool> open{false};
  ::Display* display = nullptr;
  int wake[2] = {-1, -1};
  bool stop = false;
  std::vector<Frame> outbox;  // guarded by the mutex
  std::thread thread;
  // The X thread's own.
  std::map<HWND, Shown> shown;
  std::map<::Window, HWND> byX;
  Atom protocols = 0, deleteWindow = 0, netName = 0, utf8 = 0, motifHints = 0;
  GC gc = nullptr;
  std::atomic<int> screenWidth{1280}, screenHeight{1024};
};
XDisplay& xd() {
  static XDisplay* instance = new XDisplay;  // the X thread may outlive static destruction
  return *instance;
}

void wakeX() {
  char c = 1;
  if (xd().wake[1] >= 0) {
    ssize_t n = ::write(xd().wake[1], &c, 1);
    (void)n;
  }
}

unsigned long nowMs() {
  return static_cast<unsigned long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

// --- The X thread ------------------------------------------------------------------------------
void putPicture(XDisplay& x, const Shown& s) {
  if (s.pixels.empty()) return;
  Visual* visual = DefaultVisual(x.display, DefaultScreen(x.display));
  XImage* image = XCreateImage(x.display, visual, static_cast<unsigned>(DefaultDepth(x.display, DefaultScreen(x.display))),
                               ZPixmap, 0, reinterpret_cast<char*>(const_cast<uint32_t*>(s.pixels.data())),
                               static_cast<unsigned>(s.width), static_cast<unsigned>(s.height), 32, s.width * 4);
  if (image == nullptr) return;
  XPutImage(x.display, s.xwindow, x.gc, image, 0, 0, 0, 0, static_cast<unsigned>(s.width), static_cast<unsigned>(s.height));
  image->data = nullptr;  // the pixels stay ours
  XDestroyImage(image);
}

void setTitle(XDisplay& x, ::Window w, const std::string& title) {
  XStoreName(x.display, w, title.c_str());
  XChangeProperty(x.display, w, x.netName, x.utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
}

void fixSize(XDisplay& x, ::Window w, int width, int height) {
  XSizeHints* hints = XAllocSizeHints();
  // The place is the program's (a dialog centred over its owner), not the window manager's.
  hints->flags = PMinSize | PMaxSize | USPosition | PPosition;
  hints->min_width = hints->max_width = width;
  hints->min_height = hints->max_height = height;
  XSetWMNormalHints(x.display, w, hints);
  XFree(hints);
}

void forget(XDisplay& x, std::map<HWND, Shown>::iterator it) {
  x.byX.erase(it->second.xwindow);
  XDestroyWindow(x.display, it->second.xwindow);
  x.shown.erase(it);
}

// Windows draw their own caption and border (the pictures' frame), so a window manager is asked
// for none: with one running there is no second caption, without one nothing changes. The Motif
// hints are the request that window managers of every kind still honour.
void askNoDecorations(XDisplay& x, ::Window w) {
  struct {
    unsigned long flags, functions, decorations;
    long inputMode;
    unsigned long status;
  } hints{2 /* decorations given */, 0, 0 /* none */, 0, 0};
  XChangeProperty(x.display, w, x.motifHints, x.motifHints, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&hints),
                  5);
}

void applyFrame(XDisplay& x, Frame& f) {
  auto it = x.shown.find(f.hwnd);
  if (f.gone) {
    if (it == x.shown.end()) return;
    HWND owner = it->second.owner;
    bool popup = it->second.popup;
    forget(x, it);
    // The dropped lists of a window that went go with it.
    for (auto p = x.shown.begin(); p != x.shown.end();) {
      auto next = std::next(p);
      if (p->second.popup && p->second.target == f.hwnd) forget(x, p);
      p = next;
    }
    auto o = x.shown.find(owner);
    if (!popup && o != x.shown.end()) XSetInputFocus(x.display, o->second.xwindow, RevertToParent, CurrentTime);
    return;
  }
  int width = std::max(1, f.width), height = std::max(1, f.height);
  if (it == x.shown.end()) {
    int screen = DefaultScreen(x.display);
    XSetWindowAttributes a{};
    a.background_pixel = 0xC0C0C0;
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | KeyPressMask |
                   StructureNotifyMask;
    // A dropped list is a popup that no window manager frames, places or focuses.
    a.override_redirect = f.popup ? True : False;
    ::Window w = XCreateWindow(x.display, RootWindow(x.display, screen), f.x, f.y, static_cast<unsigned>(width),
                               static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixel | CWEventMask | CWOverrideRedirect, &a);
    if (!f.popup) {
      XSetWMProtocols(x.display, w, &x.deleteWindow, 1);
      auto o = x.shown.find(f.owner);
      if (o != x.shown.end()) XSetTransientForHint(x.display, w, o->second.xwindow);
      XWMHints* hints = XAllocWMHints();
      hints->flags = InputHint;
      hints->input = True;
      XSetWMHints(x.display, w, hints);
      XFree(hints);
      askNoDecorations(x, w);
      fixSize(x, w, width, height);
      setTitle(x, w, f.title);
    }
    Shown s;
    s.xwindow = w;
    s.popup = f.popup;
    s.x = f.x;
    s.y = f.y;
    s.owner = f.owner;
    s.title = f.title;
    it = x.shown.emplace(f.hwnd, std::move(s)).first;
    x.byX[w] = f.hwnd;
    XMapRaised(x.display, w);
  }
  Shown& s = it->second;
  s.queue = f.queue;
  s.target = f.target;
  s.originX = f.originX;
  s.originY = f.originY;
  if (!s.popup && s.title != f.title) {
    s.title = f.title;
    setTitle(x, s.xwindow, f.title);
  }
  if (s.x != f.x || s.y != f.y) {
    XMoveWindow(x.display, s.xwindow, f.x, f.y);
    s.x = f.x;
    s.y = f.y;
  }
  if (s.width != width || s.height != height) {
    if (!s.popup) fixSize(x, s.xwindow, width, height);
    XResizeWindow(x.display, s.xwindow, static_cast<unsigned>(width), static_cast<unsigned>(height));
  }
  s.width = width;
  s.height = height;
  s.pixels = std::move(f.pixels);
  putPicture(x, s);
}

std::string latin1ToUtf8(const char* text, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

unsigned modifiersOf(unsigned state) {
  return ((state & ShiftMask) ? kShift : 0u) | ((state & ControlMask) ? kControl : 0u) | ((state & Mod1Mask) ? kAlt : 0u);
}

// To the thread of the window that takes the event, in that window's client coordinates.
void deliver(XDisplay& x, ::Window xwindow, InputEvent event) {
  auto b = x.byX.find(xwindow);
  if (b == x.byX.end()) return;
  auto s = x.shown.find(b->second);
  if (s == x.shown.end()) return;
  std::shared_ptr<ThreadQueue> queue = s->second.queue.lock();
  if (!queue) return;
  event.window = s->second.target;
  event.x += s->second.originX;
  event.y += s->second.originY;
  postTask(queue, [event] { handleInput(event); });
}

void handleXEvent(XDisplay& x, XEvent& e) {
  InputEvent in;
  in.time = nowMs();
  switch (e.type) {
    case Expose:
      if (e.xexpose.count == 0) {
        auto b = x.byX.find(e.xexpose.window);
        if (b != x.byX.end()) putPicture(x, x.shown[b->second]);
      }
      return;
    case MapNotify: {
      auto b = x.byX.find(e.xmap.window);
      bool popup = b != x.byX.end() && x.shown[b->second].popup;
      if (!popup) XSetInputFocus(x.display, e.xmap.window, RevertToParent, CurrentTime);
      return;
    }
    case ButtonPress:
    case ButtonRelease:
      in.x = e.xbutton.x;
      in.y = e.xbutton.y;
      in.rootX = e.xbutton.x_root;
      in.rootY = e.xbutton.y_root;
      in.modifiers = modifiersOf(e.xbutton.state);
      if (e.xbutton.button == Button4 || e.xbutton.button == Button5) {
        if (e.type == ButtonRelease) return;
        in.kind = InputEvent::Wheel;
        in.button = e.xbutton.button == Button4 ? -1 : 1;
      } else {
        in.kind = e.type == ButtonPress ? InputEvent::Press : InputEvent::Release;
        in.button = static_cast<int>(e.xbutton.button);
      }
      deliver(x, e.xbutton.window, in);
      return;
    case MotionNotify:
      in.kind = InputEvent::Motion;
      in.x = e.xmotion.x;
      in.y = e.xmotion.y;
      in.rootX = e.xmotion.x_root;
      in.rootY = e.xmotion.y_root;
      deliver(x, e.xmotion.window, in);
      return;
    case KeyPress: {
      char buffer[16];
      KeySym keysym = 0;
      int n = XLookupString(&e.xkey, buffer, sizeof buffer, &keysym, nullptr);
      in.kind = InputEvent::Key;
      in.keysym = keysym;
      in.modifiers = modifiersOf(e.xkey.state);
      if (n > 0) in.text = latin1ToUtf8(buffer, n);
      deliver(x, e.xkey.window, in);
      return;
    }
    case ClientMessage:
      if (static_cast<Atom>(e.xclient.data.l[0]) == x.deleteWindow) {
        in.kind = InputEvent::Close;
        deliver(x, e.xclient.window, in);
      }
      return;
    default: return;
  }
}

void xThread() {
  XDisplay& x = xd();
  for (;;) {
    std::vector<Frame> frames;
    {
      std::lock_guard<std::mutex> lock(x.mutex);
      if (x.stop) break;
      frames.swap(x.outbox);
    }
    for (Frame& f : frames) applyFrame(x, f);
    while (XPending(x.display) > 0) {
      XEvent e;
      XNextEvent(x.display, &e);
      handleXEvent(x, e);
    }
    XFlush(x.display);
    pollfd fds[2] = {{ConnectionNumber(x.display), POLLIN, 0}, {x.wake[0], POLLIN, 0}};
    if (::poll(fds, 2, 1000) < 0 && errno != EINTR) break;
    if (fds[0].revents & (POLLERR | POLLHUP)) {
      std::fprintf(stderr, "display: the X server went away\n");
      break;
    }
    if (fds[1].revents & POLLIN) {
      char drain[64];
      ssize_t n = ::read(x.wake[0], drain, sizeof drain);
      (void)n;
    }
  }
  for (auto& s : x.shown) XDestroyWindow(x.display, s.second.xwindow);
  x.shown.clear();
  x.byX.clear();
  XFreeGC(x.display, x.gc);
  XCloseDisplay(x.display);
  x.display = nullptr;
  x.open = false;
}

// A box of MessageBox that nothing answers: the person at the display does.
int presentMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return liveMessageBox(IsWindow(owner) ? owner : nullptr, text != nullptr ? text : "",
                        caption != nullptr ? caption : "Error", type);
}

int onXError(::Display*, XErrorEvent* error) {
  std::fprintf(stderr, "display: X error %d (request %d)\n", error->error_code, error->request_code);
  return 0;
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

bool displayActive() { return xd().open; }

void displayIdle(ThreadQueue& queue) {
  if (!xd().open) return;
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
    f.queue = w->queue;
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
      p.queue = w->queue;
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
  {
    std::lock_guard<std::mutex> lock(xd().mutex);
    for (Frame& f : frames) xd().outbox.push_back(std::move(f));
  }
  wakeX();
}

void displayWindowGone(HWND window) {
  if (!xd().open) return;
  Frame f;
  f.hwnd = window;
  f.gone = true;
  {
    std::lock_guard<std::mutex> lock(xd().mutex);
    xd().outbox.push_back(std::move(f));
  }
  wakeX();
}

SIZE screenSize() { return SIZE{xd().screenWidth.load(), xd().screenHeight.load()}; }

}  // namespace detail

bool openDisplay(const std::string& name, std::string& error) {
  using namespace detail;
  XDisplay& x = xd();
  if (x.open) return true;
  if (x.thread.joinable()) x.thread.join();
  x.display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (x.display == nullptr) {
    error = "cannot open the display " + (name.empty() ? std::string(getenv("DISPLAY") ? getenv("DISPLAY") : "") : name);
    return false;
  }
  int screen = DefaultScreen(x.display);
  Visual* visual = DefaultVisual(x.display, screen);
  if (DefaultDepth(x.display, screen) < 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
      visual->blue_mask != 0xFF) {
    XCloseDisplay(x.display);
    x.display = nullptr;
    error = "the display needs a 24-bit true-colour screen";
    return false;
  }
  if (::pipe(x.wake) != 0) {
    XCloseDisplay(x.display);
    x.display = nullptr;
    error = "cannot make a pipe";
    return false;
  }
  XSetErrorHandler(onXError);
  x.protocols = XInternAtom(x.display, "WM_PROTOCOLS", False);
  x.deleteWindow = XInternAtom(x.display, "WM_DELETE_WINDOW", False);
  x.netName = XInternAtom(x.display, "_NET_WM_NAME", False);
  x.utf8 = XInternAtom(x.display, "UTF8_STRING", False);
  x.motifHints = XInternAtom(x.display, "_MOTIF_WM_HINTS", False);
  x.screenWidth = DisplayWidth(x.display, screen);
  x.screenHeight = DisplayHeight(x.display, screen);
  x.gc = XCreateGC(x.display, RootWindow(x.display, screen), 0, nullptr);
  x.stop = false;
  ++gOpenings;
  x.open = true;
  x.thread = std::thread(xThread);
  win32::setMessageBoxPresenter(presentMessageBox);
  // Windows already shown appear at once.
  for (const std::shared_ptr<detail::Window>& w : allWindows()) {
    if (w && w->queue) postTask(w->queue, [] {});
  }
  return true;
}

void closeDisplay() {
  using namespace detail;
  XDisplay& x = xd();
  {
    std::lock_guard<std::mutex> lock(x.mutex);
    if (!x.open) return;
    x.stop = true;
  }
  win32::setMessageBoxPresenter(nullptr);
  wakeX();
  if (x.thread.joinable()) x.thread.join();
  ::close(x.wake[0]);
  ::close(x.wake[1]);
  x.wake[0] = x.wake[1] = -1;
  x.outbox.clear();
}

bool displayOpen() { return detail::displayActive(); }

}  // namespace ui
