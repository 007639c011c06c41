// The page "JNI Classes": the selected classes in the left pane and, for the class selected
// there, the members that will be wrapped in the right pane, each with an icon for kind, static
// and access. It only reads the project model.
#pragma once

#include "CaptionFont.h"
#include "SplitFramePage.h"
#include "WizardResources.h"

class CClassList;

class CClassesPage : public CSplitFramePage {
 public:
  enum { IDD = IDD_CLASSES_PAGE };

  explicit CClassesPage(CWnd* parent = nullptr);

  // Called once by the generator dialog: keeps the class map and, when the page window exists,
  // lists the classes. The filter is not used by this page.
  void SetClassData(ClassSettingsMap* classSettings, GlobalFilter* globalFilter);

  CStatic m_staticCaption;      // 1016 "Classes selected:"
  CStatic m_staticDescription;  // 1011

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnPaint();
  afx_msg void OnShowWindow(BOOL show, UINT status);
  // WM_CLASS_LIST_CHANGED from a pane: lists the members of the class of row `wParam` when the
  // pane is the left one.
  afx_msg LRESULT OnClassChanged(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

 private:
  CCaptionFont m_captionFont;
};
