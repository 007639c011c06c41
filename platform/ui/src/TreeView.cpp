// The tree view: rows of 16 pixels, 19 pixels of indent per level; in a row the expand button,
// the check box (state icon, 16 pixels), the icon (16) and the label.
#include "Internal.h"
#include "Look.h"
#include "Text.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <strings.h>

namespace ui {
namespace detail {

namespace {

const int kIndent = 19;

struct TreeItem {
  HTREEITEM handle = nullptr;
  HTREEITEM parent = nullptr;  // null for items at the root
  std::vector<HTREEITEM> children;
  std::string text;
  int image = 0;
  int selectedImage = 0;
  UINT state = 0;
  LPARAM lParam = 0;
  int childrenFlag = 0;  // cChildren given at insertion
};

struct TreeData : ControlData {
  std::map<uintptr_t, TreeItem> items;
  std::vector<HTREEITEM> roots;
  HTREEITEM selected = nullptr;
  HTREEITEM firstVisible = nullptr;
  HTREEITEM dropHilite = nullptr;
  HIMAGELIST normalImages = nullptr;
  HIMAGELIST stateImages = nullptr;
  HIMAGELIST ownStateImages = nullptr;
  ~TreeData() override {
    if (ownStateImages != nullptr) ImageList_Destroy(ownStateImages);
  }
};

TreeData& dataOf(Window& w) { return static_cast<TreeData&>(*w.data); }

bool isRootHandle(HTREEITEM h) { return h == nullptr || h == TVI_ROOT; }

TreeItem* find(TreeData& d, HTREEITEM h) {
  auto it = d.items.find(reinterpret_cast<uintptr_t>(h));
  return it == d.items.end() ? nullptr : &it->second;
}

std::vector<HTREEITEM>& siblingsOf(TreeData& d, HTREEITEM parent) {
  if (parent == nullptr) return d.roots;
  return find(d, parent)->children;
}

bool hasChildren(const TreeItem& item) { return !item.children.empty() || item.childrenFlag > 0; }

int depthOf(TreeData& d, const TreeItem& item) {
  int depth = 0;
  for (TreeItem* p = find(d, item.parent); p != nullptr; p = find(d, p->parent)) ++depth;
  return depth;
}

void collectVisible(TreeData& d, const std::vector<HTREEITEM>& level, std::vector<HTREEITEM>& out) {
  for (HTREEITEM h : level) {
    out.push_back(h);
    TreeItem* item = find(d, h);
    if (item != nullptr && (item->state & TVIS_EXPANDED)) collectVisible(d, item->children, out);
  }
}

std::vector<HTREEITEM> visibleItems(TreeData& d) {
  std::vector<HTREEITEM> out;
  collectVisible(d, d.roots, out);
  return out;
}

bool isShown(TreeData& d, const TreeItem& item) {
  for (TreeItem* p = find(d, item.parent); p != nullptr; p = find(d, p->parent)) {
    if (!(p->state & TVIS_EXPANDED)) return false;
  }
  return true;
}

bool isDescendant(TreeData& d, HTREEITEM ancestor, HTREEITEM item) {
  for (TreeItem* p = find(d, item); p != nullptr; p = find(d, p->parent)) {
    if (p->handle == ancestor) return true;
  }
  return false;
}

LOGFONT fontOfWindow(const Window& w) { return windowFont(w); }

struct ItemParts {
  RECT row, button, state, icon, label;
};

bool rowIndex(TreeData& d, HTREEITEM h, int& row) {
  std::vector<HTREEITEM> visible = visibleItems(d);
  auto it = std::find(visible.begin(), visible.end(), h);
  if (it == visible.end()) return false;
  auto top = d.firstVisible != nullptr ? std::find(visible.begin(), visible.end(), d.firstVisible) : visible.begin();
  if (top == visible.end()) top = visible.begin();
  row = static_cast<int>(it - top);
  return true;
}

ItemParts partsOf(Window& w, TreeData& d, const TreeItem& item, int row) {
  ItemParts p{};
  int top = row * kRowHeight;
  int depth = depthOf(d, item);
  int x = (depth + ((w.style & TVS_LINESATROOT) ? 1 : 0)) * kIndent;
  p.row = RECT{0, top, w.width(), top + kRowHeight};
  bool button = (w.style & TVS_HASBUTTONS) && hasChildren(item) && (depth > 0 || (w.style & TVS_LINESATROOT));
  p.button = button ? RECT{x - kIndent, top, x, top + kRowHeight} : RECT{x, top, x, top + kRowHeight};
  bool stateIcon = d.stateImages != nullptr && (item.state & TVIS_STATEIMAGEMASK) != 0;
  p.state = RECT{x, top, stateIcon ? x + kIconWidth : x, top + kRowHeight};
  x = p.state.right;
  p.icon = RECT{x, top, d.normalImages != nullptr ? x + kIconWidth : x, top + kRowHeight};
  x = p.icon.right;
  p.label = RECT{x, top, x + textExtent(fontOfWindow(w), item.text).cx + 4, top + kRowHeight};
  return p;
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

HTREEITEM hitTest(Window& w, TreeData& d, POINT p, UINT& flags) {
  flags = TVHT_NOWHERE;
  if (p.y < 0) return nullptr;
  std::vector<HTREEITEM> visible = visibleItems(d);
  auto top = d.firstVisible != nullptr ? std::find(visible.begin(), visible.end(), d.firstVisible) : visible.begin();
  if (top == visible.end()) top = visible.begin();
  int row = p.y / kRowHeight;
  if (row >= visible.end() - top) return nullptr;
  HTREEITEM h = *(top + row);
  TreeItem* item = find(d, h);
  ItemParts parts = partsOf(w, d, *item, row);
  if (inside(parts.button, p)) {
    flags = TVHT_ONITEMBUTTON;
  } else if (inside(parts.state, p)) {
    flags = TVHT_ONITEMSTATEICON;
  } else if (inside(parts.icon, p)) {
    flags = TVHT_ONITEMICON;
  } else if (inside(parts.label, p)) {
    flags = TVHT_ONITEMLABEL;
  } else if (p.x < parts.button.left || p.x < parts.state.left) {
    flags = TVHT_ONITEMINDENT;
  } else {
    flags = TVHT_ONITEMRIGHT;
  }
  return h;
}

void fillItem(TreeData& d, HTREEITEM h, TVITEM& out) {
  out = TVITEM{};
  TreeItem* item = find(d, h);
  if (item == nullptr) return;
  out.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
  out.hItem = h;
  out.state = item->state;
  out.stateMask = 0xFFFFFFFFu;
  out.lParam = item->lParam;
}

LRESULT notifyTree(Window& w, UINT code, UINT action, HTREEITEM oldItem, HTREEITEM newItem) {
  NMTREEVIEW nm{};
  nm.hdr.code = code;
  nm.action = action;
  TreeData& d = dataOf(w);
  fillItem(d, oldItem, nm.itemOld);
  fillItem(d, newItem, nm.itemNew);
  nm.ptDrag = w.queue->messagePos;
  return notifyParent(w, nm.hdr);
}

bool expandItem(Window& w, HTREEITEM h, UINT code, bool byUser);

void showAncestors(Window& w, HTREEITEM h) {
  std::vector<HTREEITEM> chain;
  TreeData& d = dataOf(w);
  for (TreeItem* p = find(d, h) ? find(d, find(d, h)->parent) : nullptr; p != nullptr; p = find(d, p->parent)) {
    chain.push_back(p->handle);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) expandItem(w, *it, TVE_EXPAND, false);
}

bool selectItem(Window& w, HTREEITEM h, UINT cause) {
  TreeData& d = dataOf(w);
  if (h != nullptr && find(d, h) == nullptr) return false;
  HWND hwnd = w.hwnd;
  if (h == d.selected) {
    if (h != nullptr) showAncestors(w, h);
    return true;
  }
  HTREEITEM previous = d.selected;
  if (notifyTree(w, TVN_SELCHANGING, cause, previous, h) != 0) return false;
  if (!findWindow(hwnd)) return false;
  TreeData& again = dataOf(w);
  if (h != nullptr && find(again, h) == nullptr) return false;
  if (TreeItem* old = find(again, again.selected)) old->state &= ~TVIS_SELECTED;
  previous = again.selected;
  again.selected = h;
  if (TreeItem* item = find(again, h)) item->state |= TVIS_SELECTED;
  invalidate(w, nullptr, true);
  if (h != nullptr) showAncestors(w, h);
  if (!findWindow(hwnd)) return true;
  notifyTree(w, TVN_SELCHANGED, cause, previous, dataOf(w).selected);
  return true;
}

// A programmatic expansion notifies only the first time; the user's always does.
bool expandItem(Window& w, HTREEITEM h, UINT code, bool byUser) {
  TreeData& d = dataOf(w);
  TreeItem* item = find(d, h);
  if (item == nullptr) return false;
  bool expanded = (item->state & TVIS_EXPANDED) != 0;
  UINT action = code & 0x3u;
  if (action == TVE_TOGGLE) action = expanded ? TVE_COLLAPSE : TVE_EXPAND;
  if (action == TVE_EXPAND && !hasChildren(*item)) return false;
  if ((action == TVE_EXPAND) == expanded) return true;
  HWND hwnd = w.hwnd;
  bool notify = byUser || !(item->state & TVIS_EXPANDEDONCE);
  if (notify && notifyTree(w, TVN_ITEMEXPANDING, action, nullptr, h) != 0) return false;
  if (!findWindow(hwnd) || !(item = find(dataOf(w), h))) return false;
  if (action == TVE_EXPAND) {
    item->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
  } else {
    item->state &= ~TVIS_EXPANDED;
  }
  invalidate(w, nullptr, true);
  if (notify) notifyTree(w, TVN_ITEMEXPANDED, action, nullptr, h);
  if (action == TVE_COLLAPSE && findWindow(hwnd)) {
    TreeData& again = dataOf(w);
    if (again.selected != nullptr && again.selected != h && isDescendant(again, h, again.selected)) {
      selectItem(w, h, TVC_UNKNOWN);
    }
  }
  return true;
}

void removeBranch(Window& w, HTREEITEM h) {
  notifyTree(w, TVN_DELETEITEM, 0, h, nullptr);
  TreeData& d = dataOf(w);
  TreeItem* item = find(d, h);
  if (item == nullptr) return;
  std::vector<HTREEITEM> children = item->children;
  for (HTREEITEM child : children) removeBranch(w, child);
  TreeData& again = dataOf(w);
  if (again.firstVisible == h) again.firstVisible = nullptr;
  if (again.dropHilite == h) again.dropHilite = nullptr;
  again.items.erase(reinterpret_cast<uintptr_t>(h));
}

bool deleteItem(Window& w, HTREEITEM h) {
  TreeData& d = dataOf(w);
  if (isRootHandle(h)) {
    std::vector<HTREEITEM> roots = d.roots;
    d.selected = nullptr;
    for (HTREEITEM root : roots) removeBranch(w, root);
    dataOf(w).roots.clear();
    dataOf(w).firstVisible = nullptr;
    invalidate(w, nullptr, true);
    return true;
  }
  TreeItem* item = find(d, h);
  if (item == nullptr) return false;
  HTREEITEM newSelection = nullptr;
  if (d.selected != nullptr && isDescendant(d, h, d.selected)) {
    std::vector<HTREEITEM>& siblings = siblingsOf(d, item->parent);
    auto self = std::find(siblings.begin(), siblings.end(), h);
    if (self + 1 != siblings.end()) {
      newSelection = *(self + 1);
    } else if (item->parent != nullptr) {
      newSelection = item->parent;
    } else if (self != siblings.begin()) {
      newSelection = *(self - 1);
    }
    d.selected = nullptr;
  }
  HTREEITEM parent = item->parent;
  HWND hwnd = w.hwnd;
  removeBranch(w, h);
  TreeData& again = dataOf(w);
  if (parent == nullptr || find(again, parent) != nullptr) {
    std::vector<HTREEITEM>& siblings = siblingsOf(again, parent);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), h), siblings.end());
  }
  invalidate(w, nullptr, true);
  if (newSelection != nullptr && findWindow(hwnd) && find(dataOf(w), newSelection) != nullptr) {
    selectItem(w, newSelection, TVC_UNKNOWN);
  }
  return true;
}

HTREEITEM insertItem(Window& w, const TVINSERTSTRUCT& insert) {
  TreeData& d = dataOf(w);
  HTREEITEM parent = isRootHandle(insert.hParent) ? nullptr : insert.hParent;
  if (parent != nullptr && find(d, parent) == nullptr) return nullptr;
  const TVITEM& in = insert.item;
  TreeItem item;
  item.handle = makeHandle<HTREEITEM>(newHandleValue());
  item.parent = parent;
  if ((in.mask & TVIF_TEXT) && in.pszText != nullptr) item.text = in.pszText;
  if (in.mask & TVIF_IMAGE) item.image = in.iImage;
  if (in.mask & TVIF_SELECTEDIMAGE) item.selectedImage = in.iSelectedImage;
  if (in.mask & TVIF_PARAM) item.lParam = in.lParam;
  if (in.mask & TVIF_STATE) item.state = in.state & in.stateMask & ~TVIS_SELECTED;
  if (in.mask & TVIF_CHILDREN) item.childrenFlag = in.cChildren;
  if ((w.style & TVS_CHECKBOXES) && (item.state & TVIS_STATEIMAGEMASK) == 0) item.state |= INDEXTOSTATEIMAGEMASK(1);
  std::vector<HTREEITEM>& siblings = siblingsOf(d, parent);
  auto at = siblings.end();
  if (insert.hInsertAfter == TVI_FIRST) {
    at = siblings.begin();
  } else if (insert.hInsertAfter == TVI_SORT) {
    at = siblings.begin();
    while (at != siblings.end() && strcasecmp(find(d, *at)->text.c_str(), item.text.c_str()) <= 0) ++at;
  } else if (insert.hInsertAfter != TVI_LAST && insert.hInsertAfter != nullptr) {
    auto after = std::find(siblings.begin(), siblings.end(), insert.hInsertAfter);
    if (after != siblings.end()) at = after + 1;
  }
  HTREEITEM handle = item.handle;
  siblings.insert(at, handle);
  d.items.emplace(reinterpret_cast<uintptr_t>(handle), std::move(item));
  invalidate(w, nullptr, true);
  return handle;
}

HTREEITEM nextItem(TreeData& d, HTREEITEM h, UINT code) {
  TreeItem* item = find(d, h);
  switch (code) {
    case TVGN_ROOT:
      return d.roots.empty() ? nullptr : d.roots.front();
    case TVGN_CARET:
      return d.selected;
    case TVGN_DROPHILITE:
      return d.dropHilite;
    case TVGN_FIRSTVISIBLE:
      return d.firstVisible != nullptr ? d.firstVisible : (d.roots.empty() ? nullptr : d.roots.front());
    case TVGN_CHILD:
      if (isRootHandle(h)) return d.roots.empty() ? nullptr : d.roots.front();
      return item != nullptr && !item->children.empty() ? item->children.front() : nullptr;
    case TVGN_PARENT:
      return item != nullptr ? item->parent : nullptr;
    case TVGN_NEXT:
    case TVGN_PREVIOUS: {
      if (item == nullptr) return nullptr;
      std::vector<HTREEITEM>& siblings = siblingsOf(d, item->parent);
      auto self = std::find(siblings.begin(), siblings.end(), h);
      if (code == TVGN_NEXT) return self + 1 != siblings.end() ? *(self + 1) : nullptr;
      return self != siblings.begin() ? *(self - 1) : nullptr;
    }
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
      std::vector<HTREEITEM> visible = visibleItems(d);
      auto self = std::find(visible.begin(), visible.end(), h);
      if (self == visible.end()) return nullptr;
      if (code == TVGN_NEXTVISIBLE) return self + 1 != visible.end() ? *(self + 1) : nullptr;
      return self != visible.begin() ? *(self - 1) : nullptr;
    }
    default:
      return nullptr;
  }
}

size_t countItems(const TreeData& d) { return d.items.size(); }

void addStates(TreeData& d, const std::vector<HTREEITEM>& level, int depth, TreeState& out) {
  for (HTREEITEM h : level) {
    TreeItem* item = find(d, h);
    if (item == nullptr) continue;
    TreeItemState s;
    s.handle = h;
    s.parent = item->parent;
    s.depth = depth;
    s.text = item->text;
    s.image = item->image;
    s.selectedImage = item->selectedImage;
    s.state = item->state;
    s.checked = ((item->state & TVIS_STATEIMAGEMASK) >> 12) == 2;
    s.expanded = (item->state & TVIS_EXPANDED) != 0;
    s.selected = d.selected == h;
    s.lParam = item->lParam;
    out.items.push_back(s);
    addStates(d, item->children, depth + 1, out);
  }
}

}  // namespace

std::unique_ptr<ControlData> makeTreeData() { return std::make_unique<TreeData>(); }

LRESULT treeProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  TreeData& d = dataOf(w);
  switch (message) {
    case WM_CREATE:
    case WM_STYLECHANGED:
      // The check boxes come with a state image list of their own.
      if ((w.style & TVS_CHECKBOXES) && d.stateImages == nullptr) {
        if (d.ownStateImages == nullptr) d.ownStateImages = createStateImageList();
        d.stateImages = d.ownStateImages;
      }
      return defaultProc(w, message, wParam, lParam);
    case TVM_INSERTITEM:
      return lParam != 0 ? reinterpret_cast<LRESULT>(insertItem(w, *reinterpret_cast<const TVINSERTSTRUCT*>(lParam)))
                         : 0;
    case TVM_DELETEITEM:
      return deleteItem(w, reinterpret_cast<HTREEITEM>(lParam)) ? TRUE : FALSE;
    case TVM_EXPAND:
      return expandItem(w, reinterpret_cast<HTREEITEM>(lParam), static_cast<UINT>(wParam), false) ? TRUE : FALSE;
    case TVM_GETCOUNT:
      return static_cast<LRESULT>(countItems(d));
    case TVM_GETNEXTITEM:
      return reinterpret_cast<LRESULT>(nextItem(d, reinterpret_cast<HTREEITEM>(lParam), static_cast<UINT>(wParam)));
    case TVM_SELECTITEM: {
      HTREEITEM h = reinterpret_cast<HTREEITEM>(lParam);
      switch (static_cast<UINT>(wParam)) {
        case TVGN_CARET:
          return selectItem(w, h, TVC_UNKNOWN) ? TRUE : FALSE;
        case TVGN_FIRSTVISIBLE:
          if (find(d, h) == nullptr) return FALSE;
          showAncestors(w, h);
          dataOf(w).firstVisible = h;
          invalidate(w, nullptr, true);
          return TRUE;
        case TVGN_DROPHILITE:
          if (h != nullptr && find(d, h) == nullptr) return FALSE;
          if (TreeItem* old = find(d, d.dropHilite)) old->state &= ~TVIS_DROPHILITED;
          d.dropHilite = h;
          if (TreeItem* item = find(d, h)) item->state |= TVIS_DROPHILITED;
          return TRUE;
        default:
          return FALSE;
      }
    }
    case TVM_ENSUREVISIBLE: {
      HTREEITEM h = reinterpret_cast<HTREEITEM>(lParam);
      if (find(d, h) == nullptr) return FALSE;
      showAncestors(w, h);
      return TRUE;
    }
    case TVM_GETITEM: {
      TVITEM* out = reinterpret_cast<TVITEM*>(lParam);
      TreeItem* item = out != nullptr ? find(d, out->hItem) : nullptr;
      if (item == nullptr) return FALSE;
      if ((out->mask & TVIF_TEXT) && out->pszText != nullptr && out->cchTextMax > 0) {
        size_t n = std::min(item->text.size(), static_cast<size_t>(out->cchTextMax) - 1);
        std::memcpy(out->pszText, item->text.data(), n);
        out->pszText[n] = '\0';
      }
      if (out->mask & TVIF_IMAGE) out->iImage = item->image;
      if (out->mask & TVIF_SELECTEDIMAGE) out->iSelectedImage = item->selectedImage;
      if (out->mask & TVIF_PARAM) out->lParam = item->lParam;
      if (out->mask & TVIF_STATE) out->state = item->state & out->stateMask;
      if (out->mask & TVIF_CHILDREN) out->cChildren = hasChildren(*item) ? 1 : 0;
      return TRUE;
    }
    case TVM_SETITEM: {
      const TVITEM* in = reinterpret_cast<const TVITEM*>(lParam);
      TreeItem* item = in != nullptr ? find(d, in->hItem) : nullptr;
      if (item == nullptr) return FALSE;
      if ((in->mask & TVIF_TEXT) && in->pszText != nullptr) item->text = in->pszText;
      if (in->mask & TVIF_IMAGE) item->image = in->iImage;
      if (in->mask & TVIF_SELECTEDIMAGE) item->selectedImage = in->iSelectedImage;
      if (in->mask & TVIF_PARAM) item->lParam = in->lParam;
      if (in->mask & TVIF_STATE) item->state = (item->state & ~in->stateMask) | (in->state & in->stateMask);
      if (in->mask & TVIF_CHILDREN) item->childrenFlag = in->cChildren;
      invalidate(w, nullptr, true);
      return TRUE;
    }
    case TVM_HITTEST: {
      TVHITTESTINFO* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
      if (info == nullptr) return 0;
      info->hItem = hitTest(w, d, info->pt, info->flags);
      return reinterpret_cast<LRESULT>(info->hItem);
    }
    case TVM_GETITEMRECT: {
      RECT* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr) return FALSE;
      HTREEITEM h;
      std::memcpy(&h, rect, sizeof h);
      TreeItem* item = find(d, h);
      int row = 0;
      if (item == nullptr || !rowIndex(d, h, row)) return FALSE;
      ItemParts parts = partsOf(w, d, *item, row);
      *rect = wParam != 0 ? parts.label : parts.row;
      return TRUE;
    }
    case TVM_SETIMAGELIST: {
      HIMAGELIST list = reinterpret_cast<HIMAGELIST>(lParam);
      HIMAGELIST old;
      if (wParam == TVSIL_STATE) {
        old = d.stateImages;
        d.stateImages = list;
      } else {
        old = d.normalImages;
        d.normalImages = list;
      }
      invalidate(w, nullptr, true);
      return reinterpret_cast<LRESULT>(old);
    }
    case TVM_GETIMAGELIST:
      return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE ? d.stateImages : d.normalImages);
    case WM_DESTROY:
      deleteItem(w, TVI_ROOT);
      return defaultProc(w, message, wParam, lParam);
    default:
      return defaultProc(w, message, wParam, lParam);
  }
}

bool treeClick(Window& w, HTREEITEM h, TreePart part) {
  TreeData& d = dataOf(w);
  TreeItem* item = find(d, h);
  int row = 0;
  if (item == nullptr || !isShown(d, *item) || !rowIndex(d, h, row)) return false;
  ItemParts parts = partsOf(w, d, *item, row);
  const RECT* target = nullptr;
  switch (part) {
    case TreePart::Button:
      target = &parts.button;
      break;
    case TreePart::StateIcon:
      target = &parts.state;
      break;
    case TreePart::Icon:
      target = &parts.icon;
      break;
    case TreePart::Label:
      target = &parts.label;
      break;
  }
  if (target->right <= target->left) return false;
  POINT point{(target->left + target->right) / 2, (target->top + target->bottom) / 2};
  HWND hwnd = w.hwnd;
  setMessagePos(w, point);
  SetFocus(hwnd);
  if (!findWindow(hwnd)) return true;
  // NM_CLICK comes first; a nonzero answer keeps the tree from acting on the click.
  NMHDR click{};
  click.code = NM_CLICK;
  if (notifyParent(w, click) != 0 || !findWindow(hwnd)) return true;
  TreeData& again = dataOf(w);
  TreeItem* clicked = find(again, h);
  if (clicked == nullptr) return true;
  switch (part) {
    case TreePart::Button:
      expandItem(w, h, TVE_TOGGLE, true);
      break;
    case TreePart::StateIcon: {
      UINT image = (clicked->state & TVIS_STATEIMAGEMASK) >> 12;
      clicked->state = (clicked->state & ~TVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(image == 2 ? 1 : 2);
      invalidate(w, nullptr, true);
      break;
    }
    case TreePart::Icon:
    case TreePart::Label:
      selectItem(w, h, TVC_BYMOUSE);
      break;
  }
  return true;
}

namespace {

int visibleRowsOf(const Window& w, bool scrollBar) {
  int edge = edgeOf(w);
  (void)scrollBar;
  return std::max(1, (w.height() - 2 * edge) / kRowHeight);
}

int firstRowOf(TreeData& d, const std::vector<HTREEITEM>& visible) {
  auto top = d.firstVisible != nullptr ? std::find(visible.begin(), visible.end(), d.firstVisible) : visible.begin();
  return top == visible.end() ? 0 : static_cast<int>(top - visible.begin());
}

void showRow(Window& w, TreeData& d, HTREEITEM h) {
  std::vector<HTREEITEM> visible = visibleItems(d);
  auto it = std::find(visible.begin(), visible.end(), h);
  if (it == visible.end()) return;
  int row = static_cast<int>(it - visible.begin());
  int first = firstRowOf(d, visible);
  int rows = visibleRowsOf(w, true);
  if (row < first) first = row;
  if (row >= first + rows) first = row - rows + 1;
  d.firstVisible = visible[static_cast<size_t>(first)];
}

}  // namespace

TreeLook treeLookOf(Window& w) {
  TreeData& d = dataOf(w);
  TreeLook look;
  look.normalImages = d.normalImages;
  look.stateImages = d.stateImages;
  look.indent = kIndent;
  look.rowHeight = kRowHeight;
  std::vector<HTREEITEM> visible = visibleItems(d);
  int first = firstRowOf(d, visible);
  int rows = visibleRowsOf(w, true);
  int edge = edgeOf(w);
  bool bar = static_cast<int>(visible.size()) > rows;
  look.area =
      RECT{0, 0, std::max(0, w.width() - 2 * edge - (bar ? kScrollBarSize : 0)), std::max(0, w.height() - 2 * edge)};
  if (bar) {
    look.vbar = makeScrollBar(RECT{look.area.right, 0, look.area.right + kScrollBarSize, look.area.bottom}, true, first,
                              rows, static_cast<int>(visible.size()));
  }
  for (int r = first; r < static_cast<int>(visible.size()) && r <= first + rows; ++r) {
    HTREEITEM h = visible[static_cast<size_t>(r)];
    TreeItem* item = find(d, h);
    if (item == nullptr) continue;
    TreeRow row;
    row.handle = h;
    row.text = item->text;
    row.depth = depthOf(d, *item);
    row.image = item->image;
    row.selectedImage = item->selectedImage;
    row.state = item->state;
    row.hasChildren = hasChildren(*item);
    row.expanded = (item->state & TVIS_EXPANDED) != 0;
    row.selected = d.selected == h;
    const std::vector<HTREEITEM>& siblings = siblingsOf(d, item->parent);
    row.last = !siblings.empty() && siblings.back() == h;
    // From the outermost level inwards: whether the ancestor at that level has a later sibling.
    std::vector<bool> open;
    for (TreeItem* p = find(d, item->parent); p != nullptr; p = find(d, p->parent)) {
      const std::vector<HTREEITEM>& s = siblingsOf(d, p->parent);
      open.insert(open.begin(), !s.empty() && s.back() != p->handle);
    }
    row.openLevels = open;
    ItemParts parts = partsOf(w, d, *item, r - first);
    row.row = parts.row;
    row.button = parts.button;
    row.stateIcon = parts.state;
    row.icon = parts.icon;
    row.label = parts.label;
    look.rows.push_back(row);
  }
  return look;
}

void treeScrollTo(Window& w, int firstRow) {
  TreeData& d = dataOf(w);
  std::vector<HTREEITEM> visible = visibleItems(d);
  if (visible.empty()) return;
  int rows = visibleRowsOf(w, true);
  firstRow = std::max(0, std::min(firstRow, static_cast<int>(visible.size()) - rows));
  d.firstVisible = visible[static_cast<size_t>(firstRow)];
  invalidate(w, nullptr, true);
}

HTREEITEM treeHitTest(Window& w, POINT client, UINT& flags) { return hitTest(w, dataOf(w), client, flags); }

void treeKeySelect(Window& w, HTREEITEM h) {
  HWND hwnd = w.hwnd;
  if (!selectItem(w, h, TVC_BYKEYBOARD) || !findWindow(hwnd)) return;
  showRow(w, dataOf(w), h);
  invalidate(w, nullptr, true);
}

bool treeToggle(Window& w, HTREEITEM h, UINT action) {
  HWND hwnd = w.hwnd;
  bool done = expandItem(w, h, action, true);
  if (findWindow(hwnd)) {
    TreeData& d = dataOf(w);
    std::vector<HTREEITEM> visible = visibleItems(d);
    if (d.firstVisible != nullptr && std::find(visible.begin(), visible.end(), d.firstVisible) == visible.end()) {
      d.firstVisible = nullptr;
    }
  }
  return done;
}

HTREEITEM treeNeighbour(Window& w, HTREEITEM h, UINT code) { return nextItem(dataOf(w), h, code); }

std::vector<HTREEITEM> treeVisibleItems(Window& w) { return visibleItems(dataOf(w)); }

TreeState treeStateOf(Window& w) {
  TreeData& d = dataOf(w);
  TreeState state;
  addStates(d, d.roots, 0, state);
  state.selected = d.selected;
  state.firstVisible = d.firstVisible;
  state.normalImages = d.normalImages;
  state.stateImages = d.stateImages;
  return state;
}

}  // namespace detail
}  // namespace ui
