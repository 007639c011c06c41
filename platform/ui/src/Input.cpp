// A person's input at a live display, turned into what the driver's user actions do: clicks on
// buttons, check boxes, list rows, tree items, tabs and combo boxes, typing into edits, and the
// dialog keys (Tab, Enter, Escape, Space, the arrows).
#include "Display.h"
#include "Look.h"
#include "Paint.h"
#include "Text.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ui {
namespace detail {

struct InputState {
  HWND pressed = nullptr;   // a push button held down by the mouse
  HWND dragging = nullptr;  // a list or tree whose scroll thumb is dragged
  bool dragVertical = true;
  HWND lastClick = nullptr;  // for double clicks
  POINT lastPoint{};
  unsigned long lastTime = 0;
  HWND moving = nullptr;        // a top-level window dragged by its caption
  POINT grab{};                 // the pointer's offset from that window's client corner
  HWND closing = nullptr;       // a top-level window whose close box is held down
  HWND sizing = nullptr;        // a list whose column edge, or a splitter whose bar, is dragged
  int sizingIndex = -1;         // the column
  int sizingOrigin = 0;         // where the pointer would make the column 0 wide (client x)
  HWND searchWindow = nullptr;  // the list or tree typed into, what was typed and when
  std::string search;
  unsigned long searchTime = 0;
};

namespace {

constexpr unsigned long kDoubleClickMs = 500;

InputState& inputOf(ThreadQueue& queue) {
  if (!queue.input) queue.input = std::make_shared<InputState>();
  return *queue.input;
}

UINT buttonType(const Window& w) { return w.style & BS_TYPEMASK; }
bool isPushButton(const Window& w) {
  return w.kind == WindowKind::Button && (buttonType(w) == BS_PUSHBUTTON || buttonType(w) == BS_DEFPUSHBUTTON);
}

// A window's top-left corner in the client coordinates of its top-level window.
POINT originInTop(const Window& w) {
  POINT p{0, 0};
  const Window* at = &w;
  std::shared_ptr<Window> hold;
  while (at->isChild()) {
    p.x += at->rect.left;
    p.y += at->rect.top;
    hold = findWindow(at->parent);
    if (!hold) break;
    at = hold.get();
  }
  return p;
}

HWND topOf(const Window& w) {
  if (!w.isChild()) return w.hwnd;
  std::shared_ptr<Window> parent = findWindow(w.parent);
  return parent ? topOf(*parent) : nullptr;
}

// The control under a point of a window's client area: the last created visible child that
// holds it, searched down to the leaves (group boxes and plain statics let clicks through to
// what lies under them; pages may sit in a static that holds their place).
std::shared_ptr<Window> controlAt(const std::shared_ptr<Window>& parent, POINT p, POINT& local) {
  for (auto it = parent->children.rbegin(); it != parent->children.rend(); ++it) {
    std::shared_ptr<Window> c = findWindow(*it);
    if (!c || c->destroying || !(c->style & WS_VISIBLE)) continue;
    if (p.x < c->rect.left || p.y < c->rect.top || p.x >= c->rect.right || p.y >= c->rect.bottom) continue;
    POINT inner{p.x - c->rect.left, p.y - c->rect.top};
    if (!c->children.empty() && c->kind != WindowKind::ComboBox) {
      POINT deeper{};
      if (std::shared_ptr<Window> d = controlAt(c, inner, deeper)) {
        local = deeper;
        return d;
      }
    }
    if (isGroupBox(*c) || (c->kind == WindowKind::Static && !(c->style & SS_NOTIFY))) continue;
    local = inner;
    return c;
  }
  return nullptr;
}

// A window whose children take part in its dialog's navigation as its own controls do: a page
// (a child dialog), a frame or splitter, or a static that holds the pages.
bool holdsControls(const Window& w) {
  if (w.children.empty()) return w.kind == WindowKind::Dialog;
  return w.kind == WindowKind::Dialog || w.kind == WindowKind::Plain || w.kind == WindowKind::Static;
}

// The controls of a dialog in the order Tab visits them (creation order, pages included), each
// visible and enabled with its container; `all` takes every such control, not only tab stops.
void dialogControls(const Window& w, std::vector<HWND>& out, bool all) {
  for (HWND h : w.children) {
    std::shared_ptr<Window> c = findWindow(h);
    if (!c || c->destroying || !(c->style & WS_VISIBLE) || (c->style & WS_DISABLED)) continue;
    if (holdsControls(*c)) {
      dialogControls(*c, out, all);
    } else if (all || (c->style & WS_TABSTOP)) {
      out.push_back(h);
    }
  }
}

void tabStops(const Window& w, std::vector<HWND>& out) { dialogControls(w, out, false); }

void focusControl(HWND h) {
  SetFocus(h);
  // An edit reached by the keys has its whole text selected.
  std::shared_ptr<Window> e = findWindow(h);
  if (e && e->kind == WindowKind::Edit) {
    editSetCaret(*e, 0, false);
    editSetCaret(*e, static_cast<int>(e->text.size()), true);
  }
}

void collectButtons(const Window& w, std::vector<std::shared_ptr<Window>>& out) {
  for (HWND h : w.children) {
    std::shared_ptr<Window> c = findWindow(h);
    if (!c) continue;
    if (c->kind == WindowKind::Button) out.push_back(c);
    collectButtons(*c, out);
  }
}

// The control with the focus when it lies in `top`.
std::shared_ptr<Window> focusIn(ThreadQueue& queue, const Window& top) {
  std::shared_ptr<Window> f = findWindow(queue.focus);
  for (std::shared_ptr<Window> at = f; at; at = findWindow(at->parent)) {
    if (at->hwnd == top.hwnd) return f;
    if (!at->isChild()) break;
  }
  return nullptr;
}

void command(Window& top, int id) {
  HWND control = GetDlgItem(top.hwnd, id);
  dispatch(top.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

bool scrollClick(Window& w, const ScrollBar& bar, POINT p, InputState& in, bool vertical) {
  if (!bar.shown || p.x < bar.rect.left || p.y < bar.rect.top || p.x >= bar.rect.right || p.y >= bar.rect.bottom) {
    return false;
  }
  auto inside = [&](const RECT& r) { return p.x >= r.left && p.y >= r.top && p.x < r.right && p.y < r.bottom; };
  int step = 0;
  if (inside(bar.less))
    step = -1;
  else if (inside(bar.more))
    step = 1;
  else if (inside(bar.thumb)) {
    in.dragging = w.hwnd;
    in.dragVertical = vertical;
    return true;
  } else {
    int along = vertical ? p.y : p.x;
    int thumbStart = vertical ? bar.thumb.top : bar.thumb.left;
    step = along < thumbStart ? -bar.page : bar.page;
  }
  int target = std::max(0, std::min(bar.position + step, bar.total - bar.page));
  if (w.kind == WindowKind::TreeView) {
    treeScrollTo(w, target);
  } else {
    ListLook look = listLookOf(w);
    if (vertical)
      listScrollTo(w, target, look.scrollX);
    else
      listScrollTo(w, look.topIndex, target);
  }
  return true;
}

void drag(Window& w, POINT p, const InputState& in) {
  if (w.kind == WindowKind::TreeView) {
    TreeLook look = treeLookOf(w);
    treeScrollTo(w, scrollPositionAt(look.vbar, p.y));
  } else {
    ListLook look = listLookOf(w);
    if (in.dragVertical)
      listScrollTo(w, scrollPositionAt(look.vbar, p.y), look.scrollX);
    else
      listScrollTo(w, look.topIndex, scrollPositionAt(look.hbar, p.x));
  }
}

// A press on the edge between two column titles of a list starts sizing the column on its left;
// a double click there fits the column to its texts. True when the press was on a title.
bool pressOnHeader(Window& w, POINT p, InputState& in, bool doubleClick) {
  ListLook look = listLookOf(w);
  if (!look.header || p.y < 0 || p.y >= look.headerHeight || p.x >= look.area.right) return false;
  int right = -look.scrollX;
  int column = -1, width = 0;
  for (size_t i = 0; i < look.state.columns.size(); ++i) {
    right += look.state.columns[i].width;
    if (std::abs(p.x - right) <= 3) {
      column = static_cast<int>(i);
      width = look.state.columns[i].width;
    }
  }
  if (column < 0) return true;
  if (doubleClick) {
    dispatch(w.hwnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(LVSCW_AUTOSIZE & 0xFFFF, 0));
  } else {
    in.sizing = w.hwnd;
    in.sizingIndex = column;
    in.sizingOrigin = p.x - width;
  }
  return true;
}

// A press on the bar between two columns of panes of a splitter starts moving it.
void pressOnSplitter(Window& w, POINT p, InputState& in) {
  int column = -1, right = 0, left = 0, columns = 0;
  for (HWND h : w.children) {
    std::shared_ptr<Window> pane = findWindow(h);
    int at = pane ? pane->id - AFX_IDW_PANE_FIRST : -1;
    if (at < 0 || at >= 16) continue;  // panes of the first row
    columns = std::max(columns, at + 1);
    if (pane->rect.right <= p.x && pane->rect.right >= right && p.y >= pane->rect.top && p.y < pane->rect.bottom) {
      column = at;
      right = pane->rect.right;
      left = pane->rect.left;
    }
  }
  // The last column takes what the others leave: its bar is the one before it.
  if (column < 0 || column + 1 >= columns) return;
  in.sizing = w.hwnd;
  in.sizingIndex = column;
  in.sizingOrigin = p.x - (right - left);
}

// The pointer moved while a column edge or a splitter bar is held.
void size(Window& w, int x, const InputState& in) {
  int width = std::max(0, x - in.sizingOrigin);
  if (w.kind == WindowKind::ListView) {
    dispatch(w.hwnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(in.sizingIndex), MAKELPARAM(width & 0xFFFF, 0));
  } else if (CSplitterWnd* splitter = dynamic_cast<CSplitterWnd*>(w.cwnd)) {
    int current = 0, minimum = 0;
    splitter->GetColumnInfo(in.sizingIndex, current, minimum);
    splitter->SetColumnInfo(in.sizingIndex, std::max(width, minimum), minimum);
    splitter->RecalcLayout();
  }
}

void closeDroppedCombos(ThreadQueue& queue, HWND except) {
  for (const std::shared_ptr<Window>& w : allWindows()) {
    if (w && w->hwnd != except && w->kind == WindowKind::ComboBox && w->queue.get() == &queue &&
        comboLookOf(*w).state.dropped) {
      comboCancel(*w);
    }
  }
}

// A press on a dropped list of a combo box (which may lie outside the box): true when it took it.
bool pressOnDroppedList(ThreadQueue& queue, Window& top, POINT p) {
  for (const std::shared_ptr<Window>& w : allWindows()) {
    if (!w || w->kind != WindowKind::ComboBox || w->queue.get() != &queue || !comboLookOf(*w).state.dropped) continue;
    if (topOf(*w) != top.hwnd) continue;
    POINT o = originInTop(*w);
    RECT list = comboListRect(*w);
    POINT local{p.x - o.x, p.y - o.y};
    if (local.x >= list.left && local.x < list.right && local.y >= list.top && local.y < list.bottom) {
      ComboLook look = comboLookOf(*w);
      int count = static_cast<int>(look.state.items.size());
      if (count > kComboListRows && local.x >= list.right - 1 - kScrollBarSize) {
        // Its scroll bar: the arrows move a row, the track a page.
        ScrollBar bar =
            makeScrollBar(RECT{list.right - 1 - kScrollBarSize, list.top + 1, list.right - 1, list.bottom - 1}, true,
                          look.top, kComboListRows, count);
        int step = local.y < bar.less.bottom     ? -1
                   : local.y >= bar.more.top     ? 1
                   : local.y < bar.thumb.top     ? -kComboListRows
                   : local.y >= bar.thumb.bottom ? kComboListRows
                                                 : 0;
        comboScroll(*w, std::max(0, std::min(look.top + step, count - kComboListRows)));
        return true;
      }
      int row = look.top + (local.y - list.top - 1) / std::max(1, comboItemHeight(*w));
      if (row >= 0 && row < count) comboPick(*w, row);
      return true;
    }
  }
  return false;
}

// A press on the frame, outside the client area: the caption starts a move, the close box is
// held down until the release.
void framePress(Window& top, const InputEvent& e) {
  InputState& in = inputOf(*top.queue);
  switch (framePartAt(top, POINT{e.x, e.y})) {
    case FramePart::Caption:
      in.moving = top.hwnd;
      in.grab = POINT{e.rootX - top.rect.left, e.rootY - top.rect.top};
      return;
    case FramePart::CloseBox:
      in.closing = top.hwnd;
      return;
    case FramePart::None:
      return;
  }
}

void press(Window& top, const InputEvent& e) {
  ThreadQueue& queue = *top.queue;
  InputState& in = inputOf(queue);
  POINT p{e.x, e.y};
  if (pressOnDroppedList(queue, top, p)) return;
  if (p.x < 0 || p.y < 0 || p.x >= top.width() || p.y >= top.height()) {
    closeDroppedCombos(queue, nullptr);
    framePress(top, e);
    return;
  }
  POINT local{};
  std::shared_ptr<Window> c = controlAt(findWindow(top.hwnd), p, local);
  closeDroppedCombos(queue, c ? c->hwnd : nullptr);
  if (!c || !acceptsInput(c->hwnd)) return;
  bool doubleClick = in.lastClick == c->hwnd && e.time - in.lastTime < kDoubleClickMs &&
                     std::abs(in.lastPoint.x - p.x) < 4 && std::abs(in.lastPoint.y - p.y) < 4;
  in.lastClick = doubleClick ? nullptr : c->hwnd;
  in.lastPoint = p;
  in.lastTime = e.time;
  HWND hwnd = c->hwnd;
  setMessagePos(*c, local);
  int edge = edgeOf(*c);
  POINT client{local.x - edge, local.y - edge};
  switch (c->kind) {
    case WindowKind::Button:
      if (isPushButton(*c)) {
        SetFocus(hwnd);
        in.pressed = hwnd;
        dispatch(hwnd, BM_SETSTATE, TRUE, 0);
      } else {
        SetFocus(hwnd);
        if (findWindow(hwnd)) buttonClick(*c);
      }
      return;
    case WindowKind::Edit: {
      SetFocus(hwnd);
      if (findWindow(hwnd))
        editSetCaret(*c, offsetAtX(windowFont(*c), c->text, client.x - 2), (e.modifiers & kShift) != 0);
      return;
    }
    case WindowKind::ComboBox:
      SetFocus(hwnd);
      if (!findWindow(hwnd)) return;
      if (comboLookOf(*c).state.dropped)
        comboCancel(*c);
      else
        comboDrop(*c);
      return;
    case WindowKind::Tab: {
      SetFocus(hwnd);
      TabLook look = tabLookOf(*c);
      for (size_t i = 0; i < look.items.size(); ++i) {
        const RECT& r = look.items[i];
        if (local.x >= r.left && local.x < r.right && local.y >= r.top && local.y < r.bottom) {
          if (findWindow(hwnd)) tabClick(*c, static_cast<int>(i));
          return;
        }
      }
      return;
    }
    case WindowKind::ListView: {
      SetFocus(hwnd);
      if (!findWindow(hwnd)) return;
      if (pressOnHeader(*c, client, in, doubleClick)) return;
      ListLook look = listLookOf(*c);
      if (scrollClick(*c, look.vbar, client, in, true) || scrollClick(*c, look.hbar, client, in, false)) return;
      UINT flags = 0;
      int item = listHitTest(*c, client, flags);
      if (item < 0) return;
      if (flags & LVHT_ONITEMSTATEICON) {
        listClick(*c, item, ListPart::StateIcon, false);
      } else if ((e.modifiers & (kShift | kControl)) && !(c->style & LVS_SINGLESEL)) {
        listClickExtended(*c, item, (e.modifiers & kShift) != 0, (e.modifiers & kControl) != 0);
      } else {
        listClick(*c, item, (flags & LVHT_ONITEMICON) ? ListPart::Icon : ListPart::Label, doubleClick);
      }
      return;
    }
    case WindowKind::TreeView: {
      SetFocus(hwnd);
      if (!findWindow(hwnd)) return;
      TreeLook look = treeLookOf(*c);
      if (scrollClick(*c, look.vbar, client, in, true)) return;
      UINT flags = 0;
      HTREEITEM item = treeHitTest(*c, client, flags);
      if (item == nullptr) return;
      TreePart part = (flags & TVHT_ONITEMBUTTON)      ? TreePart::Button
                      : (flags & TVHT_ONITEMSTATEICON) ? TreePart::StateIcon
                      : (flags & TVHT_ONITEMICON)      ? TreePart::Icon
                                                       : TreePart::Label;
      treeClick(*c, item, part);
      if (doubleClick && part == TreePart::Label) {
        if (std::shared_ptr<Window> again = findWindow(hwnd)) treeToggle(*again, item, TVE_TOGGLE);
      }
      return;
    }
    case WindowKind::Plain:
      if (isSplitter(*c)) pressOnSplitter(*c, client, in);
      return;
    default:
      return;
  }
}

void release(Window& top, const InputEvent& e) {
  InputState& in = inputOf(*top.queue);
  in.dragging = nullptr;
  in.sizing = nullptr;
  in.moving = nullptr;
  HWND closing = in.closing;
  in.closing = nullptr;
  if (closing == top.hwnd && framePartAt(top, POINT{e.x, e.y}) == FramePart::CloseBox && acceptsInput(top.hwnd)) {
    dispatch(top.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return;
  }
  HWND pressed = in.pressed;
  in.pressed = nullptr;
  std::shared_ptr<Window> b = findWindow(pressed);
  if (!b) return;
  dispatch(pressed, BM_SETSTATE, FALSE, 0);
  POINT o = originInTop(*b);
  bool inside = e.x >= o.x && e.y >= o.y && e.x < o.x + b->width() && e.y < o.y + b->height();
  if (inside && acceptsInput(pressed)) buttonClick(*b);
}

void motion(Window& top, const InputEvent& e) {
  InputState& in = inputOf(*top.queue);
  if (in.moving == top.hwnd) {
    int x = e.rootX - in.grab.x, y = e.rootY - in.grab.y;
    setWindowSize(top, RECT{x, y, x + top.width(), y + top.height()}, false);
    return;
  }
  if (std::shared_ptr<Window> s = findWindow(in.sizing)) {
    size(*s, e.x - originInTop(*s).x - edgeOf(*s), in);
    return;
  }
  std::shared_ptr<Window> w = findWindow(in.dragging);
  if (!w) return;
  POINT o = originInTop(*w);
  int edge = edgeOf(*w);
  drag(*w, POINT{e.x - o.x - edge, e.y - o.y - edge}, in);
}

void wheel(Window& top, const InputEvent& e) {
  POINT local{};
  std::shared_ptr<Window> c = controlAt(findWindow(top.hwnd), POINT{e.x, e.y}, local);
  if (!c) return;
  int step = e.button * 3;
  if (c->kind == WindowKind::ListView) {
    ListLook look = listLookOf(*c);
    listScrollTo(*c, std::max(0, look.topIndex + step), look.scrollX);
  } else if (c->kind == WindowKind::TreeView) {
    TreeLook look = treeLookOf(*c);
    treeScrollTo(*c, std::max(0, look.vbar.position + step));
  }
}

void moveFocus(Window& top, bool back) {
  std::vector<HWND> stops;
  tabStops(top, stops);
  if (stops.empty()) return;
  std::shared_ptr<Window> f = focusIn(*top.queue, top);
  auto it = f ? std::find(stops.begin(), stops.end(), f->hwnd) : stops.end();
  size_t at;
  if (it == stops.end())
    at = back ? stops.size() - 1 : 0;
  else
    at = (static_cast<size_t>(it - stops.begin()) + (back ? stops.size() - 1 : 1)) % stops.size();
  focusControl(stops[at]);
}

// Enter: the default push button of the dialog, else IDOK.
void pressDefault(Window& top) {
  std::vector<std::shared_ptr<Window>> buttons;
  collectButtons(top, buttons);
  for (const std::shared_ptr<Window>& b : buttons) {
    if (buttonType(*b) == BS_DEFPUSHBUTTON && acceptsInput(b->hwnd)) {
      // As its command: the focus stays where it is.
      commandParent(*b, BN_CLICKED);
      return;
    }
  }
  HWND ok = GetDlgItem(top.hwnd, IDOK);
  if (ok == nullptr || acceptsInput(ok)) command(top, IDOK);
}

void editKey(Window& w, const InputEvent& e) {
  EditLook look = editLookOf(w);
  bool extend = (e.modifiers & kShift) != 0;
  const std::string& text = w.text;
  auto prev = [&](int at) {
    if (at <= 0) return 0;
    --at;
    while (at > 0 && (static_cast<unsigned char>(text[static_cast<size_t>(at)]) & 0xC0u) == 0x80u) --at;
    return at;
  };
  auto next = [&](int at) {
    int n = static_cast<int>(text.size());
    if (at >= n) return n;
    ++at;
    while (at < n && (static_cast<unsigned char>(text[static_cast<size_t>(at)]) & 0xC0u) == 0x80u) ++at;
    return at;
  };
  switch (e.keysym) {
    case keys::Left:
      editSetCaret(w, prev(look.selEnd), extend);
      return;
    case keys::Right:
      editSetCaret(w, next(look.selEnd), extend);
      return;
    case keys::Home:
      editSetCaret(w, 0, extend);
      return;
    case keys::End:
      editSetCaret(w, static_cast<int>(text.size()), extend);
      return;
    case keys::BackSpace:
    case keys::Delete:
      if (look.selStart == look.selEnd) {
        if (e.keysym == keys::BackSpace)
          editSetCaret(w, prev(look.selEnd), true);
        else
          editSetCaret(w, next(look.selEnd), true);
      }
      if (std::shared_ptr<Window> again = findWindow(w.hwnd)) {
        if (editLookOf(*again).selStart != editLookOf(*again).selEnd) editInsert(*again, "");
      }
      return;
    default:
      if ((e.modifiers & kControl) && (e.keysym == keys::a || e.keysym == keys::A)) {
        editSetCaret(w, 0, false);
        editSetCaret(w, static_cast<int>(text.size()), true);
        return;
      }
      if (!e.text.empty() && !(e.modifiers & kControl) && static_cast<unsigned char>(e.text[0]) >= 0x20 &&
          !(w.style & ES_READONLY)) {
        editInsert(w, e.text);
      }
  }
}

// Where a move by the keys lands in `count` rows of which `page` are shown from `top`, starting
// from `at` (-1: none yet). PageDown goes to the last row shown, or a page further when it is
// there already; PageUp likewise upwards.
int keyTarget(unsigned long key, int at, int count, int top, int page) {
  page = std::max(1, page);
  int target = at;
  switch (key) {
    case keys::Up:
      target = at < 0 ? 0 : at - 1;
      break;
    case keys::Down:
      target = at < 0 ? 0 : at + 1;
      break;
    case keys::Home:
      target = 0;
      break;
    case keys::End:
      target = count - 1;
      break;
    case keys::Prior:
      target = at < 0 ? 0 : at > top ? top : at - (page - 1);
      break;
    case keys::Next: {
      int last = top + page - 1;
      target = at < 0 ? 0 : at < last ? last : at + (page - 1);
      break;
    }
    default:
      return -1;
  }
  return std::max(0, std::min(target, count - 1));
}

bool isMoveKey(unsigned long key) {
  return key == keys::Up || key == keys::Down || key == keys::Home || key == keys::End || key == keys::Prior ||
         key == keys::Next;
}

int focusedRow(const ListLook& look) {
  for (size_t i = 0; i < look.state.items.size(); ++i) {
    if (look.state.items[i].focused) return static_cast<int>(i);
  }
  return -1;
}

// The visible items of a tree with their texts, and where the selection is among them.
struct TreeRows {
  std::vector<HTREEITEM> items;
  std::vector<std::string> texts;
  int selected = -1, top = 0, page = 1;
};
TreeRows treeRowsOf(Window& c) {
  TreeRows rows;
  rows.items = treeVisibleItems(c);
  TreeState state = treeStateOf(c);
  for (HTREEITEM h : rows.items) {
    auto it =
        std::find_if(state.items.begin(), state.items.end(), [h](const TreeItemState& i) { return i.handle == h; });
    rows.texts.push_back(it != state.items.end() ? it->text : std::string());
  }
  for (size_t i = 0; i < rows.items.size(); ++i) {
    if (rows.items[i] == state.selected) rows.selected = static_cast<int>(i);
    if (rows.items[i] == state.firstVisible) rows.top = static_cast<int>(i);
  }
  TreeLook look = treeLookOf(c);
  rows.page = std::max(1, static_cast<int>(look.area.bottom) / std::max(1, look.rowHeight));
  return rows;
}

// The arrows, PageUp, PageDown, Home and End in lists, trees and combo boxes; true when taken.
bool moveKey(Window& c, const InputEvent& e) {
  unsigned long key = e.keysym;
  bool up = key == keys::Up, down = key == keys::Down;
  if (c.kind == WindowKind::ListView && isMoveKey(key)) {
    ListLook look = listLookOf(c);
    int count = static_cast<int>(look.state.items.size());
    if (count == 0) return true;
    int page = (static_cast<int>(look.area.bottom) - look.headerHeight) / std::max(1, look.rowHeight);
    int target = keyTarget(key, focusedRow(look), count, look.topIndex, page);
    listMoveTo(c, target, (e.modifiers & kShift) != 0, (e.modifiers & kControl) != 0);
    return true;
  }
  if (c.kind == WindowKind::TreeView) {
    TreeRows rows = treeRowsOf(c);
    if (isMoveKey(key)) {
      if (rows.items.empty()) return true;
      int target = keyTarget(key, rows.selected, static_cast<int>(rows.items.size()), rows.top, rows.page);
      treeKeySelect(c, rows.items[static_cast<size_t>(target)]);
      return true;
    }
    HTREEITEM sel = rows.selected >= 0 ? rows.items[static_cast<size_t>(rows.selected)] : nullptr;
    if ((key == keys::Left || key == keys::Right) && sel != nullptr) {
      if (!treeToggle(c, sel, key == keys::Left ? TVE_COLLAPSE : TVE_EXPAND) && key == keys::Left) {
        if (HTREEITEM parent = treeNeighbour(c, sel, TVGN_PARENT)) treeKeySelect(c, parent);
      }
      return true;
    }
  }
  if (c.kind == WindowKind::ComboBox && (up || down)) {
    ComboLook look = comboLookOf(c);
    int count = static_cast<int>(look.state.items.size());
    if (look.state.dropped) {
      int hot = look.hot < 0 ? look.state.selection : look.hot;
      comboSetHot(c, std::max(0, std::min(hot + (up ? -1 : 1), count - 1)));
    } else if (count > 0) {
      comboSelect(c, std::max(0, std::min(look.state.selection + (up ? -1 : 1), count - 1)));
    }
    return true;
  }
  return false;
}

// Typing in a list or tree goes to the next row whose text starts with what was typed within a
// second; the same letter typed again and again steps through the rows that start with it.
constexpr unsigned long kTypeAheadMs = 1000;

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

bool typeAhead(Window& c, const InputEvent& e, InputState& in) {
  if (c.kind != WindowKind::ListView && c.kind != WindowKind::TreeView) return false;
  if (e.text.empty() || static_cast<unsigned char>(e.text[0]) < 0x20 || (e.modifiers & (kControl | kAlt))) return false;
  bool fresh = in.searchWindow != c.hwnd || e.time - in.searchTime > kTypeAheadMs;
  in.searchWindow = c.hwnd;
  in.searchTime = e.time;
  in.search = fresh ? e.text : in.search + e.text;
  bool repeated = in.search.find_first_not_of(e.text) == std::string::npos;
  std::string prefix = repeated ? e.text : in.search;
  std::vector<std::string> texts;
  int at = -1;
  TreeRows rows;
  if (c.kind == WindowKind::ListView) {
    ListLook look = listLookOf(c);
    for (const ListItemState& item : look.state.items)
      texts.push_back(item.texts.empty() ? std::string() : item.texts[0]);
    at = focusedRow(look);
  } else {
    rows = treeRowsOf(c);
    texts = rows.texts;
    at = rows.selected;
  }
  int count = static_cast<int>(texts.size());
  // A new search starts after the current row; a longer one may stay on it.
  int start = fresh || repeated ? at + 1 : std::max(at, 0);
  for (int n = 0; n < count; ++n) {
    int i = ((start + n) % count + count) % count;
    if (!startsWithNoCase(texts[static_cast<size_t>(i)], prefix)) continue;
    if (c.kind == WindowKind::ListView)
      listMoveTo(c, i, false, false);
    else
      treeKeySelect(c, rows.items[static_cast<size_t>(i)]);
    break;
  }
  return true;
}

// --- Mnemonics -------------------------------------------------------------------------------------
// The letter after a single '&' of a text, lower-cased; 0 when it has none.
char mnemonicOf(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] != '&') return static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
    ++i;
  }
  return 0;
}

bool isLabel(const Window& w) { return (w.kind == WindowKind::Static && !(w.style & SS_NOPREFIX)) || isGroupBox(w); }

// A key that names a control by its mnemonic: a button is pressed, a label gives the focus to
// the next control Tab would visit after it. The search starts after the control with the focus.
// False when no control has that mnemonic.
bool mnemonic(Window& top, const std::shared_ptr<Window>& focus, char letter) {
  letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  std::vector<HWND> controls;
  dialogControls(top, controls, true);
  if (controls.empty()) return false;
  auto from = focus ? std::find(controls.begin(), controls.end(), focus->hwnd) : controls.end();
  size_t start = from == controls.end() ? 0 : static_cast<size_t>(from - controls.begin()) + 1;
  for (size_t n = 0; n < controls.size(); ++n) {
    size_t i = (start + n) % controls.size();
    std::shared_ptr<Window> c = findWindow(controls[i]);
    if (!c || mnemonicOf(c->text) != letter) continue;
    if (c->kind == WindowKind::Button && !isGroupBox(*c)) {
      // A push button acts where the focus is; check boxes and radio buttons take the focus.
      if (isPushButton(*c))
        commandParent(*c, BN_CLICKED);
      else
        buttonClick(*c);
      return true;
    }
    if (!isLabel(*c)) continue;
    std::vector<HWND> stops;
    tabStops(top, stops);
    for (size_t j = i + 1; j < controls.size(); ++j) {
      if (std::find(stops.begin(), stops.end(), controls[j]) != stops.end()) {
        focusControl(controls[j]);
        return true;
      }
    }
    return true;
  }
  return false;
}

void key(Window& top, const InputEvent& e) {
  ThreadQueue& queue = *top.queue;
  std::shared_ptr<Window> f = focusIn(queue, top);
  HWND fh = f ? f->hwnd : nullptr;
  if (f && f->kind == WindowKind::ComboBox && comboLookOf(*f).state.dropped) {
    if (e.keysym == keys::Escape) {
      comboCancel(*f);
      return;
    }
    if (e.keysym == keys::Return || e.keysym == keys::KP_Enter) {
      ComboLook look = comboLookOf(*f);
      int pick = look.hot >= 0 ? look.hot : look.state.selection;
      if (pick >= 0)
        comboPick(*f, pick);
      else
        comboCancel(*f);
      return;
    }
  }
  const bool printable = !e.text.empty() && static_cast<unsigned char>(e.text[0]) > 0x20 && !(e.modifiers & kControl);
  if ((e.modifiers & kAlt) && printable) {
    mnemonic(top, f, e.text[0]);
    return;
  }
  switch (e.keysym) {
    case keys::Tab:
      moveFocus(top, false);
      return;
    case keys::ISO_Left_Tab:
      moveFocus(top, true);
      return;
    case keys::Return:
    case keys::KP_Enter:
      if (f && f->kind == WindowKind::Edit && (f->style & ES_MULTILINE)) break;
      if (f && isPushButton(*f)) {
        buttonClick(*f);
        return;
      }
      pressDefault(top);
      return;
    case keys::Escape: {
      HWND cancel = GetDlgItem(top.hwnd, IDCANCEL);
      if (cancel == nullptr || acceptsInput(cancel)) command(top, IDCANCEL);
      return;
    }
    case keys::Space:
      if (f && f->kind == WindowKind::Button) {
        buttonClick(*f);
        return;
      }
      if (f && f->kind == WindowKind::ListView) {
        ListLook look = listLookOf(*f);
        int row = focusedRow(look);
        if (row >= 0 && (e.modifiers & kControl) && !(f->style & LVS_SINGLESEL))
          listToggleSelected(*f, row);
        else if (row >= 0 && (look.state.extendedStyle & LVS_EX_CHECKBOXES))
          listToggleCheck(*f, row);
        return;
      }
      break;
    case keys::Left:
    case keys::Right:
      if (f && f->kind == WindowKind::Tab) {
        TabLook look = tabLookOf(*f);
        int to = look.state.selection + (e.keysym == keys::Left ? -1 : 1);
        if (to >= 0 && to < static_cast<int>(look.state.items.size())) tabClick(*f, to);
        return;
      }
      break;
    case keys::F4:
      if (f && f->kind == WindowKind::ComboBox) {
        comboDrop(*f);
        return;
      }
      break;
    default:
      break;
  }
  if (!f || !acceptsInput(fh)) {
    if (printable) mnemonic(top, f, e.text[0]);
    return;
  }
  if (f->kind == WindowKind::Edit || (f->kind == WindowKind::ComboBox && (f->style & 0x3u) == CBS_DROPDOWN)) {
    if (f->kind == WindowKind::Edit)
      editKey(*f, e);
    else if (!e.text.empty() && static_cast<unsigned char>(e.text[0]) >= 0x20)
      editInsert(*f, e.text);
    return;
  }
  if (moveKey(*f, e) || typeAhead(*f, e, inputOf(queue))) return;
  // Controls that take no characters leave the letters to the mnemonics.
  if (printable) mnemonic(top, f, e.text[0]);
}

}  // namespace

void handleInput(const InputEvent& e) {
  std::shared_ptr<Window> top = findWindow(e.window);
  if (!top || top->destroying) return;
  if (e.kind == InputEvent::Close) {
    if (acceptsInput(top->hwnd)) dispatch(top->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return;
  }
  // Moved by someone else (a window manager): the window is where the screen has it, disabled
  // or not, as after a drag by its caption.
  if (e.kind == InputEvent::Moved) {
    setWindowSize(*top, RECT{e.rootX, e.rootY, e.rootX + top->width(), e.rootY + top->height()}, false);
    return;
  }
  // An owner of a modal dialog takes no input until the dialog ends.
  if (!acceptsInput(top->hwnd)) {
    if (e.kind == InputEvent::Release) release(*top, e);
    return;
  }
  switch (e.kind) {
    case InputEvent::Press:
      if (e.button == 1) press(*top, e);
      return;
    case InputEvent::Release:
      if (e.button == 1) release(*top, e);
      return;
    case InputEvent::Motion:
      motion(*top, e);
      return;
    case InputEvent::Wheel:
      wheel(*top, e);
      return;
    case InputEvent::Key:
      key(*top, e);
      return;
    default:
      return;
  }
}

}  // namespace detail
}  // namespace ui
