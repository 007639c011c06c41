// The MFC control classes: thin wrappers that send the controls' messages.
#include "Internal.h"

#include <cstring>

using namespace ui;
using namespace ui::detail;

// --- Controls --------------------------------------------------------------------------------------
BOOL CButton::Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_BUTTON, caption, style, rect, parent, id);
}
int CButton::GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
void CButton::SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
UINT CButton::GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
void CButton::SetState(BOOL highlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(highlight)); }
UINT CButton::GetButtonStyle() const { return GetStyle() & 0xffu; }
void CButton::SetButtonStyle(UINT style, BOOL redraw) { SendMessage(BM_SETSTYLE, style, static_cast<LPARAM>(redraw)); }

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_EDIT, nullptr, style, rect, parent, id);
}
void CEdit::SetSel(int start, int end, BOOL) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
void CEdit::GetSel(int& start, int& end) const {
  DWORD s = 0, e = 0;
  SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  start = static_cast<int>(s);
  end = static_cast<int>(e);
}
void CEdit::ReplaceSel(LPCTSTR text, BOOL canUndo) {
  SendMessage(EM_REPLACESEL, static_cast<WPARAM>(canUndo), reinterpret_cast<LPARAM>(text));
}

BOOL CStatic::Create(LPCTSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_STATIC, text, style, rect, parent, id);
}

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_COMBOBOX, nullptr, style, rect, parent, id);
}
int CComboBox::AddString(LPCTSTR text) {
  return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}
int CComboBox::InsertString(int index, LPCTSTR text) {
  return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}
int CComboBox::DeleteString(UINT index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
void CComboBox::ResetContent() { SendMessage(CB_RESETCONTENT); }
int CComboBox::GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
int CComboBox::GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
int CComboBox::SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
int CComboBox::GetLBText(int index, LPTSTR buffer) const {
  return static_cast<int>(SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
}
void CComboBox::GetLBText(int index, CString& text) const {
  int length = GetLBTextLen(index);
  if (length < 0) {
    text.Empty();
    return;
  }
  std::string buffer(static_cast<size_t>(length) + 1, '\0');
  GetLBText(index, &buffer[0]);
  buffer.resize(static_cast<size_t>(length));
  text = buffer;
}
int CComboBox::GetLBTextLen(int index) const {
  return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
}
DWORD_PTR CComboBox::GetItemData(int index) const {
  return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
}
int CComboBox::SetItemData(int index, DWORD_PTR data) {
  return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
}
int CComboBox::FindString(int startAfter, LPCTSTR prefix) const {
  return static_cast<int>(
      SendMessage(CB_FINDSTRING, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(prefix)));
}
int CComboBox::FindStringExact(int startAfter, LPCTSTR text) const {
  return static_cast<int>(
      SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(text)));
}
int CComboBox::SelectString(int startAfter, LPCTSTR prefix) {
  return static_cast<int>(
      SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(prefix)));
}
BOOL CComboBox::GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }

BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_LISTVIEW, nullptr, style, rect, parent, id);
}
DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
}
DWORD CListCtrl::GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
CImageList* CListCtrl::SetImageList(CImageList* images, int type) {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(
      SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(type),
                  reinterpret_cast<LPARAM>(images != nullptr ? images->m_hImageList : nullptr))));
}
CImageList* CListCtrl::GetImageList(int type) const {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, static_cast<WPARAM>(type))));
}
int CListCtrl::InsertColumn(int column, const LVCOLUMN* info) {
  return static_cast<int>(SendMessage(LVM_INSERTCOLUMN, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(info)));
}
int CListCtrl::InsertColumn(int column, LPCTSTR heading, int format, int width, int subItem) {
  LVCOLUMN info{};
  info.mask = LVCF_FMT | LVCF_TEXT;
  info.pszText = const_cast<LPSTR>(heading);
  info.fmt = format;
  if (width != -1) {
    info.mask |= LVCF_WIDTH;
    info.cx = width;
  }
  if (subItem != -1) {
    info.mask |= LVCF_SUBITEM;
    info.iSubItem = subItem;
  }
  return InsertColumn(column, &info);
}
BOOL CListCtrl::DeleteColumn(int column) {
  return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column)));
}
int CListCtrl::GetColumnWidth(int column) const {
  return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}
BOOL CListCtrl::SetColumnWidth(int column, int width) {
  return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)));
}
int CListCtrl::InsertItem(const LVITEM* item) {
  return static_cast<int>(SendMessage(LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(item)));
}
int CListCtrl::InsertItem(int item, LPCTSTR text) { return InsertItem(LVIF_TEXT, item, text, 0, 0, 0, 0); }
int CListCtrl::InsertItem(int item, LPCTSTR text, int image) {
  return InsertItem(LVIF_TEXT | LVIF_IMAGE, item, text, 0, 0, image, 0);
}
// The LVITEM that the InsertItem and SetItem overloads spelled out as arguments describe.
static LVITEM listItem(UINT mask, int item, int subItem, LPCTSTR text, int image, UINT state, UINT stateMask,
                       LPARAM lParam) {
  LVITEM info{};
  info.mask = mask;
  info.iItem = item;
  info.iSubItem = subItem;
  info.pszText = const_cast<LPSTR>(text);
  info.iImage = image;
  info.state = state;
  info.stateMask = stateMask;
  info.lParam = lParam;
  return info;
}
int CListCtrl::InsertItem(UINT mask, int item, LPCTSTR text, UINT state, UINT stateMask, int image, LPARAM lParam) {
  const LVITEM info = listItem(mask, item, 0, text, image, state, stateMask, lParam);
  return InsertItem(&info);
}
BOOL CListCtrl::SetItem(const LVITEM* item) {
  return static_cast<BOOL>(SendMessage(LVM_SETITEM, 0, reinterpret_cast<LPARAM>(item)));
}
BOOL CListCtrl::SetItem(int item, int subItem, UINT mask, LPCTSTR text, int image, UINT state, UINT stateMask,
                        LPARAM lParam) {
  const LVITEM info = listItem(mask, item, subItem, text, image, state, stateMask, lParam);
  return SetItem(&info);
}
BOOL CListCtrl::GetItem(LVITEM* item) const {
  return static_cast<BOOL>(SendMessage(LVM_GETITEM, 0, reinterpret_cast<LPARAM>(item)));
}
BOOL CListCtrl::SetItemText(int item, int subItem, LPCTSTR text) {
  LVITEM info{};
  info.iSubItem = subItem;
  info.pszText = const_cast<LPSTR>(text);
  return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}
CString CListCtrl::GetItemText(int item, int subItem) const {
  std::string buffer;
  for (size_t size = 256;; size *= 2) {
    buffer.assign(size, '\0');
    int copied = GetItemText(item, subItem, &buffer[0], static_cast<int>(size));
    if (static_cast<size_t>(copied) < size - 1) {
      buffer.resize(static_cast<size_t>(copied));
      return CString(buffer);
    }
  }
}
int CListCtrl::GetItemText(int item, int subItem, LPTSTR buffer, int length) const {
  LVITEM info{};
  info.iSubItem = subItem;
  info.pszText = buffer;
  info.cchTextMax = length;
  return static_cast<int>(SendMessage(LVM_GETITEMTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}
BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
  LVITEM info{};
  info.state = state;
  info.stateMask = mask;
  return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}
UINT CListCtrl::GetItemState(int item, UINT mask) const {
  return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), static_cast<LPARAM>(mask)));
}
BOOL CListCtrl::SetItemData(int item, DWORD_PTR data) {
  return SetItem(item, 0, LVIF_PARAM, nullptr, 0, 0, 0, static_cast<LPARAM>(data));
}
DWORD_PTR CListCtrl::GetItemData(int item) const {
  LVITEM info{};
  info.mask = LVIF_PARAM;
  info.iItem = item;
  GetItem(&info);
  return static_cast<DWORD_PTR>(info.lParam);
}
BOOL CListCtrl::SetCheck(int item, BOOL check) {
  return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
}
BOOL CListCtrl::GetCheck(int item) const {
  return static_cast<BOOL>(GetItemState(item, LVIS_STATEIMAGEMASK) >> 12) - 1;
}
BOOL CListCtrl::DeleteItem(int item) {
  return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(item)));
}
BOOL CListCtrl::DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
int CListCtrl::GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
UINT CListCtrl::GetSelectedCount() const { return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT)); }
int CListCtrl::GetNextItem(int item, int flags) const {
  return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(item), static_cast<LPARAM>(flags)));
}
POSITION CListCtrl::GetFirstSelectedItemPosition() const {
  int first = GetNextItem(-1, LVNI_SELECTED);
  return reinterpret_cast<POSITION>(static_cast<intptr_t>(first + 1));
}
int CListCtrl::GetNextSelectedItem(POSITION& position) const {
  int item = static_cast<int>(reinterpret_cast<intptr_t>(position)) - 1;
  position = reinterpret_cast<POSITION>(static_cast<intptr_t>(GetNextItem(item, LVNI_SELECTED) + 1));
  return item;
}
int CListCtrl::FindItem(LVFINDINFO* info, int start) const {
  return static_cast<int>(SendMessage(LVM_FINDITEM, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(info)));
}
int CListCtrl::HitTest(LVHITTESTINFO* info) const {
  return static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(info)));
}
// The item at `point` by the control's own hit test, and (when `flags` is not null) where on it.
template <class HitTestInfo, class Control>
static auto hitTestAt(const Control& control, CPoint point, UINT* flags) {
  HitTestInfo info{};
  info.pt = point;
  auto item = control.HitTest(&info);
  if (flags != nullptr) *flags = info.flags;
  return item;
}
int CListCtrl::HitTest(CPoint point, UINT* flags) const { return hitTestAt<LVHITTESTINFO>(*this, point, flags); }
BOOL CListCtrl::GetItemRect(int item, LPRECT rect, UINT code) const {
  rect->left = static_cast<LONG>(code);
  return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect)));
}
BOOL CListCtrl::EnsureVisible(int item, BOOL partialOK) {
  return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), partialOK));
}

// A TVITEM naming `item`, for the members in `mask` to be read or set.
static TVITEM treeItem(HTREEITEM item, UINT mask) {
  TVITEM info{};
  info.mask = TVIF_HANDLE | mask;
  info.hItem = item;
  return info;
}
BOOL CTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_TREEVIEW, nullptr, style, rect, parent, id);
}
CImageList* CTreeCtrl::SetImageList(CImageList* images, int type) {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(
      SendMessage(TVM_SETIMAGELIST, static_cast<WPARAM>(type),
                  reinterpret_cast<LPARAM>(images != nullptr ? images->m_hImageList : nullptr))));
}
CImageList* CTreeCtrl::GetImageList(UINT type) const {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(SendMessage(TVM_GETIMAGELIST, type)));
}
HTREEITEM CTreeCtrl::InsertItem(LPTVINSERTSTRUCT insert) {
  return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(insert)));
}
HTREEITEM CTreeCtrl::InsertItem(LPCTSTR text, HTREEITEM parent, HTREEITEM after) {
  return InsertItem(TVIF_TEXT, text, 0, 0, 0, 0, 0, parent, after);
}
HTREEITEM CTreeCtrl::InsertItem(LPCTSTR text, int image, int selectedImage, HTREEITEM parent, HTREEITEM after) {
  return InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, text, image, selectedImage, 0, 0, 0, parent, after);
}
HTREEITEM CTreeCtrl::InsertItem(UINT mask, LPCTSTR text, int image, int selectedImage, UINT state, UINT stateMask,
                                LPARAM lParam, HTREEITEM parent, HTREEITEM after) {
  TVINSERTSTRUCT insert{};
  insert.hParent = parent;
  insert.hInsertAfter = after;
  insert.item.mask = mask;
  insert.item.pszText = const_cast<LPSTR>(text);
  insert.item.iImage = image;
  insert.item.iSelectedImage = selectedImage;
  insert.item.state = state;
  insert.item.stateMask = stateMask;
  insert.item.lParam = lParam;
  return InsertItem(&insert);
}
BOOL CTreeCtrl::DeleteItem(HTREEITEM item) {
  return static_cast<BOOL>(SendMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)));
}
BOOL CTreeCtrl::DeleteAllItems() { return DeleteItem(TVI_ROOT); }
UINT CTreeCtrl::GetCount() const { return static_cast<UINT>(SendMessage(TVM_GETCOUNT)); }
HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM item, UINT code) const {
  return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}
HTREEITEM CTreeCtrl::GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
HTREEITEM CTreeCtrl::GetPrevSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PREVIOUS); }
HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
HTREEITEM CTreeCtrl::GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
HTREEITEM CTreeCtrl::GetFirstVisibleItem() const { return GetNextItem(nullptr, TVGN_FIRSTVISIBLE); }
BOOL CTreeCtrl::ItemHasChildren(HTREEITEM item) const {
  TVITEM info = treeItem(item, TVIF_CHILDREN);
  GetItem(&info);
  return info.cChildren != 0;
}
BOOL CTreeCtrl::Select(HTREEITEM item, UINT code) {
  return static_cast<BOOL>(SendMessage(TVM_SELECTITEM, code, reinterpret_cast<LPARAM>(item)));
}
BOOL CTreeCtrl::SelectItem(HTREEITEM item) { return Select(item, TVGN_CARET); }
BOOL CTreeCtrl::SelectSetFirstVisible(HTREEITEM item) { return Select(item, TVGN_FIRSTVISIBLE); }
BOOL CTreeCtrl::Expand(HTREEITEM item, UINT code) {
  return static_cast<BOOL>(SendMessage(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item)));
}
BOOL CTreeCtrl::EnsureVisible(HTREEITEM item) {
  return static_cast<BOOL>(SendMessage(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item)));
}
BOOL CTreeCtrl::GetItem(TVITEM* item) const {
  return static_cast<BOOL>(SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(item)));
}
BOOL CTreeCtrl::SetItem(TVITEM* item) {
  return static_cast<BOOL>(SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(item)));
}
CString CTreeCtrl::GetItemText(HTREEITEM item) const {
  std::string buffer;
  for (size_t size = 256;; size *= 2) {
    buffer.assign(size, '\0');
    TVITEM info = treeItem(item, TVIF_TEXT);
    info.pszText = &buffer[0];
    info.cchTextMax = static_cast<int>(size);
    if (!GetItem(&info)) return CString();
    size_t length = std::strlen(buffer.c_str());
    if (length < size - 1) {
      buffer.resize(length);
      return CString(buffer);
    }
  }
}
BOOL CTreeCtrl::SetItemText(HTREEITEM item, LPCTSTR text) {
  TVITEM info = treeItem(item, TVIF_TEXT);
  info.pszText = const_cast<LPSTR>(text);
  return SetItem(&info);
}
DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const {
  TVITEM info = treeItem(item, TVIF_PARAM);
  GetItem(&info);
  return static_cast<DWORD_PTR>(info.lParam);
}
BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data) {
  TVITEM info = treeItem(item, TVIF_PARAM);
  info.lParam = static_cast<LPARAM>(data);
  return SetItem(&info);
}
UINT CTreeCtrl::GetItemState(HTREEITEM item, UINT mask) const {
  TVITEM info = treeItem(item, TVIF_STATE);
  info.stateMask = mask;
  GetItem(&info);
  return info.state & mask;
}
BOOL CTreeCtrl::SetItemState(HTREEITEM item, UINT state, UINT mask) {
  TVITEM info = treeItem(item, TVIF_STATE);
  info.state = state;
  info.stateMask = mask;
  return SetItem(&info);
}
BOOL CTreeCtrl::GetCheck(HTREEITEM item) const {
  return static_cast<BOOL>(GetItemState(item, TVIS_STATEIMAGEMASK) >> 12) - 1;
}
BOOL CTreeCtrl::SetCheck(HTREEITEM item, BOOL check) {
  return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), TVIS_STATEIMAGEMASK);
}
HTREEITEM CTreeCtrl::HitTest(CPoint point, UINT* flags) const { return hitTestAt<TVHITTESTINFO>(*this, point, flags); }
HTREEITEM CTreeCtrl::HitTest(TVHITTESTINFO* info) const {
  return reinterpret_cast<HTREEITEM>(SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(info)));
}
BOOL CTreeCtrl::GetItemRect(HTREEITEM item, LPRECT rect, BOOL textOnly) const {
  std::memcpy(rect, &item, sizeof item);
  return static_cast<BOOL>(SendMessage(TVM_GETITEMRECT, static_cast<WPARAM>(textOnly), reinterpret_cast<LPARAM>(rect)));
}

BOOL CProgressCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(PROGRESS_CLASS, nullptr, style, rect, parent, id);
}
void CProgressCtrl::SetRange(short lower, short upper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
void CProgressCtrl::SetRange32(int lower, int upper) {
  SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
}
void CProgressCtrl::GetRange(int& lower, int& upper) const {
  PBRANGE range{0, 0};
  SendMessage(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  lower = range.iLow;
  upper = range.iHigh;
}
int CProgressCtrl::SetPos(int position) {
  return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position)));
}
int CProgressCtrl::GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
int CProgressCtrl::OffsetPos(int delta) {
  return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta)));
}
int CProgressCtrl::SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
int CProgressCtrl::StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }

BOOL CTabCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_TABCONTROL, nullptr, style, rect, parent, id);
}
int CTabCtrl::InsertItem(int item, LPCTSTR text) {
  TCITEM info{};
  info.mask = TCIF_TEXT;
  info.pszText = const_cast<LPSTR>(text);
  return InsertItem(item, &info);
}
int CTabCtrl::InsertItem(int item, TCITEM* info) {
  return static_cast<int>(SendMessage(TCM_INSERTITEM, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(info)));
}
BOOL CTabCtrl::DeleteAllItems() { return static_cast<BOOL>(SendMessage(TCM_DELETEALLITEMS)); }
int CTabCtrl::GetItemCount() const { return static_cast<int>(SendMessage(TCM_GETITEMCOUNT)); }
int CTabCtrl::GetCurSel() const { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }
int CTabCtrl::SetCurSel(int item) { return static_cast<int>(SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(item))); }
void CTabCtrl::AdjustRect(BOOL larger, LPRECT rect) {
  SendMessage(TCM_ADJUSTRECT, static_cast<WPARAM>(larger), reinterpret_cast<LPARAM>(rect));
}
BOOL CTabCtrl::GetItemRect(int item, LPRECT rect) const {
  return static_cast<BOOL>(SendMessage(TCM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect)));
}
