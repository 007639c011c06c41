#include "NativesPage.h"

#include "PageSupport.h"
#include "ProxyGenerator.h"
#include "UiResources.h"

void registerNativesPageTemplate() {
  ui::DialogTemplate page;
  page.cx = 252;
  page.cy = 223;
  page.style = WS_CHILD | DS_CONTROL;
  page.controls = {
      {IDC_DESCRIPTION, WC_STATIC, "Set checked the classes which native methods to be implemented in C++ code.", 4, 3,
       244, 21, WS_VISIBLE | SS_LEFT, 0},
      {IDC_NATIVE_LIST, WC_LISTVIEW, "", 0, 30, 249, 182,
       WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOLABELWRAP | LVS_NOSORTHEADER, 0},
  };
  ui::registerDialog(IDD_NATIVES_PAGE, page);
}

BEGIN_MESSAGE_MAP(CNativesPage, CDialog)
  ON_WM_PAINT()
  ON_WM_SHOWWINDOW()
  ON_WM_SIZE()
  ON_NOTIFY(NM_CLICK, IDC_NATIVE_LIST, OnStateClick)
END_MESSAGE_MAP()

CNativesPage::CNativesPage(CWnd* parent) : CDialog(IDD_NATIVES_PAGE, parent), m_pClassSettings(nullptr) {}

void CNativesPage::SetClassSettings(ClassSettingsMap* classSettings) { m_pClassSettings = classSettings; }

void CNativesPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_NATIVE_LIST, m_listClasses);
  DDX_Control(dx, IDC_DESCRIPTION, m_staticDescription);
}

BOOL CNativesPage::OnInitDialog() {
  CDialog::OnInitDialog();
  wizardpages::InitCheckList(m_listClasses, "Class Name", 528);
  return TRUE;
}

namespace {

bool declaresNatives(const ClassSettings& settings) { return settings.TYPE == 0 && settings.bHasNativeMethods; }

}  // namespace

void CNativesPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (show) wizardpages::FillCheckList(m_listClasses, m_pClassSettings, declaresNatives, &ClassSettings::bIsMethodsIml);
}

// Whichever way the box goes, the class's native methods are wrapped again: an exclusion made
// in the local filter would otherwise hide a method the skeletons must implement.
void CNativesPage::OnStateClick(NMHDR*, LRESULT* result) {
  *result = 0;
  int row = wizardpages::CheckBoxRowAtCursor(m_listClasses);
  if (row < 0 || m_pClassSettings == nullptr) return;
  bool checkedBefore = m_listClasses.GetCheck(row) == TRUE;
  CString name = m_listClasses.GetItemText(row, 0);
  ClassSettings& settings = (*m_pClassSettings)[name];

  ProxyGenerator generator(name.str());
  generator.m_bUseGlobalFilter = false;
  generator.loadMembers();
  for (const MethodDescriptor& method : generator.m_nativeMethods) settings.members.erase(wizardpages::memberKey(method));

  settings.bIsMethodsIml = !checkedBefore;
}

void CNativesPage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  wizardpages::LayoutCheckListPage(*this, m_staticDescription, m_listClasses, cx, cy);
}

void CNativesPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticDescription});
}
