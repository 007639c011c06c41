// Windows: the registry, creation and destruction, dispatch, geometry, focus, painting and
// dialogs made from templates.
#include "Display.h"
#include "Internal.h"
#include "Paint.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <strings.h>
#include <unordered_map>

namespace ui {
namespace detail {

namespace {

struct WindowClass {
  UINT style;
  COLORREF background;
};

// Process-wide tables, never destroyed: windows and fonts may outlive static destruction.
struct Tables {
  std::mutex windowMutex;
  std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
  std::vector<HWND> windowOrder;  // creation order, for listings
  std::mutex classMutex;
  std::map<std::string, WindowClass> classes;  // registered plain classes; nodes never move
};
Tables& tables() {
  static Tables* instance = new Tables;
  return *instance;
}

bool sameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool kindOf(const std::string& name, WindowKind& kind, COLORREF& background) {
  struct Builtin {
    const char* name;
    WindowKind kind;
    int color;  // system colour of the background, -1 none
  };
  static const Builtin builtins[] = {
      {"#32770", WindowKind::Dialog, COLOR_BTNFACE},     {WC_BUTTON, WindowKind::Button, COLOR_BTNFACE},
      {WC_EDIT, WindowKind::Edit, COLOR_WINDOW},         {WC_STATIC, WindowKind::Static, COLOR_BTNFACE},
      {WC_COMBOBOX, WindowKind::ComboBox, COLOR_WINDOW}, {WC_LISTVIEW, WindowKind::ListView, COLOR_WINDOW},
      {WC_TREEVIEW, WindowKind::TreeView, COLOR_WINDOW}, {PROGRESS_CLASS, WindowKind::Progress, COLOR_BTNFACE},
      {WC_TABCONTROL, WindowKind::Tab, COLOR_BTNFACE},
  };
  for (const Builtin& b : builtins) {
    if (sameName(name, b.name)) {
      kind = b.kind;
      background = b.color >= 0 ? GetSysColor(b.color) : CLR_INVALID;
      return true;
    }
  }
  std::lock_guard<std::mutex> lock(tables().classMutex);
  auto it = tables().classes.find(name);
  if (it == tables().classes.end()) return false;
  kind = WindowKind::Plain;
  background = it->second.background;
  return true;
}

void registerWindow(const std::shared_ptr<Window>& w) {
  std::lock_guard<std::mutex> lock(tables().windowMutex);
  tables().windows[handleValue(w->hwnd)] = w;
  tables().windowOrder.push_back(w->hwnd);
}

void unregisterWindow(HWND hwnd) {
  std::lock_guard<std::mutex> lock(tables().windowMutex);
  tables().windows.erase(handleValue(hwnd));
  tables().windowOrder.erase(std::remove(tables().windowOrder.begin(), tables().windowOrder.end(), hwnd),
                             tables().windowOrder.end());
}

int dialogX(int du) { return du * 6 / 4; }
int dialogY(int du) { return du * 13 / 8; }

POINT screenOrigin(const Window& w) {
  POINT p{w.rect.left, w.rect.top};
  if (w.isChild()) {
    if (std::shared_ptr<Window> parent = findWindow(w.parent)) {
      POINT base = screenOrigin(*parent);
      p.x += base.x;
      p.y += base.y;
    }
  }
  return p;
}

std::shared_ptr<Surface> surfaceOf(Window& w) {
  if (!w.surface) w.surface = std::make_shared<Surface>();
  if (w.surface->width != w.width() || w.surface->height != w.height()) {
    w.surface->resize(w.width(), w.height());
  }
  return w.surface;
}

void markDestroying(Window& w) {
  w.destroying = true;
  for (HWND child : w.children) {
    if (std::shared_ptr<Window> c = findWindow(child)) markDestroying(*c);
  }
}

void sendDestroy(HWND hwnd) {
  std::shared_ptr<Window> w = findWindow(hwnd);
  if (!w) return;
  dispatch(hwnd, WM_DESTROY, 0, 0);
  std::vector<HWND> children = w->children;
  for (HWND child : children) sendDestroy(child);
}

void finalDestroy(HWND hwnd) {
  std::shared_ptr<Window> w = findWindow(hwnd);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND child : children) finalDestroy(child);
  dispatch(hwnd, WM_NCDESTROY, 0, 0);
  if (CWnd* attached = w->cwnd) {
    w->cwnd = nullptr;
    attached->m_hWnd = nullptr;
    WndAccess::postNcDestroy(attached);  // frames and views delete themselves here
  }
  if (std::shared_ptr<Window> parent = findWindow(w->parent)) {
    parent->children.erase(std::remove(parent->children.begin(), parent->children.end(), hwnd), parent->children.end());
  }
  ThreadQueue& queue = *w->queue;
  queue.paintPending.erase(std::remove(queue.paintPending.begin(), queue.paintPending.end(), hwnd),
                           queue.paintPending.end());
  if (queue.focus == hwnd) queue.focus = nullptr;
  if (queue.active == hwnd) queue.active = nullptr;
  if (w->ownedFont != nullptr) DeleteObject(w->ownedFont);
  if (w->wrapper) w->wrapper->m_hWnd = nullptr;
  unregisterWindow(hwnd);
}

BOOL destroyWindow(Window& w) {
  if (w.destroying) return FALSE;
  HWND hwnd = w.hwnd;
  markDestroying(w);
  if (w.style & WS_VISIBLE) {
    dispatch(hwnd, WM_SHOWWINDOW, FALSE, 0);
    w.style &= ~WS_VISIBLE;
  }
  if (!w.isChild()) displayWindowGone(hwnd);
  ThreadQueue& queue = *w.queue;
  if (queue.focus != nullptr && (queue.focus == hwnd || IsChild(hwnd, queue.focus))) queue.focus = nullptr;
  sendDestroy(hwnd);
  finalDestroy(hwnd);
  return TRUE;
}

void invalidateTree(Window& w) {
  invalidate(w, nullptr, true);
  for (HWND child : w.children) {
    if (std::shared_ptr<Window> c = findWindow(child)) invalidateTree(*c);
  }
}

void updateWindow(Window& w) {
  if (w.hasInvalid && isVisibleChain(w)) {
    dispatch(w.hwnd, WM_PAINT, 0, 0);
    w.hasInvalid = false;
  }
}

void updateTree(HWND hwnd) {
  std::shared_ptr<Window> w = findWindow(hwnd);
  if (!w) return;
  updateWindow(*w);
  std::vector<HWND> children = w->children;
  for (HWND child : children) updateTree(child);
}

BOOL showWindow(Window& w, int command) {
  bool was = (w.style & WS_VISIBLE) != 0;
  bool show = command != SW_HIDE;
  HWND hwnd = w.hwnd;
  if (show != was) {
    // A picture still owed shows the pages and dialogs as they were before this one changes.
    if (w.kind == WindowKind::Dialog || w.kind == WindowKind::Browser) settleSnapshot(*w.queue);
    dispatch(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    std::shared_ptr<Window> again = findWindow(hwnd);
    if (!again) return was ? TRUE : FALSE;
    if (show) {
      again->style |= WS_VISIBLE;
      invalidateTree(*again);
      bool page = again->isChild() && again->kind == WindowKind::Dialog && isVisibleChain(*again);
      bool dialog = !again->isChild() && (again->kind == WindowKind::Dialog || again->kind == WindowKind::Browser);
      if (page || dialog) requestSnapshot(*again->queue);
    } else {
      again->style &= ~WS_VISIBLE;
      if (!again->isChild()) displayWindowGone(hwnd);
      ThreadQueue& queue = *again->queue;
      if (queue.focus != nullptr && (queue.focus == hwnd || IsChild(hwnd, queue.focus))) queue.focus = nullptr;
    }
  }
  if (show && !w.isChild() && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE) {
    w.queue->active = hwnd;
  }
  return was ? TRUE : FALSE;
}

HWND createWindow(DWORD exStyle, const char* classNameText, const char* windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId, LPVOID param, CWnd* attach, WindowKind forcedKind,
                  bool forceKind) {
  std::string name = classNameText != nullptr ? classNameText : "";
  WindowKind kind = WindowKind::Plain;
  COLORREF background = CLR_INVALID;
  if (!kindOf(name, kind, background)) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (forceKind) kind = forcedKind;
  std::shared_ptr<ThreadQueue> queue = currentQueue();
  std::shared_ptr<Window> parentWindow;
  if (parent != nullptr) {
    parentWindow = findWindow(parent);
    if (!parentWindow || ((style & WS_CHILD) && parentWindow->queue != queue) || parentWindow->destroying) {
      // A child is made by the thread that owns its parent; an owned window (a job's message
      // box over the dialog) may belong to another thread than its owner.
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
  } else if (style & WS_CHILD) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (x == CW_USEDEFAULT) x = 0;
  if (y == CW_USEDEFAULT) y = 0;
  if (width == CW_USEDEFAULT) width = 0;
  if (height == CW_USEDEFAULT) height = 0;

  auto w = std::make_shared<Window>();
  w->hwnd = makeHandle<HWND>(newHandleValue());
  w->className = name;
  w->kind = kind;
  w->queue = queue;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->text = windowName != nullptr ? windowName : "";
  w->background = background;
  w->child = (style & WS_CHILD) != 0;
  if (style & WS_CHILD) {
    w->parent = parent;
    w->id = static_cast<int>(reinterpret_cast<intptr_t>(menuOrId) & 0xffff);
  } else if (parentWindow) {
    // The owner of a top-level window is the top-level window of the one given.
    std::shared_ptr<Window> top = parentWindow;
    while (top->isChild()) {
      std::shared_ptr<Window> up = findWindow(top->parent);
      if (!up) break;
      top = up;
    }
    w->owner = top->hwnd;
  }
  w->data = makeControlData(kind);
  if (kind == WindowKind::ComboBox && (style & 0x3u) != CBS_SIMPLE) {
    // The window of a drop-down combo box is its closed height; the list drops below it.
    height = 21;
  }
  w->rect = RECT{x, y, x + width, y + height};
  HWND hwnd = w->hwnd;
  registerWindow(w);
  // Windows owned from another thread stay out of the owner's list, which only its thread reads.
  if (parentWindow && parentWindow->queue == queue) parentWindow->children.push_back(hwnd);
  if (attach != nullptr) {
    attach->m_hWnd = hwnd;
    w->cwnd = attach;
  }

  CREATESTRUCT cs{param, AfxGetInstanceHandle(),   menuOrId,   parent,        height, width, y,
                  x,     static_cast<LONG>(style), windowName, classNameText, exStyle};
  if (dispatch(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) == 0 ||
      dispatch(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    if (std::shared_ptr<Window> again = findWindow(hwnd)) destroyWindow(*again);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!findWindow(hwnd)) return nullptr;
  dispatch(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  dispatch(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
  if (style & WS_VISIBLE) {
    if (std::shared_ptr<Window> again = findWindow(hwnd)) showWindow(*again, SW_SHOW);
  }
  return findWindow(hwnd) ? hwnd : nullptr;
}

}  // namespace

void Surface::resize(int w, int h) {
  std::vector<COLORREF> fresh(static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0)), CLR_INVALID);
  for (int row = 0; row < std::min(h, height); ++row) {
    for (int col = 0; col < std::min(w, width); ++col) {
      fresh[static_cast<size_t>(row) * static_cast<size_t>(w) + static_cast<size_t>(col)] =
          pixels[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(col)];
    }
  }
  pixels.swap(fresh);
  width = std::max(w, 0);
  height = std::max(h, 0);
}

std::shared_ptr<Window> findWindow(HWND window) {
  if (window == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(tables().windowMutex);
  auto it = tables().windows.find(handleValue(window));
  return it == tables().windows.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Window>> allWindows() {
  std::lock_guard<std::mutex> lock(tables().windowMutex);
  std::vector<std::shared_ptr<Window>> result;
  for (HWND hwnd : tables().windowOrder) result.push_back(tables().windows[handleValue(hwnd)]);
  return result;
}

LRESULT withWindow(HWND window, LRESULT missing, const std::function<LRESULT(Window&)>& fn) {
  std::shared_ptr<Window> w = findWindow(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return missing;
  }
  bool found = true;
  LRESULT result = runOnThread(w->queue, [&]() -> LRESULT {
    std::shared_ptr<Window> again = findWindow(window);
    if (!again) {
      found = false;
      return 0;
    }
    return fn(*again);
  });
  if (!found) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return missing;
  }
  return result;
}

LRESULT dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Window> w = findWindow(hwnd);
  if (!w) return 0;
  logMessage(hwnd, message, wParam, lParam);
  ThreadQueue& queue = *w->queue;
  ++queue.changes;
  // A paint that reaches the class's own handler clears this again.
  if (message == WM_PAINT) w->selfPainted = true;
  queue.current.push_back(CurrentMessage{hwnd, message, wParam, lParam});
  struct Pop {
    ThreadQueue& queue;
    ~Pop() { queue.current.pop_back(); }
  } pop{queue};
  if (w->cwnd != nullptr) return WndAccess::windowProc(w->cwnd, message, wParam, lParam);
  return classProc(*w, message, wParam, lParam);
}

LRESULT classProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (w.kind) {
    case WindowKind::Dialog:
      return dialogProc(w, message, wParam, lParam);
    case WindowKind::Button:
      return buttonProc(w, message, wParam, lParam);
    case WindowKind::Edit:
      return editProc(w, message, wParam, lParam);
    case WindowKind::Static:
      return staticProc(w, message, wParam, lParam);
    case WindowKind::ComboBox:
      return comboProc(w, message, wParam, lParam);
    case WindowKind::ListView:
      return listProc(w, message, wParam, lParam);
    case WindowKind::TreeView:
      return treeProc(w, message, wParam, lParam);
    case WindowKind::Progress:
      return progressProc(w, message, wParam, lParam);
    case WindowKind::Tab:
      return tabProc(w, message, wParam, lParam);
    case WindowKind::Browser:
      return browserProc(w, message, wParam, lParam);
    case WindowKind::Plain:
      break;
  }
  return defaultProc(w, message, wParam, lParam);
}

LRESULT defaultProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_SETTEXT:
      w.text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      size_t n = std::min(static_cast<size_t>(wParam) - 1, w.text.size());
      std::memcpy(reinterpret_cast<char*>(lParam), w.text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w.text.size());
    case WM_SETFONT:
      w.font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam) != 0) invalidate(w, nullptr, true);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w.font);
    case WM_ERASEBKGND: {
      if (w.background == CLR_INVALID) return 0;
      HBRUSH brush = CreateSolidBrush(w.background);
      RECT client{0, 0, w.width(), w.height()};
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      DeleteObject(brush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(w.hwnd, &ps);
      EndPaint(w.hwnd, &ps);
      w.selfPainted = false;  // the painter draws the class's look from the window's state
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(w.hwnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0u) == SC_CLOSE) dispatch(w.hwnd, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

LRESULT dialogProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    // As the dialog manager does: the close box means Cancel.
    PostMessage(w.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                reinterpret_cast<LPARAM>(GetDlgItem(w.hwnd, IDCANCEL)));
    return 0;
  }
  return defaultProc(w, message, wParam, lParam);
}

LRESULT notifyParent(Window& w, NMHDR& header) {
  header.hwndFrom = w.hwnd;
  header.idFrom = static_cast<UINT_PTR>(w.id);
  if (w.parent == nullptr || !findWindow(w.parent)) return 0;
  return dispatch(w.parent, WM_NOTIFY, static_cast<WPARAM>(w.id), reinterpret_cast<LPARAM>(&header));
}

void commandParent(Window& w, UINT code) {
  if (w.parent == nullptr || !findWindow(w.parent)) return;
  dispatch(w.parent, WM_COMMAND, MAKEWPARAM(w.id, code), reinterpret_cast<LPARAM>(w.hwnd));
}

bool isVisibleChain(const Window& w) {
  if (!(w.style & WS_VISIBLE)) return false;
  if (!w.isChild()) return true;
  std::shared_ptr<Window> parent = findWindow(w.parent);
  return parent && isVisibleChain(*parent);
}

bool acceptsInput(HWND hwnd) {
  std::shared_ptr<Window> w = findWindow(hwnd);
  while (w) {
    if (w->destroying || !(w->style & WS_VISIBLE) || (w->style & WS_DISABLED)) return false;
    if (!w->isChild()) return true;
    w = findWindow(w->parent);
  }
  return false;
}

void invalidate(Window& w, const RECT* rect, bool erase) {
  RECT area{0, 0, w.width(), w.height()};
  if (rect != nullptr) {
    area.left = std::max(area.left, rect->left);
    area.top = std::max(area.top, rect->top);
    area.right = std::min(area.right, rect->right);
    area.bottom = std::min(area.bottom, rect->bottom);
  }
  if (area.right <= area.left || area.bottom <= area.top) return;
  if (w.hasInvalid) {
    w.invalid.left = std::min(w.invalid.left, area.left);
    w.invalid.top = std::min(w.invalid.top, area.top);
    w.invalid.right = std::max(w.invalid.right, area.right);
    w.invalid.bottom = std::max(w.invalid.bottom, area.bottom);
  } else {
    w.invalid = area;
    w.hasInvalid = true;
  }
  w.eraseNeeded = w.eraseNeeded || erase;
  ++w.queue->changes;
  std::vector<HWND>& pending = w.queue->paintPending;
  if (std::find(pending.begin(), pending.end(), w.hwnd) == pending.end()) pending.push_back(w.hwnd);
}

void setMessagePos(Window& w, POINT client) {
  POINT origin = screenOrigin(w);
  w.queue->messagePos = POINT{origin.x + client.x, origin.y + client.y};
}

void setWindowSize(Window& w, const RECT& rect, bool repaint) {
  bool resized = (rect.right - rect.left) != w.width() || (rect.bottom - rect.top) != w.height();
  bool moved = rect.left != w.rect.left || rect.top != w.rect.top;
  w.rect = rect;
  HWND hwnd = w.hwnd;
  if (resized) {
    if (w.surface) w.surface->resize(w.width(), w.height());
    dispatch(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rect.right - rect.left, rect.bottom - rect.top));
  }
  if (moved) dispatch(hwnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
  if (repaint && (resized || moved)) {
    if (std::shared_ptr<Window> again = findWindow(hwnd)) invalidate(*again, nullptr, true);
  }
}

std::string className(const char* name) {
  if (name == nullptr) return "";
  WindowKind kind;
  COLORREF background;
  return kindOf(name, kind, background) ? std::string(name) : std::string();
}

void centreWindow(Window& w) {
  FrameMetrics f = frameOf(w);
  SIZE screen = screenSize();
  RECT over{0, 0, screen.cx, screen.cy};
  // The owner may belong to another thread, which is asked for its place.
  if (w.owner != nullptr) {
    withWindow(w.owner, 0, [&](Window& o) -> LRESULT {
      FrameMetrics of = frameOf(o);
      over = RECT{o.rect.left - of.left, o.rect.top - of.top, o.rect.right + of.right, o.rect.bottom + of.bottom};
      return 0;
    });
  }
  int outerWidth = w.width() + f.left + f.right, outerHeight = w.height() + f.top + f.bottom;
  int x = over.left + (over.right - over.left - outerWidth) / 2;
  int y = over.top + (over.bottom - over.top - outerHeight) / 2;
  // Wholly on the screen where it fits, and its caption always.
  x = std::max(0, std::min(x, screen.cx - outerWidth));
  y = std::max(0, std::min(y, screen.cy - outerHeight));
  setWindowSize(w, RECT{x + f.left, y + f.top, x + f.left + w.width(), y + f.top + w.height()}, false);
}

HWND createDialog(UINT templateId, HWND parent, CDialog* dialog, bool modal) {
  const DialogTemplate* t = findDialogTemplate(templateId);
  if (t == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  DWORD style = t->style;
  bool visible = (style & WS_VISIBLE) != 0;
  if (modal) style &= ~WS_CHILD;
  HWND hwnd = createWindow(t->exStyle, "#32770", t->caption.c_str(), style & ~WS_VISIBLE, dialogX(t->x), dialogY(t->y),
                           dialogX(t->cx), dialogY(t->cy), parent, nullptr, nullptr, dialog, WindowKind::Dialog, true);
  if (hwnd == nullptr) return nullptr;
  HFONT font = createDialogFont(t->fontFace, t->fontPointSize);
  if (std::shared_ptr<Window> w = findWindow(hwnd)) {
    w->templateId = templateId;
    w->ownedFont = font;
  } else {
    DeleteObject(font);
    return nullptr;
  }
  dispatch(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  HWND firstTab = nullptr;
  for (const ControlTemplate& c : t->controls) {
    HWND control =
        createWindow(c.exStyle, c.className.c_str(), c.text.c_str(), c.style | WS_CHILD, dialogX(c.x), dialogY(c.y),
                     dialogX(c.cx), dialogY(c.cy), hwnd, reinterpret_cast<HMENU>(static_cast<intptr_t>(c.id & 0xffff)),
                     nullptr, nullptr, WindowKind::Plain, false);
    if (control == nullptr) {
      DestroyWindow(hwnd);
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    dispatch(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (firstTab == nullptr && (c.style & WS_TABSTOP) && (c.style & WS_VISIBLE) && !(c.style & WS_DISABLED)) {
      firstTab = control;
    }
  }
  RECT placed{};
  if (std::shared_ptr<Window> w = findWindow(hwnd)) placed = w->rect;
  LRESULT focus = dispatch(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), 0);
  if (!findWindow(hwnd)) return nullptr;
  // As the framework does for its dialogs: one that its own initialisation neither moved nor
  // showed opens centred over its owner (or the screen), not at the template's corner.
  if (std::shared_ptr<Window> w = findWindow(hwnd)) {
    if (!w->isChild() && !(w->style & WS_VISIBLE) && w->rect.left == placed.left && w->rect.top == placed.top) {
      centreWindow(*w);
    }
  }
  if (focus != 0 && firstTab != nullptr && findWindow(firstTab)) SetFocus(firstTab);
  if (visible) {
    if (std::shared_ptr<Window> w = findWindow(hwnd)) showWindow(*w, SW_SHOW);
  }
  return findWindow(hwnd) ? hwnd : nullptr;
}

}  // namespace detail
}  // namespace ui

using namespace ui;
using namespace ui::detail;

HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU menuOrId, HINSTANCE, LPVOID param) {
  return createWindow(exStyle, className, windowName, style, x, y, width, height, parent, menuOrId, param, nullptr,
                      WindowKind::Plain, false);
}

namespace ui {
namespace detail {
// Creation with a CWnd attached from the start (CWnd::CreateEx), or of an internal kind.
HWND createAttachedWindow(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                          int height, HWND parent, HMENU menuOrId, LPVOID param, CWnd* attach) {
  return createWindow(exStyle, className, windowName, style, x, y, width, height, parent, menuOrId, param, attach,
                      WindowKind::Plain, false);
}
HWND createBrowserWindow(HWND owner, const char* title) {
  return createWindow(0, "#32770", title, WS_POPUP | WS_CAPTION, 0, 0, 300, 360, owner, nullptr, nullptr, nullptr,
                      WindowKind::Browser, true);
}
}  // namespace detail
}  // namespace ui

BOOL DestroyWindow(HWND window) {
  return static_cast<BOOL>(withWindow(window, FALSE, [](Window& w) -> LRESULT { return destroyWindow(w); }));
}

BOOL IsWindow(HWND window) {
  std::shared_ptr<Window> w = findWindow(window);
  return w ? TRUE : FALSE;
}

BOOL IsChild(HWND parent, HWND window) {
  std::shared_ptr<Window> w = findWindow(window);
  while (w && w->isChild()) {
    if (w->parent == parent) return TRUE;
    w = findWindow(w->parent);
  }
  return FALSE;
}

LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return withWindow(window, 0, [&](Window& w) { return defaultProc(w, message, wParam, lParam); });
}

BOOL SetWindowText(HWND window, LPCSTR text) {
  return SendMessage(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text != nullptr ? text : "")) != 0;
}

int GetWindowText(HWND window, LPSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  return static_cast<int>(SendMessage(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND window) { return static_cast<int>(SendMessage(window, WM_GETTEXTLENGTH, 0, 0)); }

BOOL EnableWindow(HWND window, BOOL enable) {
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    bool wasDisabled = (w.style & WS_DISABLED) != 0;
    if (enable && wasDisabled) {
      w.style &= ~WS_DISABLED;
      dispatch(w.hwnd, WM_ENABLE, TRUE, 0);
    } else if (!enable && !wasDisabled) {
      w.style |= WS_DISABLED;
      if (w.queue->focus == w.hwnd) w.queue->focus = nullptr;
      dispatch(w.hwnd, WM_ENABLE, FALSE, 0);
    }
    return wasDisabled ? TRUE : FALSE;
  }));
}

BOOL IsWindowEnabled(HWND window) {
  return static_cast<BOOL>(withWindow(window, FALSE, [](Window& w) -> LRESULT { return !(w.style & WS_DISABLED); }));
}

BOOL ShowWindow(HWND window, int command) {
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT { return showWindow(w, command); }));
}

BOOL IsWindowVisible(HWND window) {
  return static_cast<BOOL>(withWindow(window, FALSE, [](Window& w) -> LRESULT { return isVisibleChain(w); }));
}

HWND GetParent(HWND window) {
  std::shared_ptr<Window> w = findWindow(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return w->isChild() ? w->parent : w->owner;
}

HWND GetDlgItem(HWND dialog, int id) {
  return reinterpret_cast<HWND>(withWindow(dialog, 0, [&](Window& w) -> LRESULT {
    for (HWND child : w.children) {
      std::shared_ptr<Window> c = findWindow(child);
      if (c && c->id == (id & 0xffff)) return reinterpret_cast<LRESULT>(child);
    }
    return 0;
  }));
}

int GetDlgCtrlID(HWND window) {
  return static_cast<int>(withWindow(window, 0, [](Window& w) -> LRESULT { return w.id; }));
}

LONG_PTR GetWindowLongPtr(HWND window, int index) {
  return withWindow(window, 0, [&](Window& w) -> LRESULT {
    switch (index) {
      case GWL_STYLE:
        return static_cast<LRESULT>(w.style);
      case GWL_EXSTYLE:
        return static_cast<LRESULT>(w.exStyle);
      case GWL_ID:
        return w.id;
      default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
  });
}

LONG_PTR SetWindowLongPtr(HWND window, int index, LONG_PTR value) {
  return withWindow(window, 0, [&](Window& w) -> LRESULT {
    LONG_PTR old = 0;
    switch (index) {
      case GWL_STYLE:
      case GWL_EXSTYLE: {
        DWORD& field = index == GWL_STYLE ? w.style : w.exStyle;
        old = static_cast<LONG_PTR>(field);
        STYLESTRUCT change{field, static_cast<DWORD>(value)};
        HWND hwnd = w.hwnd;
        dispatch(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
        field = change.styleNew;
        dispatch(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
        return old;
      }
      case GWL_ID:
        old = w.id;
        w.id = static_cast<int>(value & 0xffff);
        return old;
      default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
  });
}

LONG GetWindowLong(HWND window, int index) { return static_cast<LONG>(GetWindowLongPtr(window, index)); }

LONG SetWindowLong(HWND window, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtr(window, index, static_cast<LONG_PTR>(static_cast<DWORD>(value))));
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    setWindowSize(w, RECT{x, y, x + width, y + height}, repaint != FALSE);
    return TRUE;
  }));
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    RECT r = w.rect;
    if (!(flags & SWP_NOMOVE)) {
      r.right += x - r.left;
      r.bottom += y - r.top;
      r.left = x;
      r.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
      r.right = r.left + cx;
      r.bottom = r.top + cy;
    }
    HWND hwnd = w.hwnd;
    setWindowSize(w, r, !(flags & SWP_NOREDRAW));
    std::shared_ptr<Window> again = findWindow(hwnd);
    if (again && (flags & SWP_SHOWWINDOW)) showWindow(*again, SW_SHOWNA);
    if (again && (flags & SWP_HIDEWINDOW)) showWindow(*again, SW_HIDE);
    return TRUE;
  }));
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  if (rect == nullptr) return FALSE;
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    *rect = RECT{0, 0, w.width(), w.height()};
    return TRUE;
  }));
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  if (rect == nullptr) return FALSE;
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    POINT origin = screenOrigin(w);
    *rect = RECT{origin.x, origin.y, origin.x + w.width(), origin.y + w.height()};
    return TRUE;
  }));
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
  if (point == nullptr) return FALSE;
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    POINT origin = screenOrigin(w);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
  }));
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
  if (point == nullptr) return FALSE;
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    POINT origin = screenOrigin(w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
  }));
}

BOOL MapDialogRect(HWND, LPRECT rect) {
  if (rect == nullptr) return FALSE;
  rect->left = dialogX(rect->left);
  rect->right = dialogX(rect->right);
  rect->top = dialogY(rect->top);
  rect->bottom = dialogY(rect->bottom);
  return TRUE;
}

HWND SetFocus(HWND window) {
  if (window == nullptr) {
    auto queue = currentQueue();
    HWND old = queue->focus;
    queue->focus = nullptr;
    if (old != nullptr && findWindow(old)) dispatch(old, WM_KILLFOCUS, 0, 0);
    return old;
  }
  return reinterpret_cast<HWND>(withWindow(window, 0, [&](Window& w) -> LRESULT {
    ThreadQueue& queue = *w.queue;
    HWND old = queue.focus;
    if (old == window) return reinterpret_cast<LRESULT>(old);
    queue.focus = window;
    if (old != nullptr && findWindow(old)) dispatch(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (findWindow(window)) dispatch(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return reinterpret_cast<LRESULT>(old);
  }));
}

HWND GetFocus() {
  HWND focus = currentQueue()->focus;
  return findWindow(focus) ? focus : nullptr;
}

HWND GetActiveWindow() {
  HWND active = currentQueue()->active;
  std::shared_ptr<Window> w = findWindow(active);
  return w && (w->style & WS_VISIBLE) ? active : nullptr;
}

HWND SetActiveWindow(HWND window) {
  auto queue = currentQueue();
  HWND old = queue->active;
  std::shared_ptr<Window> w = findWindow(window);
  if (w && w->queue == queue && !w->isChild()) queue->active = window;
  return findWindow(old) ? old : nullptr;
}

DWORD GetMessagePos() {
  POINT p = currentQueue()->messagePos;
  return static_cast<DWORD>(MAKELONG(p.x, p.y));
}

BOOL GetCursorPos(LPPOINT point) {
  if (point == nullptr) return FALSE;
  *point = currentQueue()->messagePos;
  return TRUE;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  return static_cast<BOOL>(withWindow(dialog, FALSE, [&](Window& w) -> LRESULT {
    if (w.kind != WindowKind::Dialog) return FALSE;
    w.dialogEnded = true;
    w.dialogResult = result;
    showWindow(w, SW_HIDE);
    return TRUE;
  }));
}

BOOL InvalidateRect(HWND window, LPCRECT rect, BOOL erase) {
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    invalidate(w, rect, erase != FALSE);
    return TRUE;
  }));
}

BOOL ValidateRect(HWND window, LPCRECT rect) {
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    if (rect == nullptr || (rect->left <= w.invalid.left && rect->top <= w.invalid.top &&
                            rect->right >= w.invalid.right && rect->bottom >= w.invalid.bottom)) {
      w.hasInvalid = false;
      w.eraseNeeded = false;
    }
    return TRUE;
  }));
}

BOOL UpdateWindow(HWND window) {
  return static_cast<BOOL>(withWindow(window, FALSE, [](Window& w) -> LRESULT {
    updateWindow(w);
    return TRUE;
  }));
}

BOOL RedrawWindow(HWND window, LPCRECT rect, HRGN, UINT flags) {
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    if (flags & RDW_INVALIDATE) {
      if (flags & RDW_ALLCHILDREN) {
        invalidateTree(w);
      } else {
        invalidate(w, rect, (flags & RDW_ERASE) != 0);
      }
    }
    if (flags & RDW_VALIDATE) w.hasInvalid = false;
    if (flags & RDW_UPDATENOW) {
      if (flags & RDW_ALLCHILDREN) {
        updateTree(w.hwnd);
      } else {
        updateWindow(w);
      }
    }
    return TRUE;
  }));
}

BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL) {
  return static_cast<BOOL>(withWindow(window, FALSE, [&](Window& w) -> LRESULT {
    if (rect != nullptr) *rect = w.hasInvalid ? w.invalid : RECT{0, 0, 0, 0};
    return w.hasInvalid ? TRUE : FALSE;
  }));
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  if (paint == nullptr) return nullptr;
  *paint = PAINTSTRUCT{};
  return reinterpret_cast<HDC>(withWindow(window, 0, [&](Window& w) -> LRESULT {
    RECT area = w.hasInvalid ? w.invalid : RECT{0, 0, 0, 0};
    bool erase = w.hasInvalid && w.eraseNeeded;
    w.hasInvalid = false;
    w.eraseNeeded = false;
    std::vector<HWND>& pending = w.queue->paintPending;
    pending.erase(std::remove(pending.begin(), pending.end(), w.hwnd), pending.end());
    HDC dc = createWindowDC(w.hwnd, surfaceOf(w), &area);
    paint->hdc = dc;
    paint->rcPaint = area;
    paint->fErase = FALSE;
    if (erase) paint->fErase = dispatch(w.hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    return reinterpret_cast<LRESULT>(dc);
  }));
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint == nullptr) return FALSE;
  DeleteDC(paint->hdc);
  return TRUE;
}

HDC GetDC(HWND window) {
  return reinterpret_cast<HDC>(withWindow(window, 0, [](Window& w) -> LRESULT {
    return reinterpret_cast<LRESULT>(createWindowDC(w.hwnd, surfaceOf(w), nullptr));
  }));
}

int ReleaseDC(HWND, HDC dc) { return DeleteDC(dc) ? 1 : 0; }

DWORD GetSysColor(int index) {
  switch (index) {
    case COLOR_ACTIVECAPTION:
      return RGB(0, 0, 128);
    case COLOR_WINDOW:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
      return RGB(0, 0, 0);
    case COLOR_CAPTIONTEXT:
      return RGB(255, 255, 255);
    case COLOR_HIGHLIGHT:
      return RGB(0, 0, 128);
    case COLOR_HIGHLIGHTTEXT:
      return RGB(255, 255, 255);
    case COLOR_BTNFACE:
      return RGB(192, 192, 192);
    case COLOR_BTNSHADOW:
      return RGB(128, 128, 128);
    case COLOR_GRAYTEXT:
      return RGB(128, 128, 128);
    case COLOR_BTNTEXT:
      return RGB(0, 0, 0);
    case COLOR_BTNHIGHLIGHT:
      return RGB(255, 255, 255);
    default:
      return RGB(0, 0, 0);
  }
}

HCURSOR LoadCursor(HINSTANCE, LPCSTR name) {
  return reinterpret_cast<HCURSOR>(0x7f000000u + (IS_INTRESOURCE(name) ? reinterpret_cast<uintptr_t>(name) : 1u) * 16u);
}

HCURSOR SetCursor(HCURSOR cursor) {
  static std::atomic<HCURSOR> current{nullptr};
  return current.exchange(cursor);
}

HICON LoadIcon(HINSTANCE instance, LPCSTR name) { return reinterpret_cast<HICON>(LoadCursor(instance, name)); }

int LoadString(HINSTANCE, UINT id, LPSTR buffer, int size) {
  const std::string* text = findString(id);
  if (text == nullptr || buffer == nullptr || size <= 0) return 0;
  size_t n = std::min(text->size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, text->data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

LPCTSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
  bool isNull = true;
  COLORREF color = background != nullptr ? brushColor(background, isNull) : CLR_INVALID;
  if (isNull) color = CLR_INVALID;
  char name[96];
  snprintf(name, sizeof name, "Afx:%x:%lx:%lx:%lx", classStyle,
           static_cast<unsigned long>(reinterpret_cast<uintptr_t>(cursor)), static_cast<unsigned long>(color),
           static_cast<unsigned long>(reinterpret_cast<uintptr_t>(icon)));
  std::lock_guard<std::mutex> lock(tables().classMutex);
  auto it = tables().classes.emplace(name, WindowClass{classStyle, color}).first;
  return it->first.c_str();
}
