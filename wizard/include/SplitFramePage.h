// The base of the two pages that show the selected classes in a split frame (the classes page
// and the local filter): the class list in the left pane, the view of the members of the class
// selected there in the right one, and the wizard's image strip for both.
#pragma once

#include "Mfc.h"
#include "ProjectModel.h"

class CSplitFramePage : public CDialog {
 public:
  CSplitterWnd m_splitter;             // one row: the class list at (0, 0), the members' view at (0, 1)
  CFrameWnd* m_pFrame;                 // the child frame of the splitter, made on WM_CREATE
  ClassSettingsMap* m_pClassSettings;  // the dialog's selected classes; null at first
  CImageList m_images;                 // the wizard's image strip

 protected:
  // `memberView` is the run-time class of the right pane; `classColumn` the title of the class
  // list's column.
  CSplitFramePage(UINT templateId, CRuntimeClass* memberView, LPCTSTR classColumn, CWnd* parent);

  // Places the frame on the page's marker and gives the class list the strip and its column.
  BOOL OnInitDialog() override;
  // Makes the frame with its splitter.
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  DECLARE_MESSAGE_MAP()

 private:
  CRuntimeClass* m_memberView;
  LPCTSTR m_classColumn;
};
