#include "FilterDlg.h"

#include "PageSupport.h"
#include "UiResources.h"

void registerFilterDialogTemplate() {
  wizardpages::RegisterPageTemplate(
      IDD_FILTER_DIALOG, 251, 201,
      {
          {IDC_FILTER_DESCRIPTION, WC_STATIC,
           "Filter class members to be wrapped. The global filters are defined for the whole project. In local filter "
           "setting select a class and uncheck its members that should not be wrapped in C++ code.",
           1, 1, 244, 23, WS_VISIBLE | SS_LEFT, 0},
          {IDC_FILTER_TAB, WC_TABCONTROL, "", 3, 41, 222, 148, WS_VISIBLE | WS_TABSTOP | TCS_FIXEDWIDTH,
           WS_EX_STATICEDGE},
      });
}

BEGIN_MESSAGE_MAP(CFilterDlg, CDialog)
  ON_NOTIFY(TCN_SELCHANGE, IDC_FILTER_TAB, OnTabSelChange)
  ON_WM_SHOWWINDOW()
  ON_WM_SIZE()
  ON_WM_PAINT()
END_MESSAGE_MAP()

CFilterDlg::CFilterDlg(CWnd* parent)
    : CDialog(IDD_FILTER_DIALOG, parent), m_pGlobalFilter(nullptr), m_pClassSettings(nullptr) {}

void CFilterDlg::SetFilterData(GlobalFilter* globalFilter, ClassSettingsMap* classSettings) {
  m_pGlobalFilter = globalFilter;
  m_pClassSettings = classSettings;
}

void CFilterDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_FILTER_DESCRIPTION, m_staticDescription);
  DDX_Control(dx, IDC_FILTER_TAB, m_tab);
}

BOOL CFilterDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_tab.CreatePages(m_pGlobalFilter, m_pClassSettings);
  m_tab.InsertItem(0, "Global");
  m_tab.InsertItem(1, "Local");
  m_tab.ShowCurrentPage();
  return TRUE;
}

void CFilterDlg::OnTabSelChange(NMHDR*, LRESULT* result) {
  m_tab.ShowCurrentPage();
  *result = 0;
}

void CFilterDlg::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (show && m_tab.m_hWnd != nullptr) m_tab.ShowCurrentPage();
}

// The description spans the client width; the tab control fills the rest below it.
void CFilterDlg::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (m_staticDescription.m_hWnd == nullptr || m_tab.m_hWnd == nullptr) return;
  CRect description = wizardpages::ChildRect(*this, m_staticDescription);
  m_staticDescription.MoveWindow(description.left, description.top, cx > description.left ? cx - description.left : 0,
                                 description.Height());
  CRect tab = wizardpages::ChildRect(*this, m_tab);
  int top = description.bottom + 5;
  m_tab.MoveWindow(tab.left, top, cx > tab.left ? cx - tab.left : 0, cy > top ? cy - top : 0);
}

void CFilterDlg::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticDescription});
}
