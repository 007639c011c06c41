#include "CheckListPage.h"

#include "PageSupport.h"

BEGIN_MESSAGE_MAP(CCheckListPage, CDialog)
  ON_WM_PAINT()
  ON_WM_SHOWWINDOW()
  ON_WM_SIZE()
END_MESSAGE_MAP()

CCheckListPage::CCheckListPage(UINT templateId, const Kind& kind, CWnd* parent)
    : CDialog(templateId, parent), m_pClassSettings(nullptr), m_kind(kind) {}

void CCheckListPage::SetClassSettings(ClassSettingsMap* classSettings) { m_pClassSettings = classSettings; }

void CCheckListPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, m_kind.listId, m_listClasses);
  DDX_Control(dx, IDC_DESCRIPTION, m_staticDescription);
}

BOOL CCheckListPage::OnInitDialog() {
  CDialog::OnInitDialog();
  wizardpages::InitCheckList(m_listClasses, m_kind.columnTitle, 528);
  return TRUE;
}

void CCheckListPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (show) wizardpages::FillCheckList(m_listClasses, m_pClassSettings, m_kind.admit, m_kind.flag);
}

BOOL CCheckListPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header == nullptr || header->idFrom != m_kind.listId || header->code != NM_CLICK) {
    return CDialog::OnNotify(wParam, lParam, result);
  }
  *result = 0;
  OnStateClick();
  return TRUE;
}

void CCheckListPage::OnStateClick() {
  int row = wizardpages::CheckBoxRowAtCursor(m_listClasses);
  if (row < 0 || m_pClassSettings == nullptr) return;
  bool checkedBefore = m_listClasses.GetCheck(row) == TRUE;
  CString name = m_listClasses.GetItemText(row, 0);
  ClassSettings& settings = (*m_pClassSettings)[name];
  OnFlagSwitching(name, settings);
  settings.*m_kind.flag = !checkedBefore;
}

void CCheckListPage::OnFlagSwitching(const CString&, ClassSettings&) {}

void CCheckListPage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  wizardpages::LayoutCheckListPage(*this, m_staticDescription, m_listClasses, cx, cy);
}

void CCheckListPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticDescription});
}
