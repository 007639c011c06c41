// Tab "Global" of the member filters: the project's ten filter switches. Every change takes
// effect at once in the model and in the proxy generator's switch of the same name.
#pragma once

#include "Mfc.h"
#include "ProjectModel.h"
#include "WizardResources.h"

class CGlobalFilterPage : public CDialog {
 public:
  enum { IDD = IDD_GLOBAL_FILTER_PAGE };

  explicit CGlobalFilterPage(CWnd* parent = nullptr);

  // Keeps the filter dialog and the filter and shows the filter in the controls.
  void SetFilter(CWnd* parent, GlobalFilter* globalFilter);

  CButton m_btnMethodsProtected;  // 1062 Methods "protected"
  CButton m_btnFieldsProtected;   // 1060 Fields "protected"
  CButton m_btnMethodsPrivate;    // 1061 Methods "private"
  CButton m_btnFieldsPrivate;     // 1059 Fields "private"
  CButton m_btnMethodsDefault;    // 1058 Methods "with default access"
  CButton m_btnFieldsDefault;     // 1057 Fields "with default access"
  CButton m_btnMethodsAll;        // 1055 Methods "All"
  CButton m_btnFieldsAll;         // 1053 Fields "All"
  int m_fieldsUse;                // radio index of 1053/1054: 0 "All", 1 "Except inherited"
  int m_methodsUse;               // radio index of 1055/1056
  int m_fieldsDefault;            // check state of 1057
  int m_fieldsPrivate;            // check state of 1059
  int m_fieldsProtected;          // check state of 1060
  int m_methodsDefault;           // check state of 1058
  int m_methodsPrivate;           // check state of 1061
  int m_methodsProtected;         // check state of 1062
  GlobalFilter* m_pGlobalFilter;  // the dialog's global filter; null at first
  CWnd* m_pParent;                // the filter dialog

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnFieldsAll();
  afx_msg void OnFieldsExceptInherited();
  afx_msg void OnFieldsDefault();
  afx_msg void OnFieldsPrivate();
  afx_msg void OnFieldsProtected();
  afx_msg void OnMethodsAll();
  afx_msg void OnMethodsExceptInherited();
  afx_msg void OnMethodsDefault();
  afx_msg void OnMethodsPrivate();
  afx_msg void OnMethodsProtected();
  afx_msg void OnShowWindow(BOOL show, UINT status);
  // WM_REFRESH_PAGE: nothing to refresh; 0.
  afx_msg LRESULT OnRefresh(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

 private:
  // The handlers' one step: the controls are read, and the filter's switch `flag` is set from
  // the check box `control` (excluding when checked), or, for the "all" switches, from the
  // radio index `control` ("All" when 0) with `inherited` as its opposite; the generator's
  // switch follows through `setter` (the exclusion switch).
  void ApplyCheck(int CGlobalFilterPage::*control, bool GlobalFilter::*flag, bool (*setter)(bool));
  void ApplyUse(int CGlobalFilterPage::*control, bool GlobalFilter::*all, bool GlobalFilter::*inherited,
                bool (*setter)(bool));
};
