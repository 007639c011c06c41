#include "FilterTab.h"

#include "GlobalFilterPage.h"
#include "LocalFilterPage.h"
#include "WizardResources.h"

BEGIN_MESSAGE_MAP(CFilterTab, CTabCtrl)
  ON_WM_SIZE()
END_MESSAGE_MAP()

CFilterTab::CFilterTab() : m_templateIds{IDD_GLOBAL_FILTER_PAGE, IDD_LOCAL_FILTER_PAGE}, m_pageCount(2) {
  m_pages[0] = new CGlobalFilterPage;
  m_pages[1] = new CLocalFilterPage;
}

CFilterTab::~CFilterTab() {
  for (int i = 0; i < m_pageCount; ++i) {
    delete m_pages[i];
    m_pages[i] = nullptr;
  }
}

void CFilterTab::CreatePages(GlobalFilter* globalFilter, ClassSettingsMap* classSettings) {
  CWnd* parent = GetParent();
  if (parent == nullptr) return;
  for (int i = 0; i < m_pageCount; ++i) {
    if (m_pages[i]->m_hWnd == nullptr) m_pages[i]->Create(m_templateIds[i], parent);
  }
  static_cast<CGlobalFilterPage*>(m_pages[0])->SetFilter(parent, globalFilter);
  static_cast<CLocalFilterPage*>(m_pages[1])->SetData(parent, globalFilter, classSettings);
}

void CFilterTab::ShowCurrentPage() {
  if (m_hWnd == nullptr) return;
  int current = GetCurSel();
  bool valid = current >= 0 && current < m_pageCount;
  if (valid && m_pages[current]->m_hWnd != nullptr) m_pages[current]->ShowWindow(SW_HIDE);

  // The display area below the tab headers, in the coordinates of the pages' parent.
  CWnd* parent = GetParent();
  if (parent == nullptr) return;
  CRect area;
  GetClientRect(&area);
  AdjustRect(FALSE, &area);
  ClientToScreen(&area);
  parent->ScreenToClient(&area);

  for (int i = 0; i < m_pageCount; ++i) {
    if (m_pages[i]->m_hWnd == nullptr) continue;
    m_pages[i]->MoveWindow(&area);
    m_pages[i]->ShowWindow(SW_HIDE);
  }
  if (!valid || m_pages[current]->m_hWnd == nullptr) return;
  m_pages[current]->ShowWindow(SW_SHOW);
  m_pages[current]->SendMessage(WM_REFRESH_PAGE, 0, 0);
}

void CFilterTab::OnSize(UINT type, int cx, int cy) {
  CTabCtrl::OnSize(type, cx, cy);
  ShowCurrentPage();
}
