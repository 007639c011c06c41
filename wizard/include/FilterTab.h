// The tab control of the page "Class Member Filters": tab "Global" shows the global filter page,
// tab "Local" the local filter page. The tab owns both pages.
#pragma once

#include "Mfc.h"
#include "ProjectModel.h"

class CFilterTab : public CTabCtrl {
 public:
  // Makes both page objects (no windows yet).
  CFilterTab();
  // Deletes both page objects.
  ~CFilterTab() override;
  CFilterTab(const CFilterTab&) = delete;
  CFilterTab& operator=(const CFilterTab&) = delete;

  // Creates both pages as modeless children of the tab's parent and hands them the model.
  void CreatePages(GlobalFilter* globalFilter, ClassSettingsMap* classSettings);
  // Hides the page shown, places both pages in the tab's display area, shows the current tab's
  // page and sends it WM_REFRESH_PAGE.
  void ShowCurrentPage();

  CDialog* m_pages[2];    // CGlobalFilterPage, then CLocalFilterPage
  UINT m_templateIds[2];  // IDD_GLOBAL_FILTER_PAGE, IDD_LOCAL_FILTER_PAGE
  int m_pageCount;        // 2

 protected:
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()
};
