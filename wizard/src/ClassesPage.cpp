#include "ClassesPage.h"

#include "ClassList.h"
#include "PageSupport.h"
#include "ProxyGenerator.h"
#include "UiResources.h"

using wizardpages::ClassListPane;
using wizardpages::MemberViewPane;

void registerClassesPageTemplate() {
  wizardpages::RegisterPageTemplate(
      IDD_CLASSES_PAGE, 297, 251,
      {
          {IDC_DESCRIPTION, WC_STATIC,
           "These classes will be wrapped with C++ JNI Proxies. Select any class in the left pane to see the list of "
           "class members to be wrapped.",
           0, 0, 284, 31, WS_VISIBLE | SS_LEFT, 0},
          {IDC_CAPTION, WC_STATIC, "Classes selected:", 0, 32, 57, 9, WS_VISIBLE | SS_LEFT, 0},
          {IDC_FRAME_PLACE, WC_STATIC, "", 0, 44, 286, 184, WS_DISABLED | SS_WHITERECT, 0},
      });
}

BEGIN_MESSAGE_MAP(CClassesPage, CSplitFramePage)
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_WM_SHOWWINDOW()
  ON_MESSAGE(WM_CLASS_LIST_CHANGED, OnClassChanged)
END_MESSAGE_MAP()

CClassesPage::CClassesPage(CWnd* parent)
    : CSplitFramePage(IDD_CLASSES_PAGE, RUNTIME_CLASS(CClassList), "Names", parent) {}

void CClassesPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_CAPTION, m_staticCaption);
  DDX_Control(dx, IDC_DESCRIPTION, m_staticDescription);
}

BOOL CClassesPage::OnInitDialog() {
  CSplitFramePage::OnInitDialog();
  if (CClassList* members = ClassListPane(m_splitter, 1)) {
    members->GetListCtrl().SetImageList(&m_images, LVSIL_SMALL);
    members->SetColumn("Members");
  }
  return TRUE;
}

namespace {

void fillClassPane(CClassList* classes, const ClassSettingsMap* classSettings) {
  if (classes == nullptr) return;
  classes->GetListCtrl().DeleteAllItems();
  if (classSettings == nullptr) return;
  for (const auto& entry : *classSettings) classes->AddClassRow(entry.first, entry.second.TYPE != 0);
}

}  // namespace

void CClassesPage::SetClassData(ClassSettingsMap* classSettings, GlobalFilter*) {
  m_pClassSettings = classSettings;
  if (m_hWnd != nullptr) fillClassPane(ClassListPane(m_splitter, 0), m_pClassSettings);
}

void CClassesPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (!show) return;
  fillClassPane(ClassListPane(m_splitter, 0), m_pClassSettings);
  if (CClassList* members = ClassListPane(m_splitter, 1)) members->GetListCtrl().DeleteAllItems();
}

LRESULT CClassesPage::OnClassChanged(WPARAM wParam, LPARAM lParam) {
  CClassList* classes = ClassListPane(m_splitter, 0);
  CClassList* members = ClassListPane(m_splitter, 1);
  if (classes == nullptr || members == nullptr || reinterpret_cast<HWND>(lParam) != classes->m_hWnd) return 0;
  CListCtrl& classList = classes->GetListCtrl();
  int row = static_cast<int>(wParam);
  if (classList.GetItemCount() == 0 || row < 0 || row >= classList.GetItemCount()) return 0;
  members->GetListCtrl().DeleteAllItems();
  CString name = classList.GetItemText(row, 0);

  // Listed as the generation will see it: the class's own filter switch and exclusions.
  ProxyGenerator generator(name.str());
  if (m_pClassSettings != nullptr) {
    auto found = m_pClassSettings->find(name);
    if (found != m_pClassSettings->end()) {
      generator.m_bUseGlobalFilter = found->second.bUseGlobalFilter;
      generator.m_pMemberSelection = &found->second.members;
    }
  }
  generator.loadMembers();

  FieldLineMap constants, fields;
  MethodLineMap constructors, methods;
  generator.listConstants(constants);
  generator.listFields(fields);
  generator.listConstructors(constructors);
  generator.listMethods(methods);
  for (const FieldLineMap* group : {&constants, &fields}) {
    for (const auto& entry : *group) {
      if (!entry.first.empty()) members->AddRow(entry.first, wizardpages::fieldImage(entry.second.getAccessFlags()));
    }
  }
  for (const auto& entry : constructors) {
    if (!entry.first.empty())
      members->AddRow(entry.first, wizardpages::constructorImage(entry.second.getAccessFlags()));
  }
  for (const auto& entry : methods) {
    if (!entry.first.empty()) members->AddRow(entry.first, wizardpages::methodImage(entry.second.getAccessFlags()));
  }
  return 0;
}

void CClassesPage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (m_hWnd == nullptr || m_staticDescription.m_hWnd == nullptr) return;
  if (m_pFrame != nullptr && m_pFrame->m_hWnd != nullptr) {
    CRect frame = wizardpages::ChildRect(*this, *m_pFrame);
    m_pFrame->MoveWindow(0, frame.top, cx, cy > frame.top ? cy - frame.top : 0);
  }
  CRect description = wizardpages::ChildRect(*this, m_staticDescription);
  m_staticDescription.MoveWindow(description.left, description.top, cx > description.left ? cx - description.left : 0,
                                 description.Height());
}

void CClassesPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticDescription, &m_staticCaption});
}
