// The page "Class Member Filters": a tab control with the global filter page (the project's ten
// filter switches) and the local filter page (per class: the members excluded and whether the
// global switches apply).
#pragma once

#include "CaptionFont.h"
#include "FilterTab.h"
#include "Mfc.h"
#include "ProjectModel.h"
#include "WizardResources.h"

class CFilterDlg : public CDialog {
 public:
  enum { IDD = IDD_FILTER_DIALOG };

  explicit CFilterDlg(CWnd* parent = nullptr);

  // Called by the generator dialog before the page window exists.
  void SetFilterData(GlobalFilter* globalFilter, ClassSettingsMap* classSettings);

  CStatic m_staticDescription;         // 1047
  CFilterTab m_tab;                    // 1046
  GlobalFilter* m_pGlobalFilter;       // the dialog's global filter; null at first
  ClassSettingsMap* m_pClassSettings;  // the dialog's selected classes; null at first

 protected:
  // Creates the pages, inserts the tabs "Global" and "Local", shows the current page.
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  // TCN_SELCHANGE of 1046: CFilterTab::ShowCurrentPage.
  afx_msg void OnTabSelChange(NMHDR* header, LRESULT* result);
  afx_msg void OnShowWindow(BOOL show, UINT status);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnPaint();
  DECLARE_MESSAGE_MAP()

 private:
  CCaptionFont m_captionFont;
};
