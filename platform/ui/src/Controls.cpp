// Buttons, edits, statics, combo boxes, progress bars and tab controls.
#include "Internal.h"
#include "Look.h"
#include "Text.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace ui {
namespace detail {

std::unique_ptr<ControlData> makeListData();
std::unique_ptr<ControlData> makeTreeData();

namespace {

struct ButtonData : ControlData {
  int check = BST_UNCHECKED;
  bool pushed = false;
};

struct EditData : ControlData {
  int selStart = 0;
  int selEnd = 0;
};

struct StaticData : ControlData {
  HICON icon = nullptr;  // SS_ICON
};

// An entry of a combo box or a tab control: its text and the value the program keeps with it.
struct TextItem {
  std::string text;
  LPARAM data = 0;
};

// The entries of a combo box or a tab control, and the current one (-1 for none).
struct TextItemsData : ControlData {
  std::vector<TextItem> items;
  int current = -1;
};

struct ComboData : TextItemsData {
  bool dropped = false;
  int hot = -1;  // row highlighted in the dropped list
  int top = 0;   // first row shown in the dropped list
};

// A progress bar's data is all the state it shows.
struct ProgressData : ControlData, ProgressState {};

struct TabData : TextItemsData {};

const int kTabHeader = 22;
const int kTabWidth = 60;

RECT tabRect(int index) { return RECT{2 + index * kTabWidth, 2, 2 + (index + 1) * kTabWidth, kTabHeader}; }

// A change only the picture shows.
void touched(Window& w) { ++w.queue->changes; }

template <class T>
T& dataOf(Window& w) {
  return static_cast<T&>(*w.data);
}

bool isCheckType(UINT type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_3STATE ||
         type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
}

// The auto radio buttons of the group `w` belongs to: from the nearest sibling at or before it
// that starts a group up to the next one that starts a group.
std::vector<HWND> radioGroup(Window& w) {
  std::vector<HWND> group;
  std::shared_ptr<Window> parent = findWindow(w.parent);
  if (!parent) return group;
  const std::vector<HWND>& siblings = parent->children;
  auto self = std::find(siblings.begin(), siblings.end(), w.hwnd);
  if (self == siblings.end()) return group;
  auto first = self;
  while (first != siblings.begin()) {
    std::shared_ptr<Window> s = findWindow(*first);
    if (s && (s->style & WS_GROUP)) break;
    --first;
  }
  for (auto it = first; it != siblings.end(); ++it) {
    std::shared_ptr<Window> s = findWindow(*it);
    if (!s) continue;
    if (it != first && (s->style & WS_GROUP)) break;
    if (s->kind == WindowKind::Button && (s->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON) group.push_back(*it);
  }
  return group;
}

void replaceSelection(Window& w, const std::string& text, UINT updateCode, UINT changeCode) {
  EditData* edit = w.kind == WindowKind::Edit ? &dataOf<EditData>(w) : nullptr;
  int length = static_cast<int>(w.text.size());
  int start = edit ? std::min(std::max(std::min(edit->selStart, edit->selEnd), 0), length) : length;
  int end = edit ? std::min(std::max(std::max(edit->selStart, edit->selEnd), 0), length) : length;
  w.text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), text);
  if (edit) edit->selStart = edit->selEnd = start + static_cast<int>(text.size());
  invalidate(w, nullptr, true);
  HWND hwnd = w.hwnd;
  commandParent(w, updateCode);
  if (findWindow(hwnd)) commandParent(w, changeCode);
}

int progressClamp(const ProgressData& p, int value) {
  int low = std::min(p.lower, p.upper), high = std::max(p.lower, p.upper);
  return std::min(std::max(value, low), high);
}

}  // namespace

std::unique_ptr<ControlData> makeControlData(WindowKind kind) {
  switch (kind) {
    case WindowKind::Button:
      return std::make_unique<ButtonData>();
    case WindowKind::Static:
      return std::make_unique<StaticData>();
    case WindowKind::Edit:
      return std::make_unique<EditData>();
    case WindowKind::ComboBox:
      return std::make_unique<ComboData>();
    case WindowKind::Progress:
      return std::make_unique<ProgressData>();
    case WindowKind::Tab:
      return std::make_unique<TabData>();
    case WindowKind::ListView:
      return makeListData();
    case WindowKind::TreeView:
      return makeTreeData();
    default:
      return nullptr;
  }
}

// --- Buttons -----------------------------------------------------------------------------------
LRESULT buttonProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  ButtonData& b = dataOf<ButtonData>(w);
  UINT type = w.style & BS_TYPEMASK;
  switch (message) {
    case BM_GETCHECK:
      return isCheckType(type) ? b.check : BST_UNCHECKED;
    case BM_SETCHECK:
      if (isCheckType(type)) {
        b.check = static_cast<int>(wParam);
        invalidate(w, nullptr, true);
      }
      return 0;
    case BM_GETSTATE:
      return (isCheckType(type) ? b.check : 0) | (b.pushed ? BST_PUSHED : 0);
    case BM_SETSTATE:
      b.pushed = wParam != 0;
      return 0;
    case BM_SETSTYLE:
      w.style = (w.style & 0xFFFF0000u) | LOWORD(wParam);
      if (LOWORD(lParam) != 0) invalidate(w, nullptr, true);
      return 0;
    case BM_CLICK:
      if (!(w.style & WS_DISABLED)) buttonClick(w);
      return 0;
    default:
      return defaultProc(w, message, wParam, lParam);
  }
}

bool buttonClick(Window& w) {
  HWND hwnd = w.hwnd;
  SetFocus(hwnd);
  std::shared_ptr<Window> self = findWindow(hwnd);
  if (!self) return true;
  ButtonData& b = dataOf<ButtonData>(*self);
  switch (self->style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
      b.check = b.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      break;
    case BS_AUTO3STATE:
      b.check = (b.check + 1) % 3;
      break;
    case BS_AUTORADIOBUTTON:
      for (HWND other : radioGroup(*self)) {
        if (other == hwnd) continue;
        if (std::shared_ptr<Window> o = findWindow(other)) dataOf<ButtonData>(*o).check = BST_UNCHECKED;
      }
      b.check = BST_CHECKED;
      break;
    default:
      break;
  }
  invalidate(*self, nullptr, true);
  commandParent(*self, BN_CLICKED);
  return true;
}

ButtonLook buttonLookOf(Window& w) {
  const ButtonData& b = dataOf<ButtonData>(w);
  return ButtonLook{b.check, b.pushed};
}

int buttonCheckOf(Window& w) {
  if (w.kind != WindowKind::Button) return BST_UNCHECKED;
  return dataOf<ButtonData>(w).check;
}

// --- Edits --------------------------------------------------------------------------------------
LRESULT editProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  EditData& e = dataOf<EditData>(w);
  int length = static_cast<int>(w.text.size());
  switch (message) {
    case WM_SETTEXT:
      w.text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      e.selStart = e.selEnd = 0;
      invalidate(w, nullptr, true);
      // A single-line edit reports programmatic changes as well.
      if (!(w.style & ES_MULTILINE)) {
        HWND hwnd = w.hwnd;
        commandParent(w, EN_UPDATE);
        if (findWindow(hwnd)) commandParent(w, EN_CHANGE);
      }
      return TRUE;
    case EM_SETSEL: {
      int start = static_cast<int>(static_cast<intptr_t>(wParam));
      int end = static_cast<int>(lParam);
      if (start < 0) {
        e.selStart = e.selEnd = std::min(std::max(e.selEnd, 0), length);
      } else {
        e.selStart = std::min(start, length);
        e.selEnd = end < 0 ? length : std::min(end, length);
      }
      return 0;
    }
    case EM_GETSEL: {
      int start = std::min(e.selStart, e.selEnd), end = std::max(e.selStart, e.selEnd);
      if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(start);
      if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(end);
      return MAKELRESULT(start, end);
    }
    case EM_REPLACESEL:
      replaceSelection(w, lParam != 0 ? reinterpret_cast<const char*>(lParam) : "", EN_UPDATE, EN_CHANGE);
      return 0;
    default:
      return defaultProc(w, message, wParam, lParam);
  }
}

bool editType(Window& w, const std::string& text) {
  bool combo = w.kind == WindowKind::ComboBox;
  if (combo && (w.style & 0x3u) == CBS_DROPDOWNLIST) return false;
  if (!combo && (w.style & ES_READONLY)) return false;
  HWND hwnd = w.hwnd;
  SetFocus(hwnd);
  std::shared_ptr<Window> self = findWindow(hwnd);
  if (!self) return true;
  UINT update = combo ? CBN_EDITUPDATE : EN_UPDATE;
  UINT change = combo ? CBN_EDITCHANGE : EN_CHANGE;
  if (combo) {
    // The edit part of a combo box: everything is selected, so the first character (or an
    // empty text) replaces it; later characters are appended.
    bool hadText = !self->text.empty();
    self->text.clear();
    if (text.empty()) {
      if (hadText) replaceSelection(*self, "", update, change);
      return true;
    }
  } else {
    EditData& e = dataOf<EditData>(*self);
    e.selStart = 0;
    e.selEnd = static_cast<int>(self->text.size());
    if (text.empty()) {
      if (!self->text.empty()) replaceSelection(*self, "", update, change);
      return true;
    }
  }
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0u) == 0x80u) ++n;
    std::shared_ptr<Window> again = findWindow(hwnd);
    if (!again) return true;
    replaceSelection(*again, text.substr(i, n), update, change);
    i += n;
  }
  return true;
}

EditLook editLookOf(Window& w) {
  if (w.kind != WindowKind::Edit) {
    int end = static_cast<int>(w.text.size());
    return EditLook{end, end};
  }
  const EditData& e = dataOf<EditData>(w);
  return EditLook{e.selStart, e.selEnd};
}

void editSetCaret(Window& w, int offset, bool extend) {
  if (w.kind != WindowKind::Edit) return;
  EditData& e = dataOf<EditData>(w);
  offset = std::min(std::max(offset, 0), static_cast<int>(w.text.size()));
  if (!extend) e.selStart = offset;
  e.selEnd = offset;
  touched(w);
}

void editInsert(Window& w, const std::string& text) {
  bool combo = w.kind == WindowKind::ComboBox;
  replaceSelection(w, text, combo ? CBN_EDITUPDATE : EN_UPDATE, combo ? CBN_EDITCHANGE : EN_CHANGE);
}

// --- Statics ------------------------------------------------------------------------------------
LRESULT staticProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT) invalidate(w, nullptr, true);
  if (message == STM_SETICON) {
    StaticData& d = dataOf<StaticData>(w);
    HICON old = d.icon;
    d.icon = reinterpret_cast<HICON>(wParam);
    invalidate(w, nullptr, true);
    return reinterpret_cast<LRESULT>(old);
  }
  if (message == STM_GETICON) return reinterpret_cast<LRESULT>(dataOf<StaticData>(w).icon);
  return defaultProc(w, message, wParam, lParam);
}

HICON staticIconOf(Window& w) { return w.kind == WindowKind::Static ? dataOf<StaticData>(w).icon : nullptr; }

// --- Combo boxes --------------------------------------------------------------------------------
LRESULT comboProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  ComboData& c = dataOf<ComboData>(w);
  int count = static_cast<int>(c.items.size());
  auto text = [&]() { return lParam != 0 ? std::string(reinterpret_cast<const char*>(lParam)) : std::string(); };
  auto valid = [&](WPARAM index) { return static_cast<intptr_t>(index) >= 0 && static_cast<intptr_t>(index) < count; };
  switch (message) {
    case CB_ADDSTRING: {
      std::string item = text();
      int at = count;
      if (w.style & CBS_SORT) {
        at = 0;
        while (at < count && strcasecmp(c.items[static_cast<size_t>(at)].text.c_str(), item.c_str()) <= 0) ++at;
      }
      c.items.insert(c.items.begin() + at, TextItem{item, 0});
      if (c.current >= at) ++c.current;
      return at;
    }
    case CB_INSERTSTRING: {
      int at = static_cast<int>(static_cast<intptr_t>(wParam));
      if (at < 0) at = count;
      if (at > count) return CB_ERR;
      c.items.insert(c.items.begin() + at, TextItem{text(), 0});
      if (c.current >= at) ++c.current;
      return at;
    }
    case CB_DELETESTRING: {
      if (!valid(wParam)) return CB_ERR;
      int at = static_cast<int>(wParam);
      c.items.erase(c.items.begin() + at);
      if (c.current == at) {
        c.current = -1;
        if ((w.style & 0x3u) == CBS_DROPDOWNLIST) w.text.clear();
      } else if (c.current > at) {
        --c.current;
      }
      return static_cast<LRESULT>(c.items.size());
    }
    case CB_RESETCONTENT:
      c.items.clear();
      c.current = -1;
      w.text.clear();
      return CB_OKAY;
    case CB_GETCOUNT:
      return count;
    case CB_GETCURSEL:
      return c.current;
    case CB_SETCURSEL:
      if (!valid(wParam)) {
        c.current = -1;
        w.text.clear();
        return CB_ERR;
      }
      c.current = static_cast<int>(wParam);
      w.text = c.items[wParam].text;
      invalidate(w, nullptr, true);
      return c.current;
    case CB_GETLBTEXT:
      if (!valid(wParam) || lParam == 0) return CB_ERR;
      std::strcpy(reinterpret_cast<char*>(lParam), c.items[wParam].text.c_str());
      return static_cast<LRESULT>(c.items[wParam].text.size());
    case CB_GETLBTEXTLEN:
      return valid(wParam) ? static_cast<LRESULT>(c.items[wParam].text.size()) : CB_ERR;
    case CB_GETITEMDATA:
      return valid(wParam) ? c.items[wParam].data : CB_ERR;
    case CB_SETITEMDATA:
      if (!valid(wParam)) return CB_ERR;
      c.items[wParam].data = lParam;
      return CB_OKAY;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
      std::string wanted = text();
      int start = static_cast<int>(static_cast<intptr_t>(wParam));
      for (int k = 1; k <= count; ++k) {
        int i = ((start < 0 ? -1 : start) + k) % count;
        const std::string& item = c.items[static_cast<size_t>(i)].text;
        bool match = message == CB_FINDSTRINGEXACT ? strcasecmp(item.c_str(), wanted.c_str()) == 0
                                                   : strncasecmp(item.c_str(), wanted.c_str(), wanted.size()) == 0;
        if (!match) continue;
        if (message == CB_SELECTSTRING) {
          c.current = i;
          w.text = item;
        }
        return i;
      }
      return CB_ERR;
    }
    case CB_SHOWDROPDOWN: {
      HWND hwnd = w.hwnd;
      if (wParam != 0 && !c.dropped) {
        commandParent(w, CBN_DROPDOWN);
        if (std::shared_ptr<Window> again = findWindow(hwnd)) dataOf<ComboData>(*again).dropped = true;
      } else if (wParam == 0 && c.dropped) {
        c.dropped = false;
        commandParent(w, CBN_CLOSEUP);
      }
      return TRUE;
    }
    case CB_GETDROPPEDSTATE:
      return c.dropped ? TRUE : FALSE;
    default:
      return defaultProc(w, message, wParam, lParam);
  }
}

void comboDrop(Window& w) {
  HWND hwnd = w.hwnd;
  commandParent(w, CBN_DROPDOWN);
  std::shared_ptr<Window> self = findWindow(hwnd);
  if (!self) return;
  ComboData& c = dataOf<ComboData>(*self);
  c.dropped = true;
  c.hot = c.current;
  c.top = std::max(0, std::min(c.current, static_cast<int>(c.items.size()) - kComboListRows));
  touched(*self);
}

void comboSetHot(Window& w, int index) {
  ComboData& c = dataOf<ComboData>(w);
  if (index < 0 || index >= static_cast<int>(c.items.size())) return;
  c.hot = index;
  if (index < c.top) c.top = index;
  if (index >= c.top + kComboListRows) c.top = index - kComboListRows + 1;
  touched(w);
}

void comboScroll(Window& w, int top) {
  ComboData& c = dataOf<ComboData>(w);
  c.top = std::max(0, std::min(top, static_cast<int>(c.items.size()) - kComboListRows));
  touched(w);
}

void comboPick(Window& w, int index) {
  HWND hwnd = w.hwnd;
  std::shared_ptr<Window> self = findWindow(hwnd);
  if (!self) return;
  ComboData& c = dataOf<ComboData>(*self);
  if (index >= 0 && index < static_cast<int>(c.items.size()) && c.current != index) {
    c.current = index;
    self->text = c.items[static_cast<size_t>(index)].text;
    invalidate(*self, nullptr, true);
    commandParent(*self, CBN_SELCHANGE);
    if (!(self = findWindow(hwnd))) return;
  }
  commandParent(*self, CBN_SELENDOK);
  if (!(self = findWindow(hwnd))) return;
  dataOf<ComboData>(*self).dropped = false;
  touched(*self);
  commandParent(*self, CBN_CLOSEUP);
}

void comboCancel(Window& w) {
  HWND hwnd = w.hwnd;
  commandParent(w, CBN_SELENDCANCEL);
  std::shared_ptr<Window> self = findWindow(hwnd);
  if (!self) return;
  dataOf<ComboData>(*self).dropped = false;
  touched(*self);
  commandParent(*self, CBN_CLOSEUP);
}

void comboSelect(Window& w, int index) {
  ComboData& c = dataOf<ComboData>(w);
  if (index < 0 || index >= static_cast<int>(c.items.size()) || index == c.current) return;
  c.current = index;
  w.text = c.items[static_cast<size_t>(index)].text;
  invalidate(w, nullptr, true);
  commandParent(w, CBN_SELCHANGE);
}

bool comboChoose(Window& w, int index) {
  if (index < 0 || index >= static_cast<int>(dataOf<ComboData>(w).items.size())) return false;
  HWND hwnd = w.hwnd;
  SetFocus(hwnd);
  std::shared_ptr<Window> self = findWindow(hwnd);
  if (!self) return true;
  comboDrop(*self);
  if (!(self = findWindow(hwnd))) return true;
  if (index >= static_cast<int>(dataOf<ComboData>(*self).items.size())) return true;  // the handler changed the list
  comboPick(*self, index);
  return true;
}

ComboLook comboLookOf(Window& w) {
  ComboLook look;
  look.state = comboStateOf(w);
  const ComboData& c = dataOf<ComboData>(w);
  look.hot = c.hot;
  look.top = c.top;
  return look;
}

int comboItemHeight(const Window& w) { return fontMetrics(windowFont(w)).tmHeight + 2; }

RECT comboListRect(Window& w) {
  const ComboData& c = dataOf<ComboData>(w);
  int rows = std::max(1, std::min(static_cast<int>(c.items.size()), kComboListRows));
  int height = rows * comboItemHeight(w) + 2;
  // Below the box where the screen has room for it, else above it where that has room, else on
  // the side with more room; in every case as much of it on the screen as the screen holds.
  SIZE screen = screenSize();
  POINT at{0, 0};
  ::ClientToScreen(w.hwnd, &at);
  int below = screen.cy - (at.y + w.height()), above = at.y;
  int top = height <= below || (height > above && below >= above) ? w.height() : -height;
  top = std::max(-at.y, std::min(top, screen.cy - at.y - height));
  int left = std::max(-at.x, std::min(0, screen.cx - at.x - w.width()));
  return RECT{left, top, left + w.width(), top + height};
}

int comboFind(Window& w, const std::string& text) {
  const ComboData& c = dataOf<ComboData>(w);
  for (size_t i = 0; i < c.items.size(); ++i) {
    if (strcasecmp(c.items[i].text.c_str(), text.c_str()) == 0) return static_cast<int>(i);
  }
  return -1;
}

ComboState comboStateOf(Window& w) {
  ComboState state;
  const ComboData& c = dataOf<ComboData>(w);
  for (const TextItem& item : c.items) {
    state.items.push_back(item.text);
    state.data.push_back(item.data);
  }
  state.selection = c.current;
  state.text = w.text;
  state.dropped = c.dropped;
  return state;
}

// --- Progress bars --------------------------------------------------------------------------------
LRESULT progressProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  ProgressData& p = dataOf<ProgressData>(w);
  auto setPosition = [&](int value) -> LRESULT {
    int old = p.position;
    p.position = progressClamp(p, value);
    if (p.position != old) invalidate(w, nullptr, true);
    return old;
  };
  // The old range comes back in the 16-bit form whichever message set the new one.
  auto setRange = [&](int lower, int upper) -> LRESULT {
    LRESULT old = MAKELRESULT(p.lower, p.upper);
    p.lower = lower;
    p.upper = upper;
    p.position = progressClamp(p, p.position);
    invalidate(w, nullptr, true);
    return old;
  };
  auto setColor = [&](COLORREF& color) -> LRESULT {
    COLORREF old = color;
    color = static_cast<COLORREF>(lParam);
    invalidate(w, nullptr, true);
    return old;
  };
  switch (message) {
    case PBM_SETRANGE:
      return setRange(LOWORD(lParam), HIWORD(lParam));
    case PBM_SETRANGE32:
      return setRange(static_cast<int>(static_cast<intptr_t>(wParam)), static_cast<int>(lParam));
    case PBM_GETRANGE:
      if (lParam != 0) *reinterpret_cast<PBRANGE*>(lParam) = PBRANGE{p.lower, p.upper};
      return wParam != 0 ? p.lower : p.upper;
    case PBM_SETPOS:
      return setPosition(static_cast<int>(static_cast<intptr_t>(wParam)));
    case PBM_DELTAPOS:
      return setPosition(p.position + static_cast<int>(static_cast<intptr_t>(wParam)));
    case PBM_SETSTEP: {
      int old = p.step;
      p.step = static_cast<int>(static_cast<intptr_t>(wParam));
      return old;
    }
    case PBM_STEPIT: {
      // Past the end the bar starts over from the beginning.
      int next = p.position + p.step;
      if ((next > p.upper || next < p.lower) && p.upper > p.lower)
        next = (next - p.lower) % (p.upper - p.lower) + p.lower;
      return setPosition(next);
    }
    case PBM_GETPOS:
      return p.position;
    case PBM_SETBARCOLOR:
      return setColor(p.barColor);
    case PBM_SETBKCOLOR:
      return setColor(p.backColor);
    default:
      return defaultProc(w, message, wParam, lParam);
  }
}

ProgressState progressStateOf(Window& w) { return dataOf<ProgressData>(w); }

// --- Tab controls -----------------------------------------------------------------------------------
LRESULT tabProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  TabData& t = dataOf<TabData>(w);
  int count = static_cast<int>(t.items.size());
  int index = static_cast<int>(static_cast<intptr_t>(wParam));
  switch (message) {
    case TCM_INSERTITEM: {
      const TCITEM* info = reinterpret_cast<const TCITEM*>(lParam);
      if (info == nullptr || index < 0) return -1;
      int at = std::min(index, count);
      TextItem item;
      if ((info->mask & TCIF_TEXT) && info->pszText != nullptr) item.text = info->pszText;
      if (info->mask & TCIF_PARAM) item.data = info->lParam;
      t.items.insert(t.items.begin() + at, item);
      if (t.current < 0) {
        t.current = 0;
      } else if (t.current >= at) {
        ++t.current;
      }
      invalidate(w, nullptr, true);
      return at;
    }
    case TCM_DELETEALLITEMS:
      t.items.clear();
      t.current = -1;
      return TRUE;
    case TCM_GETITEMCOUNT:
      return count;
    case TCM_GETCURSEL:
      return t.current;
    case TCM_SETCURSEL: {
      if (index < 0 || index >= count) return -1;
      int old = t.current;
      t.current = index;
      invalidate(w, nullptr, true);
      return old;
    }
    case TCM_GETITEM: {
      TCITEM* info = reinterpret_cast<TCITEM*>(lParam);
      if (info == nullptr || index < 0 || index >= count) return FALSE;
      const TextItem& item = t.items[static_cast<size_t>(index)];
      if ((info->mask & TCIF_TEXT) && info->pszText != nullptr && info->cchTextMax > 0) {
        size_t n = std::min(item.text.size(), static_cast<size_t>(info->cchTextMax) - 1);
        std::memcpy(info->pszText, item.text.data(), n);
        info->pszText[n] = '\0';
      }
      if (info->mask & TCIF_PARAM) info->lParam = item.data;
      return TRUE;
    }
    case TCM_GETITEMRECT: {
      RECT* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr || index < 0 || index >= count) return FALSE;
      *rect = tabRect(index);
      return TRUE;
    }
    case TCM_ADJUSTRECT: {
      RECT* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr) return 0;
      int sign = wParam != 0 ? -1 : 1;
      rect->left += sign * 2;
      rect->top += sign * (kTabHeader + 2);
      rect->right -= sign * 2;
      rect->bottom -= sign * 2;
      return 0;
    }
    default:
      return defaultProc(w, message, wParam, lParam);
  }
}

bool tabClick(Window& w, int index) {
  TabData& t = dataOf<TabData>(w);
  if (index < 0 || index >= static_cast<int>(t.items.size())) return false;
  HWND hwnd = w.hwnd;
  setMessagePos(w, POINT{2 + index * kTabWidth + kTabWidth / 2, kTabHeader / 2});
  if (t.current == index) return true;
  NMHDR changing{};
  changing.code = TCN_SELCHANGING;
  if (notifyParent(w, changing) != 0) return true;
  std::shared_ptr<Window> self = findWindow(hwnd);
  if (!self) return true;
  TabData& again = dataOf<TabData>(*self);
  if (index >= static_cast<int>(again.items.size())) return true;
  again.current = index;
  invalidate(*self, nullptr, true);
  NMHDR change{};
  change.code = TCN_SELCHANGE;
  notifyParent(*self, change);
  return true;
}

TabLook tabLookOf(Window& w) {
  TabLook look;
  look.state = tabStateOf(w);
  for (size_t i = 0; i < look.state.items.size(); ++i) look.items.push_back(tabRect(static_cast<int>(i)));
  return look;
}

TabState tabStateOf(Window& w) {
  TabState state;
  const TabData& t = dataOf<TabData>(w);
  for (const TextItem& item : t.items) state.items.push_back(item.text);
  state.selection = t.current;
  return state;
}

}  // namespace detail
}  // namespace ui
