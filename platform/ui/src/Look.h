// What the painter draws and the display's input acts on, taken from the controls' state on the
// window's own thread. Geometry is the controls' own (the same that their hit tests and the
// driver's clicks use), in the control's client coordinates, which lie inside its edge.
#pragma once

#include "Internal.h"

#include <string>
#include <vector>

namespace ui {
namespace detail {

// The width of the sunken or flat edge a control draws inside its window rectangle: 2 for a
// client edge (also given to edits, lists, trees and combo boxes with a border, and to the panes
// of a splitter), 1 for a static edge or a plain border, else 0.
int edgeOf(const Window& w);
bool isSplitter(const Window& w);
bool isGroupBox(const Window& w);

// A scroll bar: arrows at both ends, a track and a thumb.
struct ScrollBar {
  bool shown = false;
  bool vertical = true;
  RECT rect{}, less{}, more{}, track{}, thumb{};
  int position = 0, page = 1, total = 0;  // first unit shown, units shown, units in all
};
constexpr int kScrollBarSize = 16;
ScrollBar makeScrollBar(const RECT& rect, bool vertical, int position, int page, int total);
// The first unit to show for a thumb dragged to `coordinate` (along the bar).
int scrollPositionAt(const ScrollBar& bar, int coordinate);

HICON staticIconOf(Window& w);

struct ButtonLook {
  int check = BST_UNCHECKED;
  bool pushed = false;
};
ButtonLook buttonLookOf(Window& w);

struct EditLook {
  int selStart = 0, selEnd = 0;  // bytes; the caret is at selEnd
};
EditLook editLookOf(Window& w);
// Puts the caret (and an empty selection) at a byte offset; with `extend`, keeps the anchor.
void editSetCaret(Window& w, int offset, bool extend);
// Replaces the selection with `text` as typing does (EN_UPDATE, EN_CHANGE or the combo box's).
void editInsert(Window& w, const std::string& text);

struct ComboLook {
  ComboState state;
  int hot = -1;  // the row under the pointer or the keys in the dropped list
  int top = 0;   // first row shown in the dropped list
};
ComboLook comboLookOf(Window& w);
constexpr int kComboListRows = 8;
int comboItemHeight(const Window& w);
// The dropped list in the combo box's client coordinates: below the box, or above it where the
// screen has no room below.
RECT comboListRect(Window& w);
// Steps of a choice from the list, as comboChoose makes them.
void comboDrop(Window& w);               // CBN_DROPDOWN, the list shows
void comboSetHot(Window& w, int index);  // highlights a row, scrolling it into the list
void comboPick(Window& w, int index);    // CBN_SELCHANGE when it changes, CBN_SELENDOK, CBN_CLOSEUP
void comboCancel(Window& w);             // CBN_SELENDCANCEL, CBN_CLOSEUP
void comboScroll(Window& w, int top);
// The closed box's selection by the keys: CBN_SELCHANGE.
void comboSelect(Window& w, int index);

struct TabLook {
  TabState state;
  std::vector<RECT> items;
};
TabLook tabLookOf(Window& w);

// List and tree views: a row, and the state icon or small icon at the start of its label.
constexpr int kRowHeight = 16;
constexpr int kIconWidth = 16;

struct ListRow {
  int item = 0;
  RECT bounds{}, state{}, icon{}, label{};
};
struct ListLook {
  ListState state;
  bool header = false;
  int headerHeight = 0;
  int rowHeight = 16;
  int scrollX = 0;   // columns scrolled out on the left, in pixels
  int topIndex = 0;  // first row shown
  bool stateIcons = false;
  std::vector<ListRow> rows;  // the rows shown, in client coordinates
  ScrollBar vbar, hbar;
  RECT area{};  // client area less the scroll bars
};
ListLook listLookOf(Window& w);
void listScrollTo(Window& w, int topIndex, int scrollX);
// The keys: moves the focus and the selection to a row (LVN_ITEMCHANGING/LVN_ITEMCHANGED) and
// scrolls it into view. In a list that selects several rows, `extend` (Shift) selects the rows
// from the mark to it instead, and `focusOnly` (Control) moves only the focus.
void listMoveTo(Window& w, int item, bool extend, bool focusOnly);
void listToggleSelected(Window& w, int item);  // Control+Space
void listToggleCheck(Window& w, int item);     // Space in a list with check boxes
int listHitTest(Window& w, POINT client, UINT& flags);
// A click with Shift (a range from the mark: the row last clicked) or Control (one row more or
// less) in a list that selects several rows.
void listClickExtended(Window& w, int item, bool shift, bool control);

struct TreeRow {
  HTREEITEM handle = nullptr;
  std::string text;
  int depth = 0;
  int image = 0, selectedImage = 0;
  UINT state = 0;
  bool hasChildren = false, expanded = false, selected = false, last = false;
  std::vector<bool> openLevels;  // per level above: a later sibling follows, so its line goes on
  RECT row{}, button{}, stateIcon{}, icon{}, label{};
};
struct TreeLook {
  std::vector<TreeRow> rows;  // the rows shown
  HIMAGELIST normalImages = nullptr, stateImages = nullptr;
  int indent = 19;
  int rowHeight = 16;
  ScrollBar vbar;
  RECT area{};
};
TreeLook treeLookOf(Window& w);
void treeScrollTo(Window& w, int firstRow);
HTREEITEM treeHitTest(Window& w, POINT client, UINT& flags);
// The keys: selects an item (TVC_BYKEYBOARD), scrolling it into view; expands or collapses one.
void treeKeySelect(Window& w, HTREEITEM item);
bool treeToggle(Window& w, HTREEITEM item, UINT action);
HTREEITEM treeNeighbour(Window& w, HTREEITEM item, UINT code);
// The items a person can scroll to (those whose ancestors are all expanded), in order.
std::vector<HTREEITEM> treeVisibleItems(Window& w);

}  // namespace detail
}  // namespace ui
