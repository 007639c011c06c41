// The member tree of the local filter page: the members of one class under their groups, each
// with a check box that includes or excludes it.
#pragma once

#include "Mfc.h"

class CMemberView : public CTreeView {
  DECLARE_DYNCREATE(CMemberView)

 public:
  CMemberView();

 protected:
  // Buttons, no drag and drop, selection always shown, no tooltips, no track-select (the page
  // adds the check boxes after creation).
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  // Draws nothing: the control paints itself.
  void OnDraw(CDC* dc) override;
  // TVN_SELCHANGED reflected: posts WM_MEMBER_SELCHANGED (new item, this view) to the page
  // (the view's third ancestor).
  afx_msg void OnSelChanged(NMHDR* header, LRESULT* result);
  // NM_CLICK reflected: a click on an item's check box makes it the caret item and posts
  // WM_MEMBER_CLICKED (item, 1 when the click checks it, else 0) to the page.
  afx_msg void OnClick(NMHDR* header, LRESULT* result);
  DECLARE_MESSAGE_MAP()
};
