#include "MemberView.h"

#include "WizardResources.h"

IMPLEMENT_DYNCREATE(CMemberView, CTreeView)

BEGIN_MESSAGE_MAP(CMemberView, CTreeView)
  ON_NOTIFY_REFLECT(TVN_SELCHANGED, OnSelChanged)
  ON_NOTIFY_REFLECT(NM_CLICK, OnClick)
END_MESSAGE_MAP()

namespace {

// The view sits in a splitter, in a frame, on the page: the page is its third ancestor.
HWND pageOf(HWND view) {
  HWND page = view;
  for (int up = 0; up < 3 && page != nullptr; ++up) page = ::GetParent(page);
  return page;
}

}  // namespace

CMemberView::CMemberView() = default;

BOOL CMemberView::PreCreateWindow(CREATESTRUCT& cs) {
  DWORD style = static_cast<DWORD>(cs.style);
  style &= ~TVS_TRACKSELECT;
  style |= TVS_HASBUTTONS | TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS | TVS_NOTOOLTIPS;
  cs.style = static_cast<LONG>(style);
  return CTreeView::PreCreateWindow(cs);
}

void CMemberView::OnDraw(CDC*) {}

void CMemberView::OnSelChanged(NMHDR* header, LRESULT* result) {
  *result = 0;
  const NMTREEVIEW* change = reinterpret_cast<const NMTREEVIEW*>(header);
  HWND page = pageOf(m_hWnd);
  if (page != nullptr) {
    ::PostMessage(page, WM_MEMBER_SELCHANGED, reinterpret_cast<WPARAM>(change->itemNew.hItem),
                  reinterpret_cast<LPARAM>(m_hWnd));
  }
}

// The tree toggles the box after this notification; the message is posted so that the page
// sees the box in its new state. LPARAM is that state: 1 when the box was unchecked.
void CMemberView::OnClick(NMHDR*, LRESULT* result) {
  *result = 0;
  CTreeCtrl& tree = GetTreeCtrl();
  CPoint point(GetMessagePos());
  ScreenToClient(&point);
  UINT flags = 0;
  HTREEITEM item = tree.HitTest(point, &flags);
  if (item == nullptr || (flags & TVHT_ONITEMSTATEICON) == 0) return;
  tree.SelectItem(item);
  HWND page = pageOf(m_hWnd);
  if (page == nullptr) return;
  ::PostMessage(page, WM_MEMBER_CLICKED, reinterpret_cast<WPARAM>(item), tree.GetCheck(item) ? 0 : 1);
}
