// The list view in report layout: rows of a header of 20 pixels and rows of 16; in the first
// column the check box (state icon, 16 pixels), the small icon (16) and the label.
#include "Internal.h"
#include "Look.h"
#include "Text.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace ui {
namespace detail {

namespace {

const int kHeaderHeight = 20;

struct ListItem {
  std::vector<std::string> texts;
  int image = 0;
  UINT state = 0;
  LPARAM lParam = 0;
};

struct ListColumn {
  std::string text;
  int width = 0;
  int format = LVCFMT_LEFT;
  int subItem = 0;
};

struct ListData : ControlData {
  std::vector<ListItem> items;
  std::vector<ListColumn> columns;
  DWORD exStyle = 0;
  HIMAGELIST images[3] = {nullptr, nullptr, nullptr};
  HIMAGELIST ownStateImages = nullptr;
  int topIndex = 0;  // first row shown
  int scrollX = 0;   // pixels of the columns scrolled out on the left
  int mark = -1;     // where a range chosen with Shift starts: the row last clicked or moved to
  ~ListData() override {
    if (ownStateImages != nullptr) ImageList_Destroy(ownStateImages);
  }
};

ListData& dataOf(Window& w) { return static_cast<ListData&>(*w.data); }

bool hasHeader(const Window& w) { return (w.style & LVS_NOCOLUMNHEADER) == 0; }

bool hasStateIcon(const ListData& d) {
  return (d.exStyle & LVS_EX_CHECKBOXES) != 0 || d.images[LVSIL_STATE] != nullptr;
}

int rowTop(const Window& w, const ListData& d, int item) {
  return (hasHeader(w) ? kHeaderHeight : 0) + (item - d.topIndex) * kRowHeight;
}

int firstColumnWidth(const Window& w, const ListData& d) { return d.columns.empty() ? w.width() : d.columns[0].width; }

int totalWidth(const Window& w, const ListData& d) {
  if (d.columns.empty()) return w.width();
  int total = 0;
  for (const ListColumn& c : d.columns) total += c.width;
  return total;
}

// The rows that fit in the client area, the scroll bars it needs and what they leave.
struct ListLayout {
  int visibleRows = 0;
  RECT area{};
  bool vbar = false, hbar = false;
};

ListLayout layoutOf(const Window& w, const ListData& d) {
  ListLayout l;
  int edge = edgeOf(w);
  int width = std::max(0, w.width() - 2 * edge);
  int height = std::max(0, w.height() - 2 * edge);
  int header = hasHeader(w) ? kHeaderHeight : 0;
  int rows = static_cast<int>(d.items.size());
  int total = totalWidth(w, d);
  // Each bar narrows the room of the other.
  for (int pass = 0; pass < 2; ++pass) {
    int innerWidth = width - (l.vbar ? kScrollBarSize : 0);
    int innerHeight = height - header - (l.hbar ? kScrollBarSize : 0);
    l.hbar = !d.columns.empty() && total > innerWidth;
    l.vbar = rows * kRowHeight > innerHeight;
  }
  l.area = RECT{0, 0, width - (l.vbar ? kScrollBarSize : 0), height - (l.hbar ? kScrollBarSize : 0)};
  l.visibleRows = std::max(1, (static_cast<int>(l.area.bottom) - header) / kRowHeight);
  return l;
}

void clampScroll(const Window& w, ListData& d) {
  ListLayout l = layoutOf(w, d);
  int rows = static_cast<int>(d.items.size());
  d.topIndex = std::max(0, std::min(d.topIndex, rows - l.visibleRows));
  d.scrollX = std::max(0, std::min(d.scrollX, totalWidth(w, d) - static_cast<int>(l.area.right)));
}

struct RowParts {
  RECT bounds, state, icon, label;
};

RowParts rowParts(const Window& w, const ListData& d, int item) {
  int top = rowTop(w, d, item);
  int x = -d.scrollX;
  RowParts p{};
  p.bounds = RECT{x, top, x + totalWidth(w, d), top + kRowHeight};
  p.state = RECT{x, top, hasStateIcon(d) ? x + kIconWidth : x, top + kRowHeight};
  x = p.state.right;
  p.icon = RECT{x, top, d.images[LVSIL_SMALL] != nullptr ? x + kIconWidth : x, top + kRowHeight};
  x = p.icon.right;
  p.label = RECT{x, top, std::max(x, firstColumnWidth(w, d) - d.scrollX), top + kRowHeight};
  return p;
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

int hitTest(const Window& w, const ListData& d, POINT p, UINT& flags) {
  flags = LVHT_NOWHERE;
  int top = hasHeader(w) ? kHeaderHeight : 0;
  if (p.y < top) return -1;
  int item = (p.y - top) / kRowHeight + d.topIndex;
  if (item >= static_cast<int>(d.items.size())) return -1;
  RowParts parts = rowParts(w, d, item);
  if (inside(parts.state, p) && hasStateIcon(d) &&
      (d.items[static_cast<size_t>(item)].state & LVIS_STATEIMAGEMASK) != 0) {
    flags = LVHT_ONITEMSTATEICON;
  } else if (inside(parts.icon, p)) {
    flags = LVHT_ONITEMICON;
  } else if (inside(parts.label, p) || (inside(parts.bounds, p) && (d.exStyle & LVS_EX_FULLROWSELECT))) {
    flags = LVHT_ONITEMLABEL;
  } else {
    return -1;
  }
  return item;
}

const std::string& textOf(const ListItem& item, int subItem) {
  static const std::string empty;
  return subItem >= 0 && static_cast<size_t>(subItem) < item.texts.size() ? item.texts[static_cast<size_t>(subItem)]
                                                                          : empty;
}

void setText(ListItem& item, int subItem, const char* text) {
  if (subItem < 0) return;
  if (item.texts.size() <= static_cast<size_t>(subItem)) item.texts.resize(static_cast<size_t>(subItem) + 1);
  item.texts[static_cast<size_t>(subItem)] = text != nullptr ? text : "";
}

int copyText(const std::string& text, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

LRESULT notifyItem(Window& w, UINT code, int item, UINT newState, UINT oldState, UINT changed, POINT action,
                   LPARAM lParam) {
  NMLISTVIEW nm{};
  nm.hdr.code = code;
  nm.iItem = item;
  nm.uNewState = newState;
  nm.uOldState = oldState;
  nm.uChanged = changed;
  nm.ptAction = action;
  nm.lParam = lParam;
  return notifyParent(w, nm.hdr);
}

LRESULT notifyActivate(Window& w, UINT code, int item, POINT action) {
  NMITEMACTIVATE nm{};
  nm.hdr.code = code;
  nm.iItem = item;
  nm.ptAction = action;
  ListData& d = dataOf(w);
  if (item >= 0 && item < static_cast<int>(d.items.size())) nm.lParam = d.items[static_cast<size_t>(item)].lParam;
  return notifyParent(w, nm.hdr);
}

void changeState(Window& w, int item, UINT state, UINT mask, bool exclusive, POINT action);

// Takes `bit` from every row but `keep`, each with its own pair of notifications.
void clearOthers(Window& w, int keep, UINT bit, POINT action) {
  HWND hwnd = w.hwnd;
  for (size_t j = 0; j < dataOf(w).items.size(); ++j) {
    if (!findWindow(hwnd)) return;
    if (static_cast<int>(j) == keep || !(dataOf(w).items[j].state & bit)) continue;
    changeState(w, static_cast<int>(j), 0, bit, false, action);
  }
}

// One change of a row: LVN_ITEMCHANGING (a nonzero result keeps the row as it is), the change,
// the rows that lose the selection (single selection or a click) or the focus, LVN_ITEMCHANGED.
bool changeItem(Window& w, int item, const LVITEM& request, bool exclusive, POINT action) {
  ListData& d = dataOf(w);
  if (item < 0 || item >= static_cast<int>(d.items.size())) return false;
  HWND hwnd = w.hwnd;
  ListItem before = d.items[static_cast<size_t>(item)];
  ListItem after = before;
  UINT changed = 0;
  if ((request.mask & LVIF_TEXT) && textOf(before, 0) != (request.pszText != nullptr ? request.pszText : "")) {
    setText(after, 0, request.pszText);
    changed |= LVIF_TEXT;
  }
  if ((request.mask & LVIF_IMAGE) && before.image != request.iImage) {
    after.image = request.iImage;
    changed |= LVIF_IMAGE;
  }
  if ((request.mask & LVIF_PARAM) && before.lParam != request.lParam) {
    after.lParam = request.lParam;
    changed |= LVIF_PARAM;
  }
  if (request.mask & LVIF_STATE) {
    after.state = (before.state & ~request.stateMask) | (request.state & request.stateMask);
    if (after.state != before.state) changed |= LVIF_STATE;
  }
  if (changed == 0) {
    if (exclusive && (after.state & LVIS_SELECTED)) clearOthers(w, item, LVIS_SELECTED, action);
    return true;
  }
  if (notifyItem(w, LVN_ITEMCHANGING, item, after.state, before.state, changed, action, before.lParam) != 0)
    return false;
  if (!findWindow(hwnd) || item >= static_cast<int>(dataOf(w).items.size())) return false;
  dataOf(w).items[static_cast<size_t>(item)] = after;
  invalidate(w, nullptr, true);
  bool single = (w.style & LVS_SINGLESEL) != 0;
  if ((after.state & LVIS_SELECTED) && ((!(before.state & LVIS_SELECTED) && single) || exclusive)) {
    clearOthers(w, item, LVIS_SELECTED, action);
  }
  if ((after.state & LVIS_FOCUSED) && !(before.state & LVIS_FOCUSED)) clearOthers(w, item, LVIS_FOCUSED, action);
  if (!findWindow(hwnd)) return true;
  notifyItem(w, LVN_ITEMCHANGED, item, after.state, before.state, changed, action, after.lParam);
  return true;
}

void changeState(Window& w, int item, UINT state, UINT mask, bool exclusive, POINT action) {
  LVITEM request{};
  request.mask = LVIF_STATE;
  request.state = state;
  request.stateMask = mask;
  changeItem(w, item, request, exclusive, action);
}

int insertItem(Window& w, const LVITEM& request) {
  ListData& d = dataOf(w);
  if (request.iSubItem != 0) return -1;
  int count = static_cast<int>(d.items.size());
  ListItem item;
  setText(item, 0, (request.mask & LVIF_TEXT) ? request.pszText : "");
  if (request.mask & LVIF_IMAGE) item.image = request.iImage;
  if (request.mask & LVIF_PARAM) item.lParam = request.lParam;
  UINT wanted = (request.mask & LVIF_STATE) ? (request.state & request.stateMask) : 0;
  // A list with check boxes starts every row unchecked, whatever state image was asked for.
  if (d.exStyle & LVS_EX_CHECKBOXES) wanted = (wanted & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(1);
  item.state = wanted & ~(LVIS_SELECTED | LVIS_FOCUSED);
  int at = std::min(std::max(request.iItem, 0), count);
  if (w.style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
    bool descending = (w.style & LVS_SORTDESCENDING) != 0;
    at = 0;
    while (at < count) {
      int cmp = strcasecmp(textOf(d.items[static_cast<size_t>(at)], 0).c_str(), textOf(item, 0).c_str());
      if (descending ? cmp < 0 : cmp > 0) break;
      ++at;
    }
  }
  d.items.insert(d.items.begin() + at, item);
  invalidate(w, nullptr, true);
  HWND hwnd = w.hwnd;
  if (wanted & (LVIS_SELECTED | LVIS_FOCUSED)) {
    changeState(w, at, wanted, LVIS_SELECTED | LVIS_FOCUSED, false, POINT{0, 0});
    if (!findWindow(hwnd)) return at;
  }
  notifyItem(w, LVN_INSERTITEM, at, 0, 0, 0, POINT{0, 0}, item.lParam);
  return at;
}

bool deleteItem(Window& w, int item) {
  ListData& d = dataOf(w);
  if (item < 0 || item >= static_cast<int>(d.items.size())) return false;
  HWND hwnd = w.hwnd;
  notifyItem(w, LVN_DELETEITEM, item, 0, 0, 0, POINT{0, 0}, d.items[static_cast<size_t>(item)].lParam);
  if (!findWindow(hwnd) && !w.destroying) return true;
  ListData& again = dataOf(w);
  if (item < static_cast<int>(again.items.size())) again.items.erase(again.items.begin() + item);
  invalidate(w, nullptr, true);
  return true;
}

void deleteAll(Window& w) {
  // LVN_DELETEALLITEMS; unless the parent answers nonzero, LVN_DELETEITEM for every row, last first.
  bool suppress = notifyItem(w, LVN_DELETEALLITEMS, -1, 0, 0, 0, POINT{0, 0}, 0) != 0;
  ListData& d = dataOf(w);
  if (!suppress) {
    for (int i = static_cast<int>(d.items.size()) - 1; i >= 0; --i) {
      if (i >= static_cast<int>(dataOf(w).items.size())) continue;
      notifyItem(w, LVN_DELETEITEM, i, 0, 0, 0, POINT{0, 0}, dataOf(w).items[static_cast<size_t>(i)].lParam);
    }
  }
  dataOf(w).items.clear();
  dataOf(w).mark = -1;
  invalidate(w, nullptr, true);
}

bool matches(const ListItem& item, const LVFINDINFO& info) {
  if (info.flags & LVFI_PARAM) return item.lParam == info.lParam;
  if (info.psz == nullptr) return false;
  const std::string& text = textOf(item, 0);
  if (info.flags & LVFI_PARTIAL) return strncasecmp(text.c_str(), info.psz, std::strlen(info.psz)) == 0;
  return strcasecmp(text.c_str(), info.psz) == 0;
}

// The width that shows a column's texts whole (and with `useHeader` its title too; the last
// column then also fills the rest of the list).
int fittingWidth(const Window& w, const ListData& d, int column, int how) {
  LOGFONT font = windowFont(w);
  int subItem = d.columns[static_cast<size_t>(column)].subItem;
  int width = 0;
  for (const ListItem& item : d.items) width = std::max(width, textExtent(font, textOf(item, subItem)).cx);
  // The first column holds the check box and the icon, and pads its label less.
  if (column == 0) {
    width += 4 + (hasStateIcon(d) ? kIconWidth : 0) + (d.images[LVSIL_SMALL] != nullptr ? kIconWidth : 0);
  } else {
    width += 12;
  }
  if (how == LVSCW_AUTOSIZE_USEHEADER) {
    width = std::max(width, textExtent(font, d.columns[static_cast<size_t>(column)].text).cx + 12);
    if (column + 1 == static_cast<int>(d.columns.size())) {
      int others = 0;
      for (int i = 0; i < column; ++i) others += d.columns[static_cast<size_t>(i)].width;
      width = std::max(width, static_cast<int>(layoutOf(w, d).area.right) - others);
    }
  }
  return width + 1;
}

}  // namespace

std::unique_ptr<ControlData> makeListData() { return std::make_unique<ListData>(); }

LRESULT listProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  ListData& d = dataOf(w);
  int count = static_cast<int>(d.items.size());
  int index = static_cast<int>(static_cast<intptr_t>(wParam));
  switch (message) {
    case LVM_GETITEMCOUNT:
      return count;
    case LVM_INSERTITEM:
      return lParam != 0 ? insertItem(w, *reinterpret_cast<const LVITEM*>(lParam)) : -1;
    case LVM_DELETEITEM:
      return deleteItem(w, index) ? TRUE : FALSE;
    case LVM_DELETEALLITEMS:
      deleteAll(w);
      return TRUE;
    case LVM_SETITEM: {
      const LVITEM* item = reinterpret_cast<const LVITEM*>(lParam);
      if (item == nullptr || item->iItem < 0 || item->iItem >= count) return FALSE;
      if (item->iSubItem > 0) {
        if (item->mask & LVIF_TEXT) setText(d.items[static_cast<size_t>(item->iItem)], item->iSubItem, item->pszText);
        invalidate(w, nullptr, true);
        return TRUE;
      }
      return changeItem(w, item->iItem, *item, false, POINT{0, 0}) ? TRUE : FALSE;
    }
    case LVM_SETITEMTEXT: {
      const LVITEM* item = reinterpret_cast<const LVITEM*>(lParam);
      if (item == nullptr || index < 0 || index >= count) return FALSE;
      if (item->iSubItem > 0) {
        setText(d.items[static_cast<size_t>(index)], item->iSubItem, item->pszText);
        invalidate(w, nullptr, true);
        return TRUE;
      }
      LVITEM request{};
      request.mask = LVIF_TEXT;
      request.pszText = item->pszText;
      return changeItem(w, index, request, false, POINT{0, 0}) ? TRUE : FALSE;
    }
    case LVM_GETITEM: {
      LVITEM* item = reinterpret_cast<LVITEM*>(lParam);
      if (item == nullptr || item->iItem < 0 || item->iItem >= count) return FALSE;
      const ListItem& row = d.items[static_cast<size_t>(item->iItem)];
      if (item->mask & LVIF_TEXT) copyText(textOf(row, item->iSubItem), item->pszText, item->cchTextMax);
      if (item->mask & LVIF_IMAGE) item->iImage = row.image;
      if (item->mask & LVIF_PARAM) item->lParam = row.lParam;
      if (item->mask & LVIF_STATE) item->state = row.state & item->stateMask;
      return TRUE;
    }
    case LVM_GETITEMTEXT: {
      LVITEM* item = reinterpret_cast<LVITEM*>(lParam);
      if (item == nullptr || index < 0 || index >= count) return 0;
      return copyText(textOf(d.items[static_cast<size_t>(index)], item->iSubItem), item->pszText, item->cchTextMax);
    }
    case LVM_SETITEMSTATE: {
      const LVITEM* item = reinterpret_cast<const LVITEM*>(lParam);
      if (item == nullptr) return FALSE;
      if (index == -1) {
        for (int i = 0; i < static_cast<int>(dataOf(w).items.size()); ++i) {
          changeState(w, i, item->state, item->stateMask, false, POINT{0, 0});
        }
        return TRUE;
      }
      if (index < 0 || index >= count) return FALSE;
      changeState(w, index, item->state, item->stateMask, false, POINT{0, 0});
      return TRUE;
    }
    case LVM_GETITEMSTATE:
      return index >= 0 && index < count
                 ? static_cast<LRESULT>(d.items[static_cast<size_t>(index)].state & static_cast<UINT>(lParam))
                 : 0;
    case LVM_GETSELECTEDCOUNT:
      return std::count_if(d.items.begin(), d.items.end(),
                           [](const ListItem& i) { return (i.state & LVIS_SELECTED) != 0; });
    case LVM_GETNEXTITEM: {
      UINT flags = static_cast<UINT>(lParam) & (LVNI_SELECTED | LVNI_FOCUSED);
      for (int i = std::max(index + 1, 0); i < count; ++i) {
        if ((d.items[static_cast<size_t>(i)].state & flags) == flags) return i;
      }
      return -1;
    }
    case LVM_FINDITEM: {
      const LVFINDINFO* info = reinterpret_cast<const LVFINDINFO*>(lParam);
      if (info == nullptr) return -1;
      for (int i = std::max(index + 1, 0); i < count; ++i) {
        if (matches(d.items[static_cast<size_t>(i)], *info)) return i;
      }
      return -1;
    }
    case LVM_GETITEMRECT: {
      RECT* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr || index < 0 || index >= count) return FALSE;
      RowParts parts = rowParts(w, d, index);
      switch (rect->left) {
        case LVIR_ICON:
          *rect = parts.icon;
          break;
        case LVIR_LABEL:
          *rect = parts.label;
          break;
        case LVIR_SELECTBOUNDS:
          *rect = RECT{parts.icon.left, parts.bounds.top, parts.label.right, parts.bounds.bottom};
          break;
        default:
          *rect = parts.bounds;
          break;
      }
      return TRUE;
    }
    case LVM_HITTEST: {
      LVHITTESTINFO* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
      if (info == nullptr) return -1;
      info->iItem = hitTest(w, d, info->pt, info->flags);
      return info->iItem;
    }
    case LVM_ENSUREVISIBLE: {
      if (index < 0 || index >= count) return FALSE;
      ListLayout l = layoutOf(w, d);
      if (w.height() > 0 && index < d.topIndex) d.topIndex = index;
      if (w.height() > 0 && index >= d.topIndex + l.visibleRows) d.topIndex = index - l.visibleRows + 1;
      clampScroll(w, d);
      invalidate(w, nullptr, true);
      return TRUE;
    }
    case LVM_INSERTCOLUMN: {
      const LVCOLUMN* info = reinterpret_cast<const LVCOLUMN*>(lParam);
      if (info == nullptr || index < 0) return -1;
      int at = std::min(index, static_cast<int>(d.columns.size()));
      ListColumn column;
      if ((info->mask & LVCF_TEXT) && info->pszText != nullptr) column.text = info->pszText;
      if (info->mask & LVCF_WIDTH) column.width = info->cx;
      if (info->mask & LVCF_FMT) column.format = info->fmt;
      column.subItem = (info->mask & LVCF_SUBITEM) ? info->iSubItem : at;
      d.columns.insert(d.columns.begin() + at, column);
      invalidate(w, nullptr, true);
      return at;
    }
    case LVM_DELETECOLUMN:
      if (index < 0 || index >= static_cast<int>(d.columns.size())) return FALSE;
      d.columns.erase(d.columns.begin() + index);
      invalidate(w, nullptr, true);
      return TRUE;
    case LVM_GETCOLUMNWIDTH:
      return index >= 0 && index < static_cast<int>(d.columns.size()) ? d.columns[static_cast<size_t>(index)].width : 0;
    case LVM_SETCOLUMNWIDTH: {
      if (index < 0 || index >= static_cast<int>(d.columns.size())) return FALSE;
      int width = static_cast<int>(static_cast<short>(LOWORD(lParam)));
      if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER) width = fittingWidth(w, d, index, width);
      d.columns[static_cast<size_t>(index)].width = width;
      clampScroll(w, d);
      invalidate(w, nullptr, true);
      return TRUE;
    }
    case LVM_GETCOLUMN:
    case LVM_SETCOLUMN: {
      LVCOLUMN* info = reinterpret_cast<LVCOLUMN*>(lParam);
      if (info == nullptr || index < 0 || index >= static_cast<int>(d.columns.size())) return FALSE;
      ListColumn& column = d.columns[static_cast<size_t>(index)];
      if (message == LVM_GETCOLUMN) {
        if (info->mask & LVCF_TEXT) copyText(column.text, info->pszText, info->cchTextMax);
        if (info->mask & LVCF_WIDTH) info->cx = column.width;
        if (info->mask & LVCF_FMT) info->fmt = column.format;
        if (info->mask & LVCF_SUBITEM) info->iSubItem = column.subItem;
      } else {
        if ((info->mask & LVCF_TEXT) && info->pszText != nullptr) column.text = info->pszText;
        if (info->mask & LVCF_WIDTH) column.width = info->cx;
        if (info->mask & LVCF_FMT) column.format = info->fmt;
        invalidate(w, nullptr, true);
      }
      return TRUE;
    }
    case LVM_SETIMAGELIST: {
      if (index < 0 || index > LVSIL_STATE) return 0;
      HIMAGELIST old = d.images[index];
      d.images[index] = reinterpret_cast<HIMAGELIST>(lParam);
      invalidate(w, nullptr, true);
      return reinterpret_cast<LRESULT>(old);
    }
    case LVM_GETIMAGELIST:
      return index >= 0 && index <= LVSIL_STATE ? reinterpret_cast<LRESULT>(d.images[index]) : 0;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD old = d.exStyle;
      DWORD mask = wParam != 0 ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
      d.exStyle = (old & ~mask) | (static_cast<DWORD>(lParam) & mask);
      if (!(old & LVS_EX_CHECKBOXES) && (d.exStyle & LVS_EX_CHECKBOXES)) {
        // Turning the check boxes on leaves every row unchecked.
        if (d.images[LVSIL_STATE] == nullptr) {
          if (d.ownStateImages == nullptr) d.ownStateImages = createStateImageList();
          d.images[LVSIL_STATE] = d.ownStateImages;
        }
        for (ListItem& item : d.items) item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(1);
      }
      invalidate(w, nullptr, true);
      return static_cast<LRESULT>(old);
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return static_cast<LRESULT>(d.exStyle);
    case WM_DESTROY:
      deleteAll(w);
      return defaultProc(w, message, wParam, lParam);
    default:
      return defaultProc(w, message, wParam, lParam);
  }
}

bool listClick(Window& w, int item, ListPart part, bool doubleClick) {
  ListData& d = dataOf(w);
  if (item < 0 || item >= static_cast<int>(d.items.size())) return false;
  RowParts parts = rowParts(w, d, item);
  POINT point{0, parts.bounds.top + kRowHeight / 2};
  switch (part) {
    case ListPart::StateIcon:
      if (!hasStateIcon(d) || (d.items[static_cast<size_t>(item)].state & LVIS_STATEIMAGEMASK) == 0) return false;
      point.x = parts.state.left + kIconWidth / 2;
      break;
    case ListPart::Icon:
      if (d.images[LVSIL_SMALL] == nullptr) return false;
      point.x = parts.icon.left + kIconWidth / 2;
      break;
    case ListPart::Label:
      if (parts.label.right <= parts.label.left) return false;
      point.x = parts.label.left + std::min(4, static_cast<int>(parts.label.right - parts.label.left) - 1);
      break;
  }
  HWND hwnd = w.hwnd;
  setMessagePos(w, point);
  SetFocus(hwnd);
  if (!findWindow(hwnd)) return true;
  // The row is selected as the button goes down, wherever it was pressed.
  changeState(w, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, true, point);
  if (!findWindow(hwnd)) return true;
  dataOf(w).mark = item;
  notifyActivate(w, NM_CLICK, item, point);
  if (part == ListPart::StateIcon) {
    // The parent hears of the click first; the box changes afterwards.
    if (!findWindow(hwnd) || item >= static_cast<int>(dataOf(w).items.size())) return true;
    UINT image = (dataOf(w).items[static_cast<size_t>(item)].state & LVIS_STATEIMAGEMASK) >> 12;
    changeState(w, item, INDEXTOSTATEIMAGEMASK(image == 2 ? 1 : 2), LVIS_STATEIMAGEMASK, false, point);
  }
  if (doubleClick && findWindow(hwnd)) notifyActivate(w, NM_DBLCLK, item, point);
  return true;
}

void listClickExtended(Window& w, int item, bool shift, bool control) {
  ListData& d = dataOf(w);
  int count = static_cast<int>(d.items.size());
  if (item < 0 || item >= count) return;
  int anchor = d.mark >= 0 && d.mark < count ? d.mark : -1;
  for (int i = 0; i < count && anchor < 0; ++i) {
    if (d.items[static_cast<size_t>(i)].state & LVIS_FOCUSED) anchor = i;
  }
  RowParts parts = rowParts(w, d, item);
  POINT point{parts.label.left + 2, parts.bounds.top + kRowHeight / 2};
  HWND hwnd = w.hwnd;
  setMessagePos(w, point);
  SetFocus(hwnd);
  if (!findWindow(hwnd)) return;
  if (shift && anchor >= 0) {
    // Shift: the rows from the mark to this one; with Control, added to the others.
    int low = std::min(anchor, item), high = std::max(anchor, item);
    for (int i = 0; i < static_cast<int>(dataOf(w).items.size()) && findWindow(hwnd); ++i) {
      bool selected = (dataOf(w).items[static_cast<size_t>(i)].state & LVIS_SELECTED) != 0;
      bool wanted = (i >= low && i <= high) || (control && selected);
      if (selected != wanted) changeState(w, i, wanted ? LVIS_SELECTED : 0, LVIS_SELECTED, false, point);
    }
    if (findWindow(hwnd)) changeState(w, item, LVIS_FOCUSED, LVIS_FOCUSED, false, point);
  } else {
    // Control: this row's selection turns over; the others keep theirs.
    d.mark = item;
    bool selected = (d.items[static_cast<size_t>(item)].state & LVIS_SELECTED) != 0;
    changeState(w, item, (selected ? 0 : LVIS_SELECTED) | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, false, point);
  }
  if (findWindow(hwnd)) notifyActivate(w, NM_CLICK, item, point);
}

bool listChecked(Window& w, int item) {
  ListData& d = dataOf(w);
  if (item < 0 || item >= static_cast<int>(d.items.size())) return false;
  return ((d.items[static_cast<size_t>(item)].state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

ListLook listLookOf(Window& w) {
  ListData& d = dataOf(w);
  clampScroll(w, d);
  ListLook look;
  look.state = listStateOf(w);
  look.header = hasHeader(w);
  look.headerHeight = look.header ? kHeaderHeight : 0;
  look.rowHeight = kRowHeight;
  look.scrollX = d.scrollX;
  look.topIndex = d.topIndex;
  look.stateIcons = hasStateIcon(d);
  ListLayout l = layoutOf(w, d);
  look.area = l.area;
  int rows = static_cast<int>(d.items.size());
  for (int i = d.topIndex; i < rows && i <= d.topIndex + l.visibleRows; ++i) {
    RowParts p = rowParts(w, d, i);
    look.rows.push_back(ListRow{i, p.bounds, p.state, p.icon, p.label});
  }
  if (l.vbar) {
    look.vbar = makeScrollBar(RECT{l.area.right, 0, l.area.right + kScrollBarSize, l.area.bottom}, true, d.topIndex,
                              l.visibleRows, rows);
  }
  if (l.hbar) {
    look.hbar = makeScrollBar(RECT{0, l.area.bottom, l.area.right, l.area.bottom + kScrollBarSize}, false, d.scrollX,
                              l.area.right, totalWidth(w, d));
  }
  return look;
}

void listScrollTo(Window& w, int topIndex, int scrollX) {
  ListData& d = dataOf(w);
  d.topIndex = topIndex;
  d.scrollX = scrollX;
  clampScroll(w, d);
  invalidate(w, nullptr, true);
}

void listMoveTo(Window& w, int item, bool extend, bool focusOnly) {
  ListData& d = dataOf(w);
  int count = static_cast<int>(d.items.size());
  if (item < 0 || item >= count) return;
  ListLayout l = layoutOf(w, d);
  if (item < d.topIndex) d.topIndex = item;
  if (item >= d.topIndex + l.visibleRows) d.topIndex = item - l.visibleRows + 1;
  clampScroll(w, d);
  invalidate(w, nullptr, true);
  HWND hwnd = w.hwnd;
  bool several = (w.style & LVS_SINGLESEL) == 0;
  if (several && extend) {
    // The rows from the mark to this one are selected, the others not; the mark stays.
    int anchor = d.mark >= 0 && d.mark < count ? d.mark : item;
    int low = std::min(anchor, item), high = std::max(anchor, item);
    for (int i = 0; i < static_cast<int>(dataOf(w).items.size()) && findWindow(hwnd); ++i) {
      bool selected = (dataOf(w).items[static_cast<size_t>(i)].state & LVIS_SELECTED) != 0;
      bool wanted = i >= low && i <= high;
      if (selected != wanted) changeState(w, i, wanted ? LVIS_SELECTED : 0, LVIS_SELECTED, false, POINT{0, 0});
    }
    if (findWindow(hwnd)) changeState(w, item, LVIS_FOCUSED, LVIS_FOCUSED, false, POINT{0, 0});
  } else if (several && focusOnly) {
    changeState(w, item, LVIS_FOCUSED, LVIS_FOCUSED, false, POINT{0, 0});
  } else {
    changeState(w, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, true, POINT{0, 0});
    if (findWindow(hwnd)) dataOf(w).mark = item;
  }
}

void listToggleSelected(Window& w, int item) {
  ListData& d = dataOf(w);
  if (item < 0 || item >= static_cast<int>(d.items.size())) return;
  d.mark = item;
  bool selected = (d.items[static_cast<size_t>(item)].state & LVIS_SELECTED) != 0;
  changeState(w, item, selected ? 0 : LVIS_SELECTED, LVIS_SELECTED, false, POINT{0, 0});
}

void listToggleCheck(Window& w, int item) {
  ListData& d = dataOf(w);
  if (item < 0 || item >= static_cast<int>(d.items.size()) || !hasStateIcon(d)) return;
  UINT image = (d.items[static_cast<size_t>(item)].state & LVIS_STATEIMAGEMASK) >> 12;
  if (image == 0) return;
  changeState(w, item, INDEXTOSTATEIMAGEMASK(image == 2 ? 1 : 2), LVIS_STATEIMAGEMASK, false, POINT{0, 0});
}

int listHitTest(Window& w, POINT client, UINT& flags) {
  clampScroll(w, dataOf(w));
  return hitTest(w, dataOf(w), client, flags);
}

ListState listStateOf(Window& w) {
  ListData& d = dataOf(w);
  ListState state;
  state.extendedStyle = d.exStyle;
  for (const ListColumn& c : d.columns) state.columns.push_back(ListColumnState{c.text, c.width, c.format});
  for (const ListItem& i : d.items) {
    ListItemState item;
    item.texts = i.texts;
    item.image = i.image;
    item.state = i.state;
    item.checked = ((i.state & LVIS_STATEIMAGEMASK) >> 12) == 2;
    item.selected = (i.state & LVIS_SELECTED) != 0;
    item.focused = (i.state & LVIS_FOCUSED) != 0;
    item.lParam = i.lParam;
    state.items.push_back(item);
  }
  state.normalImages = d.images[LVSIL_NORMAL];
  state.smallImages = d.images[LVSIL_SMALL];
  state.stateImages = d.images[LVSIL_STATE];
  return state;
}

}  // namespace detail
}  // namespace ui
