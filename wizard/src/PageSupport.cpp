#include "PageSupport.h"

#include "JavaTypes.h"
#include "WizardResources.h"

#include <utility>

namespace wizardpages {

namespace {

int accessOffset(uint16_t accessFlags) {
  if (accessFlags & kAccPublic) return kAccessPublic;
  if (accessFlags & kAccProtected) return kAccessProtected;
  if (accessFlags & kAccPrivate) return kAccessPrivate;
  return kAccessPackage;
}

bool isStatic(uint16_t accessFlags) { return (accessFlags & kAccStatic) != 0; }

}  // namespace

int fieldImage(uint16_t accessFlags) {
  return (isStatic(accessFlags) ? kImageStaticField : kImageField) + accessOffset(accessFlags);
}

int methodImage(uint16_t accessFlags) {
  return (isStatic(accessFlags) ? kImageStaticMethod : kImageMethod) + accessOffset(accessFlags);
}

int constructorImage(uint16_t accessFlags) { return kImageConstructor + accessOffset(accessFlags); }

CFrameWnd* CreateSplitFrame(CWnd& page, CSplitterWnd& splitter, CRuntimeClass* leftView, CRuntimeClass* rightView) {
  LPCTSTR windowClass =
      AfxRegisterWndClass(CS_VREDRAW | CS_HREDRAW, LoadCursor(nullptr, IDC_ARROW),
                          static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), LoadIcon(nullptr, IDI_APPLICATION));
  CFrameWnd* frame = new CFrameWnd;
  if (!frame->Create(windowClass, "", WS_CHILD, CRect(0, 0, 1, 1), &page)) {
    delete frame;  // no window was made, so nothing deletes it
    return nullptr;
  }
  frame->ShowWindow(SW_SHOW);
  frame->MoveWindow(0, 0, 100, 100);
  if (splitter.CreateStatic(frame, 1, 2, WS_CHILD | WS_VISIBLE, AFX_IDW_PANE_FIRST)) {
    splitter.CreateView(0, 0, leftView, CSize(0, 0), nullptr);
    splitter.CreateView(0, 1, rightView, CSize(0, 0), nullptr);
    splitter.SetColumnInfo(0, 250, 0);
  }
  return frame;
}

namespace {

CWnd* paneOf(const CSplitterWnd& splitter, int column, const CRuntimeClass* viewClass) {
  if (splitter.GetSafeHwnd() == nullptr) return nullptr;
  CWnd* pane = splitter.GetPane(0, column);
  return pane != nullptr && pane->IsKindOf(viewClass) ? pane : nullptr;
}

}  // namespace

CClassList* ClassListPane(const CSplitterWnd& splitter, int column) {
  return static_cast<CClassList*>(paneOf(splitter, column, RUNTIME_CLASS(CClassList)));
}

CMemberView* MemberViewPane(const CSplitterWnd& splitter, int column) {
  return static_cast<CMemberView*>(paneOf(splitter, column, RUNTIME_CLASS(CMemberView)));
}

void RegisterPageTemplate(UINT id, int cx, int cy, std::vector<ui::ControlTemplate> controls) {
  ui::DialogTemplate page;
  page.cx = cx;
  page.cy = cy;
  page.style = WS_CHILD | DS_CONTROL;
  page.controls = std::move(controls);
  ui::registerDialog(id, page);
}

CRect ChildRect(const CWnd& page, const CWnd& control) {
  CRect rect;
  control.GetWindowRect(&rect);
  page.ScreenToClient(&rect);
  return rect;
}

void PlaceSplitFrame(CWnd& page, CFrameWnd* frame) {
  CWnd* place = page.GetDlgItem(IDC_FRAME_PLACE);
  if (frame == nullptr || frame->GetSafeHwnd() == nullptr || place == nullptr) return;
  CRect rect = ChildRect(page, *place);
  frame->MoveWindow(&rect);
  frame->ShowWindow(SW_SHOW);
}

void InitReportList(CListCtrl& list, DWORD extendedStyle, std::initializer_list<ListColumn> columns) {
  list.SetExtendedStyle(list.GetExtendedStyle() | extendedStyle);
  int index = 0;
  for (const ListColumn& column : columns) list.InsertColumn(index++, column.title, LVCFMT_LEFT, column.width);
}

void InitCheckList(CListCtrl& list, LPCTSTR title, int width) {
  if (list.GetSafeHwnd() == nullptr) return;
  InitReportList(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT, {{title, width}});
}

void FillCheckList(CListCtrl& list, const ClassSettingsMap* classes, bool (*admit)(const ClassSettings&),
                   bool ClassSettings::*flag) {
  if (list.GetSafeHwnd() == nullptr) return;
  list.DeleteAllItems();
  if (classes == nullptr) return;
  for (const auto& entry : *classes) {
    if (!admit(entry.second)) continue;
    int row = list.InsertItem(list.GetItemCount(), entry.first);
    if (row >= 0) list.SetCheck(row, entry.second.*flag ? TRUE : FALSE);
  }
}

int CheckBoxRowAtCursor(const CListCtrl& list) {
  if (list.GetSafeHwnd() == nullptr) return -1;
  CPoint point(GetMessagePos());
  list.ScreenToClient(&point);
  LVHITTESTINFO hit{};
  hit.pt = point;
  int row = list.HitTest(&hit);
  if (row < 0 || row >= list.GetItemCount() || (hit.flags & LVHT_ONITEMSTATEICON) == 0) return -1;
  return row;
}

void LayoutCheckListPage(CWnd& page, CWnd& description, CWnd& list, int cx, int cy) {
  if (page.GetSafeHwnd() == nullptr || description.GetSafeHwnd() == nullptr || list.GetSafeHwnd() == nullptr) return;
  CRect text = ChildRect(page, description);
  description.MoveWindow(0, text.top, cx, text.Height());
  int top = text.bottom + 5;
  list.MoveWindow(0, top, cx, cy > top ? cy - top : 0);
}

void LayoutButtonListPage(CWnd& page, std::initializer_list<CWnd*> buttons, CWnd& description, CWnd& list) {
  if (page.GetSafeHwnd() == nullptr || description.GetSafeHwnd() == nullptr || list.GetSafeHwnd() == nullptr ||
      buttons.size() == 0) {
    return;
  }
  for (CWnd* button : buttons) {
    if (button->GetSafeHwnd() == nullptr) return;
  }
  CRect client;
  page.GetClientRect(&client);
  CRect listRect = ChildRect(page, list);
  listRect.right = client.right;
  for (CWnd* button : buttons) {
    CRect rect = ChildRect(page, *button);
    rect.OffsetRect(client.right - rect.right, 0);
    if (button == *buttons.begin()) listRect.right = rect.left - 5;
    button->MoveWindow(&rect);
  }
  CRect infoRect = ChildRect(page, description);
  infoRect.right = client.right;
  listRect.bottom = client.bottom;
  description.MoveWindow(&infoRect);
  list.MoveWindow(&listRect);
}

}  // namespace wizardpages
