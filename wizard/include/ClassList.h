// The report-style class list view that the classes page and the local filter page use as the
// left (and the classes page also as the right) pane of their splitter.
#pragma once

#include "Mfc.h"

class CClassList : public CListView {
  DECLARE_DYNCREATE(CClassList)

 public:
  CClassList();

  // Adds full-row select and one left-aligned column of 400 pixels with the title.
  void SetColumn(const CString& title);
  // Appends a row with the text and image.
  void AddRow(const CString& text, int image);
  // Appends a row with image kImageInterface when `isInterface`, else kImageClass.
  void AddClassRow(const CString& text, bool isInterface);

 protected:
  // Report view, single selection, selection always shown, no sortable headers, no label
  // editing.
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  // Draws nothing: the control paints itself.
  void OnDraw(CDC* dc) override;
  // LVN_ITEMCHANGED reflected: sends WM_CLASS_LIST_CHANGED (row, this view's window) to the
  // page that holds the view (its third ancestor), for every change.
  afx_msg void OnItemChanged(NMHDR* header, LRESULT* result);
  DECLARE_MESSAGE_MAP()
};
