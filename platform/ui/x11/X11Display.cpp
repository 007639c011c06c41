// The X11 side of the live display. One thread of its own talks to the X server: it makes an X
// window for every picture it is given (a top-level window with frame and caption, so that no
// window manager is needed, or a dropped combo-box list as a popup), puts the picture into it
// (and again on Expose), and turns the person's mouse and key events into input events for the
// picture's sink. It never touches the model: the sinks do, on the model's own threads.
#include "X11Display.h"

#include "Utf8.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace ui {
namespace x11 {

static_assert(keys::Space == XK_space && keys::A == XK_A && keys::a == XK_a && keys::ISO_Left_Tab == XK_ISO_Left_Tab &&
                  keys::BackSpace == XK_BackSpace && keys::Tab == XK_Tab && keys::Return == XK_Return &&
                  keys::Escape == XK_Escape && keys::Home == XK_Home && keys::Left == XK_Left && keys::Up == XK_Up &&
                  keys::Right == XK_Right && keys::Down == XK_Down && keys::Prior == XK_Prior &&
                  keys::Next == XK_Next && keys::End == XK_End && keys::KP_Enter == XK_KP_Enter && keys::F4 == XK_F4 &&
                  keys::Delete == XK_Delete,
              "the model's keys are X keysyms");

namespace {

// What the X thread keeps of one window.
struct Shown {
  ::Window xwindow = 0;
  std::function<void(const InputEvent&)> sink;
  bool popup = false;
  std::string title;
  HWND owner = nullptr;
  HWND target = nullptr;
  int originX = 0, originY = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::vector<uint32_t> pixels;
  // The places this side asked for, oldest first, from the one last seen taken on: a window
  // reported there was moved by us, not by someone else.
  std::deque<std::pair<int, int>> asked;
  bool reparented = false;  // framed by a window manager: its own ConfigureNotify is relative
};
constexpr size_t kAskedKept = 16;

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
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

// --- The X thread ------------------------------------------------------------------------------
void putPicture(XDisplay& x, const Shown& s) {
  if (s.pixels.empty()) return;
  Visual* visual = DefaultVisual(x.display, DefaultScreen(x.display));
  XImage* image =
      XCreateImage(x.display, visual, static_cast<unsigned>(DefaultDepth(x.display, DefaultScreen(x.display))), ZPixmap,
                   0, reinterpret_cast<char*>(const_cast<uint32_t*>(s.pixels.data())), static_cast<unsigned>(s.width),
                   static_cast<unsigned>(s.height), 32, s.width * 4);
  if (image == nullptr) return;
  XPutImage(x.display, s.xwindow, x.gc, image, 0, 0, 0, 0, static_cast<unsigned>(s.width),
            static_cast<unsigned>(s.height));
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
  // Static gravity: the place asked for is that of the window itself, not of a frame around it.
  hints->flags = PMinSize | PMaxSize | USPosition | PPosition | PWinGravity;
  hints->min_width = hints->max_width = width;
  hints->min_height = hints->max_height = height;
  hints->win_gravity = StaticGravity;
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
  XChangeProperty(x.display, w, x.motifHints, x.motifHints, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&hints), 5);
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
    a.event_mask =
        ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | KeyPressMask | StructureNotifyMask;
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
    s.asked.emplace_back(f.x, f.y);
    s.owner = f.owner;
    s.title = f.title;
    it = x.shown.emplace(f.hwnd, std::move(s)).first;
    x.byX[w] = f.hwnd;
    XMapRaised(x.display, w);
  }
  Shown& s = it->second;
  s.sink = std::move(f.sink);
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
    s.asked.emplace_back(f.x, f.y);
    if (s.asked.size() > kAskedKept) s.asked.pop_front();
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
  for (int i = 0; i < n; ++i) kavrin::appendUtf8(out, static_cast<unsigned char>(text[i]));
  return out;
}

unsigned modifiersOf(unsigned state) {
  return ((state & ShiftMask) ? kShift : 0u) | ((state & ControlMask) ? kControl : 0u) |
         ((state & Mod1Mask) ? kAlt : 0u);
}

// To the sink of the window that takes the event, in that window's client coordinates.
void deliver(XDisplay& x, ::Window xwindow, InputEvent event) {
  auto b = x.byX.find(xwindow);
  if (b == x.byX.end()) return;
  auto s = x.shown.find(b->second);
  if (s == x.shown.end()) return;
  if (!s->second.sink) return;
  event.window = s->second.target;
  event.x += s->second.originX;
  event.y += s->second.originY;
  s->second.sink(event);
}

// A top-level window is now at (left, top) on the screen. A place this side asked for is its own
// move coming back (each may come twice with a window manager: from the server and from the
// manager); any other is a move by someone else, which the window's sink hears of, so that the
// model places what it places by the window (dropped lists, boxes over it) where it now is. The
// side takes the place as its own first, so the model's next picture, there too, moves nothing.
void configured(XDisplay& x, ::Window xwindow, int left, int top) {
  auto b = x.byX.find(xwindow);
  if (b == x.byX.end()) return;
  Shown& s = x.shown[b->second];
  if (s.popup) return;
  auto mine = std::find(s.asked.begin(), s.asked.end(), std::make_pair(left, top));
  if (mine != s.asked.end()) {
    s.asked.erase(s.asked.begin(), mine);
    return;
  }
  if (left == s.x && top == s.y) return;
  s.x = left;
  s.y = top;
  if (!s.sink) return;
  InputEvent moved;
  moved.kind = InputEvent::Moved;
  moved.window = s.target;
  moved.rootX = left - s.originX;
  moved.rootY = top - s.originY;
  moved.time = nowMs();
  s.sink(moved);
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
    case ReparentNotify: {
      auto b = x.byX.find(e.xreparent.window);
      if (b != x.byX.end()) x.shown[b->second].reparented = e.xreparent.parent != DefaultRootWindow(x.display);
      return;
    }
    case ConfigureNotify: {
      // A window manager's own report (sent, ICCCM) is on the screen; the server's is relative to
      // the parent, which is the screen until a manager frames the window (a frame's moves then
      // come as the manager's reports).
      auto b = x.byX.find(e.xconfigure.window);
      if (b == x.byX.end() || e.xconfigure.window != e.xconfigure.event) return;
      if (e.xconfigure.send_event || !x.shown[b->second].reparented) {
        configured(x, e.xconfigure.window, e.xconfigure.x, e.xconfigure.y);
      }
      return;
    }
    case ClientMessage:
      if (static_cast<Atom>(e.xclient.data.l[0]) == x.deleteWindow) {
        in.kind = InputEvent::Close;
        deliver(x, e.xclient.window, in);
      }
      return;
    default:
      return;
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

int onXError(::Display*, XErrorEvent* error) {
  std::fprintf(stderr, "display: X error %d (request %d)\n", error->error_code, error->request_code);
  return 0;
}

}  // namespace

bool connect(const std::string& name, std::string& error) {
  XDisplay& x = xd();
  if (x.open) return true;
  if (x.thread.joinable()) x.thread.join();
  x.display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (x.display == nullptr) {
    error =
        "cannot open the display " + (name.empty() ? std::string(getenv("DISPLAY") ? getenv("DISPLAY") : "") : name);
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
  x.open = true;
  x.thread = std::thread(xThread);
  return true;
}

void disconnect() {
  XDisplay& x = xd();
  {
    std::lock_guard<std::mutex> lock(x.mutex);
    if (!x.open) return;
    x.stop = true;
  }
  wakeX();
  if (x.thread.joinable()) x.thread.join();
  ::close(x.wake[0]);
  ::close(x.wake[1]);
  x.wake[0] = x.wake[1] = -1;
  x.outbox.clear();
}

bool connected() { return xd().open; }

int screenWidth() { return xd().screenWidth.load(); }

int screenHeight() { return xd().screenHeight.load(); }

void show(std::vector<Frame> frames) {
  {
    std::lock_guard<std::mutex> lock(xd().mutex);
    for (Frame& f : frames) xd().outbox.push_back(std::move(f));
  }
  wakeX();
}

}  // namespace x11
}  // namespace ui
