#include "InterfacesPage.h"

#include "PageSupport.h"
#include "UiResources.h"

void registerInterfacesPageTemplate() {
  ui::DialogTemplate page;
  page.cx = 264;
  page.cy = 205;
  page.style = WS_CHILD | DS_CONTROL;
  page.controls = {
      {IDC_DESCRIPTION, WC_STATIC, "Check interfaces you want to be implemented in your JNI code.", 0, 0, 250, 14,
       WS_VISIBLE | SS_LEFT, 0},
      {IDC_INTERFACE_LIST, WC_LISTVIEW, "", 0, 20, 252, 165,
       WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_NOLABELWRAP | LVS_NOSORTHEADER, 0},
  };
  ui::registerDialog(IDD_INTERFACES_PAGE, page);
}

BEGIN_MESSAGE_MAP(CInterfacesPage, CDialog)
  ON_WM_PAINT()
  ON_WM_SHOWWINDOW()
  ON_WM_SIZE()
  ON_NOTIFY(NM_CLICK, IDC_INTERFACE_LIST, OnStateClick)
END_MESSAGE_MAP()

CInterfacesPage::CInterfacesPage(CWnd* parent) : CDialog(IDD_INTERFACES_PAGE, parent), m_pClassSettings(nullptr) {}

void CInterfacesPage::SetClassSettings(ClassSettingsMap* classSettings) { m_pClassSettings = classSettings; }

void CInterfacesPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_INTERFACE_LIST, m_listClasses);
  DDX_Control(dx, IDC_DESCRIPTION, m_staticDescription);
}

BOOL CInterfacesPage::OnInitDialog() {
  CDialog::OnInitDialog();
  wizardpages::InitCheckList(m_listClasses, "Interface Name", 528);
  return TRUE;
}

namespace {

bool isInterface(const ClassSettings& settings) { return settings.TYPE != 0; }

}  // namespace

void CInterfacesPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (show) wizardpages::FillCheckList(m_listClasses, m_pClassSettings, isInterface, &ClassSettings::bIsInterfaceIml);
}

void CInterfacesPage::OnStateClick(NMHDR*, LRESULT* result) {
  *result = 0;
  int row = wizardpages::CheckBoxRowAtCursor(m_listClasses);
  if (row < 0 || m_pClassSettings == nullptr) return;
  bool checkedBefore = m_listClasses.GetCheck(row) == TRUE;
  (*m_pClassSettings)[m_listClasses.GetItemText(row, 0)].bIsInterfaceIml = !checkedBefore;
}

void CInterfacesPage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  wizardpages::LayoutCheckListPage(*this, m_staticDescription, m_listClasses, cx, cy);
}

void CInterfacesPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticDescription});
}
