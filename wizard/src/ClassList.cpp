#include "ClassList.h"

#include "PageSupport.h"
#include "WizardResources.h"

IMPLEMENT_DYNCREATE(CClassList, CListView)

BEGIN_MESSAGE_MAP(CClassList, CListView)
  ON_NOTIFY_REFLECT(LVN_ITEMCHANGED, OnItemChanged)
END_MESSAGE_MAP()

CClassList::CClassList() = default;

BOOL CClassList::PreCreateWindow(CREATESTRUCT& cs) {
  DWORD style = static_cast<DWORD>(cs.style);
  style &= ~(LVS_TYPEMASK | LVS_EDITLABELS | LVS_SORTASCENDING | LVS_SORTDESCENDING);
  style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
  cs.style = static_cast<LONG>(style);
  return CListView::PreCreateWindow(cs);
}

void CClassList::OnDraw(CDC*) {}

void CClassList::SetColumn(const CString& title) {
  wizardpages::InitReportList(GetListCtrl(), LVS_EX_FULLROWSELECT, {{title, 400}});
}

void CClassList::AddRow(const CString& text, int image) {
  CListCtrl& list = GetListCtrl();
  list.InsertItem(list.GetItemCount(), text, image);
}

void CClassList::AddClassRow(const CString& text, bool isInterface) {
  AddRow(text, isInterface ? kImageInterface : kImageClass);
}

// The view sits in a splitter, in a frame, on the page: the page is its third ancestor.
void CClassList::OnItemChanged(NMHDR* header, LRESULT* result) {
  *result = 0;
  const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
  HWND page = m_hWnd;
  for (int up = 0; up < 3 && page != nullptr; ++up) page = ::GetParent(page);
  if (page == nullptr) return;
  ::SendMessage(page, WM_CLASS_LIST_CHANGED, static_cast<WPARAM>(change->iItem), reinterpret_cast<LPARAM>(m_hWnd));
}
