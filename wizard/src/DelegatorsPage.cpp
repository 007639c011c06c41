#include "DelegatorsPage.h"

#include "PageSupport.h"
#include "UiResources.h"

void registerDelegatorsPageTemplate() {
  ui::DialogTemplate page;
  page.cx = 264;
  page.cy = 205;
  page.style = WS_CHILD | DS_CONTROL;
  page.controls = {
      {IDC_DESCRIPTION, WC_STATIC, "Select classes/interfaces, which have JNI delegators.", 4, 3, 258, 21,
       WS_VISIBLE | SS_LEFT, 0},
      {IDC_DELEGATOR_LIST, WC_LISTVIEW, "", 0, 30, 263, 165,
       WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOLABELWRAP | LVS_NOSORTHEADER, 0},
  };
  ui::registerDialog(IDD_DELEGATORS_PAGE, page);
}

BEGIN_MESSAGE_MAP(CDelegatorsPage, CDialog)
  ON_WM_PAINT()
  ON_WM_SHOWWINDOW()
  ON_WM_SIZE()
  ON_NOTIFY(NM_CLICK, IDC_DELEGATOR_LIST, OnStateClick)
END_MESSAGE_MAP()

CDelegatorsPage::CDelegatorsPage(CWnd* parent) : CDialog(IDD_DELEGATORS_PAGE, parent), m_pClassSettings(nullptr) {}

void CDelegatorsPage::SetClassSettings(ClassSettingsMap* classSettings) { m_pClassSettings = classSettings; }

void CDelegatorsPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_DESCRIPTION, m_staticDescription);
  DDX_Control(dx, IDC_DELEGATOR_LIST, m_listClasses);
}

BOOL CDelegatorsPage::OnInitDialog() {
  CDialog::OnInitDialog();
  wizardpages::InitCheckList(m_listClasses, "Class/Inteface Name", 528);
  return TRUE;
}

namespace {

bool anyClass(const ClassSettings&) { return true; }

}  // namespace

void CDelegatorsPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (show) wizardpages::FillCheckList(m_listClasses, m_pClassSettings, anyClass, &ClassSettings::bIsDelegatorIml);
}

void CDelegatorsPage::OnStateClick(NMHDR*, LRESULT* result) {
  *result = 0;
  int row = wizardpages::CheckBoxRowAtCursor(m_listClasses);
  if (row < 0 || m_pClassSettings == nullptr) return;
  bool checkedBefore = m_listClasses.GetCheck(row) == TRUE;
  (*m_pClassSettings)[m_listClasses.GetItemText(row, 0)].bIsDelegatorIml = !checkedBefore;
}

void CDelegatorsPage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  wizardpages::LayoutCheckListPage(*this, m_staticDescription, m_listClasses, cx, cy);
}

void CDelegatorsPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticDescription});
}
